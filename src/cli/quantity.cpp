#include "quantity.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace korvex::cli {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// True when WORD names UNIT ("ohm", "Ohm", "Ω" for "Ohm"; "degC", "°C" for "°C").
bool IsUnit(std::string_view word, std::string_view unit)
{
    if (unit.empty()) return false;
    if (word == unit) return true;  // case matters: "1f" is a femto, "1F" a farad
    if (unit == "Ohm") return word == "Ω" || EqualNoCase(word, "ohm") || EqualNoCase(word, "ohms");
    if (unit == "Hz") return EqualNoCase(word, "hz");
    if (unit == "°C") return EqualNoCase(word, "degC") || EqualNoCase(word, "C");
    return false;
}

// The scale of an engineering prefix, 0 when WORD is none.
double PrefixScale(std::string_view word)
{
    if (EqualNoCase(word, "meg")) return 1e6;
    if (word == "µ" || word == "\xB5") return 1e-6;
    if (word.size() != 1) return 0;
    switch (word[0]) {
    case 'f': return 1e-15;
    case 'p': return 1e-12;
    case 'n': return 1e-9;
    case 'u': return 1e-6;
    case 'm': return 1e-3;
    case 'k': case 'K': return 1e3;
    case 'M': return 1e6;
    case 'G': case 'g': return 1e9;
    case 'T': return 1e12;
    case 'P': return 1e15;
    default: return 0;
    }
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

bool ParseQuantity(std::string_view text, std::string_view unit, double* value, std::string* why)
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    double number = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || begin == end) {
        *why = Quoted(text) + " is not a number";
        return false;
    }
    std::string_view rest(ptr, static_cast<size_t>(end - ptr));
    double scale = 1;
    if (!rest.empty()) {
        // The unit alone, a prefix alone, or a prefix followed by the unit.
        if (!IsUnit(rest, unit)) {
            bool matched = false;
            for (size_t cut = rest.size(); cut > 0 && !matched; --cut) {
                const std::string_view prefix = rest.substr(0, cut), tail = rest.substr(cut);
                if ((tail.empty() || IsUnit(tail, unit)) && PrefixScale(prefix) != 0) {
                    scale = PrefixScale(prefix);
                    matched = true;
                }
            }
            if (!matched) {
                *why = Quoted(text) + " is not a number" + (unit.empty() ? "" : " in " + std::string(unit));
                return false;
            }
        }
    }
    const double result = number * scale;
    if (!std::isfinite(result)) {
        *why = Quoted(text) + " is not a finite number";
        return false;
    }
    *value = result;
    return true;
}

bool ParseCount(std::string_view text, unsigned long long minimum, unsigned long long maximum,
                unsigned long long* value, std::string* why)
{
    unsigned long long number = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        *why = Quoted(text) + " is not a whole number";
        return false;
    }
    if (number < minimum || number > maximum) {
        *why = Quoted(text) + " is outside " + std::to_string(minimum) + " ... " + std::to_string(maximum);
        return false;
    }
    *value = number;
    return true;
}

std::string FormatQuantity(double value, std::string_view unit)
{
    static const struct {
        double scale;
        const char* prefix;
    } kPrefixes[] = {{1e15, "P"}, {1e12, "T"}, {1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""},
                     {1e-3, "m"}, {1e-6, "µ"}, {1e-9, "n"}, {1e-12, "p"}, {1e-15, "f"}};
    char buf[64];
    const double magnitude = std::fabs(value);
    if (!std::isfinite(value) || value == 0 || magnitude >= 999.95e15 || magnitude < 1e-15) {
        std::snprintf(buf, sizeof buf, value == 0 ? "0" : "%.4g", value);
        return buf + std::string(unit);
    }
    for (const auto& p : kPrefixes) {
        if (magnitude < p.scale * 0.99995) continue;  // 999.96m rounds to 1 in four digits
        std::snprintf(buf, sizeof buf, "%.4g", value / p.scale);
        return buf + std::string(p.prefix) + std::string(unit);
    }
    return std::to_string(value) + std::string(unit);  // not reached
}

CLI::Option* AddQuantityOption(CLI::App& app, const std::string& name, double& target, const std::string& unit,
                               const std::string& description, double minimum, double maximum)
{
    return app.add_option_function<std::string>(
        name,
        [&target, name, unit, minimum, maximum](const std::string& text) {
            std::string why;
            double value = 0;
            if (!ParseQuantity(text, unit, &value, &why)) throw CLI::ValidationError(name, why);
            if (!(value >= minimum && value <= maximum))
                throw CLI::ValidationError(name, Quoted(text) + " is outside " + FormatQuantity(minimum, unit) +
                                                     " ... " + FormatQuantity(maximum, unit));
            target = value;
        },
        description + (unit.empty() ? "" : " [" + unit + "]"));
}

}  // namespace korvex::cli
