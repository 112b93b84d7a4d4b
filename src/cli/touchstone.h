#pragma once
// Touchstone version 1 files of the AC results: frequencies in Hz, values as
// real and imaginary parts (RI), the reference resistance on the option line.
// A port impedance is written as Z-parameters with R 1, so the numbers are
// ohms; the two-port S-parameters with the 50 ohm the S21 analysis uses.
#include <complex>
#include <string>
#include <vector>

namespace korvex::cli {

struct TouchstoneData {
    std::string Parameter = "Z";  // "Z" or "S"
    double Reference = 1;         // ohm
    std::vector<std::string> Comments;
    std::vector<double> Frequency;                     // Hz
    std::vector<std::vector<std::complex<double>>> Values;  // per frequency: 1 (.s1p) or 4 (.s2p: 11 21 12 22)
};

// The text of the file; a frequency not above the one before it is left out.
std::string TouchstoneText(const TouchstoneData& data);
// Writes it atomically; false with the reason.
bool WriteTouchstone(const std::string& path, const TouchstoneData& data, std::string* why);

}  // namespace korvex::cli
