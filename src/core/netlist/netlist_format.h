#pragma once
// printf-style format strings for the netlist writers, checked against their
// arguments at compile time and expanded with the fast conversions of
// number_format.h. The conversions are the subset the netlists use:
//   %u  %1u  %03u  %06u   an integer (signed values are taken as unsigned, as printf does)
//   %f  %e                a floating-point value (float is promoted to double)
//   %s                    text (std::string_view, std::string, a literal or a fixed char field;
//                         wrap a plain char pointer in std::string_view)
//   %%                    a percent sign
// A format whose conversions do not match its arguments does not compile.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "netlist/number_format.h"

namespace korvex {

enum class FormatArgClass : uint8_t { Integer, Floating, Text };

template <class T>
constexpr FormatArgClass ClassOfFormatArg()
{
    using U = std::remove_cvref_t<T>;
    static_assert(!std::is_same_v<U, bool> && !std::is_same_v<U, char>, "no %u for bool or char");
    if constexpr (std::is_integral_v<U> || std::is_enum_v<U>)
        return FormatArgClass::Integer;
    else if constexpr (std::is_floating_point_v<U>)
        return FormatArgClass::Floating;
    else {
        static_assert(std::is_convertible_v<const U&, std::string_view> || std::is_array_v<U>,
                      "a %s argument must be text");
        return FormatArgClass::Text;
    }
}

// Walks a format string; calls onLiteral(begin, length) for literal runs and
// onConversion(flagsZero, width, letter) for conversions. Used both at compile
// time (checking) and at run time (expansion). Returns false on a malformed format.
template <class Literal, class Conversion>
constexpr bool WalkFormat(std::string_view format, Literal onLiteral, Conversion onConversion)
{
    size_t i = 0;
    while (i < format.size()) {
        size_t run = i;
        while (run < format.size() && format[run] != '%') ++run;
        if (run > i) onLiteral(i, run - i);
        if (run == format.size()) break;
        size_t k = run + 1;
        if (k < format.size() && format[k] == '%') {
            onLiteral(k, 1);
            i = k + 1;
            continue;
        }
        bool zero = false;
        int width = 0;
        if (k < format.size() && format[k] == '0') {
            zero = true;
            ++k;
        }
        while (k < format.size() && format[k] >= '1' && format[k] <= '9' && width == 0) {
            width = format[k] - '0';
            ++k;
        }
        if (k >= format.size()) return false;
        const char letter = format[k];
        if (letter != 'u' && letter != 'f' && letter != 'e' && letter != 's') return false;
        if ((zero || width > 0) && letter != 'u') return false;
        onConversion(zero, width, letter);
        i = k + 1;
    }
    return true;
}

inline void FormatStringMismatch() {}  // not constexpr: calling it in a constant expression fails to compile

// A format string checked against the argument classes Args.
template <class... Args>
struct NetlistFormat {
    std::string_view text;

    template <class S>
        requires std::is_convertible_v<const S&, std::string_view>
    consteval NetlistFormat(const S& s) : text(s)
    {
        constexpr FormatArgClass classes[sizeof...(Args) + 1] = {ClassOfFormatArg<Args>()..., FormatArgClass::Text};
        size_t used = 0;
        bool ok = WalkFormat(
            text, [](size_t, size_t) {},
            [&](bool, int, char letter) {
                const FormatArgClass expected = letter == 'u'   ? FormatArgClass::Integer
                                                : letter == 's' ? FormatArgClass::Text
                                                                : FormatArgClass::Floating;
                if (used >= sizeof...(Args) || classes[used] != expected) FormatStringMismatch();
                ++used;
            });
        if (!ok || used != sizeof...(Args)) FormatStringMismatch();
    }
};

// One argument, erased to its class.
struct FormatArg {
    FormatArgClass kind;
    uint64_t integer = 0;
    double floating = 0;
    std::string_view text;

    template <class T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
    FormatArg(T v) : kind(FormatArgClass::Integer), integer(static_cast<std::make_unsigned_t<T>>(v))
    {
    }
    template <class T>
        requires std::is_enum_v<T>
    FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v))
    {
    }
    FormatArg(double v) : kind(FormatArgClass::Floating), floating(v) {}
    FormatArg(float v) : kind(FormatArgClass::Floating), floating(v) {}
    // Fixed-size name fields may fill their whole width without a terminating NUL.
    template <size_t N>
    FormatArg(const char (&field)[N]) : kind(FormatArgClass::Text), text(field, strnlen(field, N))
    {
    }
    FormatArg(std::string_view s) : kind(FormatArgClass::Text), text(s) {}
    FormatArg(const std::string& s) : kind(FormatArgClass::Text), text(s) {}
};

// Expands `format` with `args` into `out`, which has room for the literal text
// plus kMaxNumberText per conversion plus the text arguments. Returns the end.
char* ExpandFormat(char* out, std::string_view format, const FormatArg* args);
// Upper bound of the expanded length.
inline size_t ExpandedLengthBound(std::string_view format, const FormatArg* args, size_t count)
{
    size_t bound = format.size();
    for (size_t i = 0; i < count; ++i)
        bound += args[i].kind == FormatArgClass::Text ? args[i].text.size() : size_t{kMaxNumberText};
    return bound;
}

// Expands into a std::string (tests, short texts).
template <class... Args>
std::string FormatToString(NetlistFormat<std::type_identity_t<Args>...> format, const Args&... args)
{
    const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)..., FormatArg("")};
    std::string text(ExpandedLengthBound(format.text, packed, sizeof...(Args)), '\0');
    char* end = ExpandFormat(text.data(), format.text, packed);
    text.resize(static_cast<size_t>(end - text.data()));
    return text;
}

}  // namespace korvex
