#pragma once
// Builds simulator result files in memory for reader tests.
#include <cstring>
#include <string>
#include <vector>

namespace korvex {

struct RawBuilder {
    std::vector<std::string> names;
    std::vector<double> values;  // operating point: one per name; AC: re, im per name and point
    unsigned points = 1;
    bool complex = false;
    bool utf16 = false;

    std::vector<char> Bytes() const
    {
        std::string header = "Title: test\nDate: today\nPlotname: ";
        header += complex ? "AC Analysis\nFlags: complex\n" : "Operating Point\nFlags: real\n";
        header += "No. Variables: " + std::to_string(names.size()) + "\n";
        header += "No. Points: " + std::to_string(points) + "\nOffset: 0\nCommand: test\nVariables:\n";
        for (size_t i = 0; i < names.size(); ++i)
            header += "\t" + std::to_string(i) + "\t" + names[i] + "\t" + (i == 0 && complex ? "frequency" : "voltage") + "\n";
        header += "Binary:\n";
        std::vector<char> out;
        for (char c : header) {
            out.push_back(c);
            if (utf16) out.push_back('\0');
        }
        const size_t at = out.size();
        out.resize(at + values.size() * 8);
        std::memcpy(out.data() + at, values.data(), values.size() * 8);
        return out;
    }
};

}  // namespace korvex
