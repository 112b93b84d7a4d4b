#include "netlist/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace korvex {
namespace {

// Two digits at a time: "00" ... "99".
constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int DecimalLength(uint64_t v)
{
    if (v < 10) return 1;
    if (v < 100) return 2;
    if (v < 1000) return 3;
    if (v < 10000) return 4;
    if (v < 100000) return 5;
    if (v < 1000000) return 6;
    int n = 7;
    for (v /= 10000000; v != 0; v /= 10) ++n;
    return n;
}

// Writes exactly `length` digits of v (most significant first).
[[gnu::always_inline]] inline void WriteDigits(char* out, uint64_t v, int length)
{
    char* p = out + length;
    while (length >= 2) {
        const unsigned pair = static_cast<unsigned>(v % 100) * 2;
        v /= 100;
        p -= 2;
        p[0] = kDigitPairs[pair];
        p[1] = kDigitPairs[pair + 1];
        length -= 2;
    }
    if (length == 1) *--p = static_cast<char>('0' + v % 10);
}

// printf's spelling of infinities and NaNs ("inf", "-inf", "nan", "-nan").
char* AppendNonFinite(char* out, double v)
{
    if (std::signbit(v)) *out++ = '-';
    const char* word = std::isnan(v) ? "nan" : "inf";
    std::memcpy(out, word, 3);
    return out + 3;
}

// Rounds |v| * 10^6 to an integer exactly as printf does (round half to even on
// the exact binary value). False when |v| is too large for 64-bit arithmetic.
bool ScaledMicros(double magnitude, uint64_t* micros)
{
    if (magnitude >= 1e12) return false;
    if (magnitude == 0.0) {
        *micros = 0;
        return true;
    }
    const uint64_t bits = std::bit_cast<uint64_t>(magnitude);
    const int biasedExponent = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent;
    if (biasedExponent == 0) {
        exponent = -1074;  // subnormal
    } else {
        mantissa |= uint64_t{1} << 52;
        exponent = biasedExponent - 1075;
    }
    // magnitude = mantissa * 2^exponent, mantissa < 2^53.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1000000u;  // < 2^73
    if (exponent >= 0) {
        *micros = static_cast<uint64_t>(scaled << exponent);  // magnitude < 1e12 keeps this in range
        return true;
    }
    const int shift = -exponent;
    if (shift > 74) {  // scaled < 2^73 <= half of 2^shift: rounds to 0
        *micros = 0;
        return true;
    }
    const unsigned __int128 one = 1;
    const unsigned __int128 quotient = scaled >> shift;
    const unsigned __int128 remainder = scaled & ((one << shift) - 1);
    const unsigned __int128 half = one << (shift - 1);
    uint64_t q = static_cast<uint64_t>(quotient);
    if (remainder > half || (remainder == half && (q & 1) != 0)) ++q;
    *micros = q;
    return true;
}

}  // namespace

char* AppendUnsigned(char* out, uint64_t v)
{
    const int length = DecimalLength(v);
    WriteDigits(out, v, length);
    return out + length;
}

char* AppendUnsignedPadded(char* out, uint64_t v, int width, char pad)
{
    const int length = DecimalLength(v);
    for (int i = length; i < width; ++i) *out++ = pad;
    WriteDigits(out, v, length);
    return out + length;
}

char* AppendFixed(char* out, double v)
{
    if (!std::isfinite(v)) return AppendNonFinite(out, v);
    uint64_t micros;
    if (ScaledMicros(std::fabs(v), &micros)) {
        if (std::signbit(v)) *out++ = '-';
        out = AppendUnsigned(out, micros / 1000000);
        *out++ = '.';
        WriteDigits(out, micros % 1000000, 6);
        return out + 6;
    }
    return std::to_chars(out, out + kMaxNumberText, v, std::chars_format::fixed, 6).ptr;
}

char* AppendScientific(char* out, double v)
{
    if (!std::isfinite(v)) return AppendNonFinite(out, v);
    return std::to_chars(out, out + kMaxNumberText, v, std::chars_format::scientific, 6).ptr;
}

}  // namespace korvex
