#pragma once
// Fast conversions that produce exactly the text of the C library's printf
// for the conversions the netlists use: %u, %Nu, %0Nu, %f and %e (default
// precision 6). Each appends to `out` and returns the new end; the caller
// provides at least kMaxNumberText bytes.
#include <cstdint>

namespace korvex {

// The longest text one conversion can produce ("%f" of -DBL_MAX is 317 bytes).
constexpr int kMaxNumberText = 352;

// "%u": decimal digits of v.
char* AppendUnsigned(char* out, uint64_t v);
// "%0Nu" (pad '0') or "%Nu" (pad ' '): at least `width` characters.
char* AppendUnsignedPadded(char* out, uint64_t v, int width, char pad);
// "%f": fixed notation with six decimals, rounded as printf rounds.
char* AppendFixed(char* out, double v);
// "%e": d.dddddde+XX with six decimals and an exponent of at least two digits.
char* AppendScientific(char* out, double v);

}  // namespace korvex
