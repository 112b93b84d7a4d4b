#pragma once
// Number texts shown and read by every dialog: values in engineering notation
// with the suffixes p, n, µ, m, k, M, G. Both directions ignore the process
// locale (always a decimal point), so a GUI running under a locale with
// decimal commas shows and reads the same texts.
#include <string>

namespace korvex {

// "35µ" for 3.5e-5, "1.500k" for 1500, "-10m" for -0.01, "0" for 0. Values of
// 9.9e11 and more are written in exponent form ("1.500e+12"), NaN as "nan".
// The micro sign is written in UTF-8.
std::string FloatToChar(float value);

// Reads a number followed by an optional word whose first character scales it:
// G/g 1e9, K/k 1e3, M 1e6, m 1e-3, u or µ (UTF-8 or the single byte 0xB5) 1e-6,
// n 1e-9, p 1e-12; any other word leaves the number unscaled. At most the first
// 99 characters are looked at. No number (or one beyond the double range):
// 0.0 and *ok = 0; otherwise *ok = 1.
double GetDlgItemDouble(const char* text, int* ok = nullptr);

}  // namespace korvex
