// A minimal RAW reader for the tests: header (8-bit or UTF-16LE), variable names, values.
#pragma once
#include <complex>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace korvex::sim::test {

struct RawFile {
    bool ok = false;
    bool complexValues = false;
    std::string header;  // narrowed to 8 bits
    std::vector<std::string> names;
    size_t points = 0;
    size_t dataOffset = 0;  // byte offset of the values in the file
    std::string bytes;

    int index(const std::string& name) const
    {
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == name) return static_cast<int>(k);
        return -1;
    }
    std::complex<double> value(size_t point, size_t variable) const
    {
        const size_t size = complexValues ? 16 : 8;
        const size_t at = dataOffset + size * (names.size() * point + variable);
        double re = 0, im = 0;
        if (at + size > bytes.size()) return {NAN, NAN};
        std::memcpy(&re, bytes.data() + at, 8);
        if (complexValues) std::memcpy(&im, bytes.data() + at + 8, 8);
        return {re, im};
    }
};

inline RawFile readRaw(const std::string& path)
{
    RawFile raw;
    std::ifstream in(path, std::ios::binary);
    if (!in) return raw;
    std::ostringstream content;
    content << in.rdbuf();
    raw.bytes = content.str();
    size_t end = raw.bytes.find("Binary:\n");
    if (end != std::string::npos) {
        raw.header = raw.bytes.substr(0, end + 8);
        raw.dataOffset = end + 8;
    } else {
        const std::string wide("B\0i\0n\0a\0r\0y\0:\0\n\0", 16);
        end = raw.bytes.find(wide);
        if (end == std::string::npos) return raw;
        for (size_t k = 0; k < end + 16; k += 2) raw.header += raw.bytes[k];
        raw.dataOffset = end + 16;
    }
    std::istringstream lines(raw.header);
    std::string line;
    bool inVariables = false;
    while (std::getline(lines, line)) {
        if (line.rfind("No. Points:", 0) == 0) raw.points = std::stoul(line.substr(11));
        if (line.rfind("Flags:", 0) == 0) raw.complexValues = line.find("complex") != std::string::npos;
        if (line == "Binary:") break;
        if (inVariables) {
            std::istringstream fields(line);
            std::string index, name;
            fields >> index >> name;
            raw.names.push_back(name);
        }
        if (line == "Variables:") inVariables = true;
    }
    raw.ok = true;
    return raw;
}

}  // namespace korvex::sim::test
