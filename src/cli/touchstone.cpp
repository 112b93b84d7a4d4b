#include "touchstone.h"

#include <cstdio>

#include "util/atomic_file.h"

namespace korvex::cli {

std::string TouchstoneText(const TouchstoneData& d)
{
    std::string out = "! KORVEX Touchstone 1 export\n";
    for (const std::string& c : d.Comments) out += "! " + c + "\n";
    char line[128];
    std::snprintf(line, sizeof line, "# Hz %s RI R %.17g\n", d.Parameter.c_str(), d.Reference);
    out += line;
    // Frequencies must rise from line to line. A sweep cut into sub-bands
    // computes each band edge twice (once per band); the first one is kept.
    double last = 0;
    for (size_t k = 0; k < d.Frequency.size(); ++k) {
        if (k > 0 && !(d.Frequency[k] > last)) continue;
        last = d.Frequency[k];
        std::snprintf(line, sizeof line, "%.17g", d.Frequency[k]);
        out += line;
        for (const std::complex<double>& v : d.Values[k]) {
            std::snprintf(line, sizeof line, " %.17g %.17g", v.real(), v.imag());
            out += line;
        }
        out += '\n';
    }
    return out;
}

bool WriteTouchstone(const std::string& path, const TouchstoneData& data, std::string* why)
{
    const std::string text = TouchstoneText(data);
    return WriteFileAtomically(path, text.data(), text.size(), why);
}

}  // namespace korvex::cli
