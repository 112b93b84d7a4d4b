#pragma once
// Numbers on the command line: every option and key=value takes a number with
// an optional engineering prefix (f p n u µ m k M meg G T P) and an optional unit
// ("22u", "2.2nF", "35um", "1.5mm", "100MHz", "10mOhm"). Values are printed
// back the same way ("330nF", "100MHz").
#include <string>
#include <string_view>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace korvex::cli {

// Reads TEXT as a number in UNIT (the SI unit the value is stored in, "" for
// plain numbers). The unit may be omitted; when written it must be UNIT
// (case-insensitive; "Ohm", "ohm" and "Ω" are the same). A text that ends in
// the unit alone is not scaled, so "1m" is one metre for a length and "1mm" a
// millimetre, while "10m" is ten milli-ohms for a resistance. False with the
// reason for anything else (empty text, trailing words, NaN, infinity).
bool ParseQuantity(std::string_view text, std::string_view unit, double* value, std::string* why);

// Whole numbers (pixel positions, IDs, counts): decimal digits only, within
// [minimum, maximum].
bool ParseCount(std::string_view text, unsigned long long minimum, unsigned long long maximum,
                unsigned long long* value, std::string* why);

// VALUE in engineering form with four significant digits and the unit:
// "330nF", "100MHz", "1.5mm", "0V", "-2.5mA", "1.235e+15Ohm" beyond the prefixes.
std::string FormatQuantity(double value, std::string_view unit);

// Adds an option NAME that reads a quantity of UNIT into TARGET, refusing a
// value outside [minimum, maximum] with the range in the message.
CLI::Option* AddQuantityOption(CLI::App& app, const std::string& name, double& target, const std::string& unit,
                               const std::string& description, double minimum, double maximum);

}  // namespace korvex::cli
