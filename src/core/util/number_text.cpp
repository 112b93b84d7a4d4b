#include "util/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace korvex {

namespace {

const char kMicro[] = "\xC2\xB5";  // µ in UTF-8

std::string Fixed3(double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    return std::string(buf, res.ptr);
}

std::string Exponent3(double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 3);
    return std::string(buf, res.ptr);
}

struct Range {
    double below;
    double scale;
    const char* suffix;
};

const Range kRanges[] = {
    {9.9e-10, 1e12, "p"}, {9.9e-7, 1e9, "n"}, {0.00099, 1e6, kMicro}, {0.99, 1e3, "m"},
    {990.0, 1.0, ""},     {990000.0, 1e-3, "k"}, {9.9e8, 1e-6, "M"},   {9.9e11, 1e-9, "G"},
};

}  // namespace

std::string FloatToChar(float value)
{
    if (std::isnan(value)) return "nan";
    if (value == 0.0f) return "0";
    const bool negative = value < 0.0f;
    const double v = std::fabs(static_cast<double>(value));
    std::string text;
    for (const Range& r : kRanges) {
        if (v < r.below) {
            text = Fixed3(v * r.scale) + r.suffix;
            break;
        }
    }
    if (text.empty()) text = std::isinf(v) ? std::string("inf") : Exponent3(v);
    const size_t zeros = text.find(".000");
    if (zeros != std::string::npos) text.erase(zeros, 4);
    return negative ? "-" + text : text;
}

double GetDlgItemDouble(const char* text, int* ok)
{
    if (ok != nullptr) *ok = 0;
    if (text == nullptr) return 0.0;
    const char* end = text + strnlen(text, 99);
    const char* p = text;
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p < end && (*p == '+' || *p == '-')) return 0.0;
    double value = 0.0;
    auto res = std::from_chars(p, end, value);
    if (res.ec != std::errc()) return 0.0;  // no number, or one beyond double range
    if (ok != nullptr) *ok = 1;
    if (negative) value = -value;
    p = res.ptr;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p >= end) return value;
    switch (static_cast<unsigned char>(*p)) {
    case 'G':
    case 'g': return value * 1e9;
    case 'K':
    case 'k': return value * 1e3;
    case 'M': return value * 1e6;
    case 'm': return value * 1e-3;
    case 'u':
    case 0xB5: return value * 1e-6;
    case 'n': return value * 1e-9;
    case 'p': return value * 1e-12;
    case 0xC2: return (p + 1 < end && static_cast<unsigned char>(p[1]) == 0xB5) ? value * 1e-6 : value;
    default: return value;
    }
}

}  // namespace korvex
