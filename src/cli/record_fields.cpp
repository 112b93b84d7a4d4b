#include "record_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>

#include "quantity.h"

namespace korvex::cli {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool SetElement(const FieldLayout& f, uint8_t* base, uint32_t index, std::string_view text, std::string* why)
{
    uint8_t* p = base + f.MemoryOffset;
    switch (f.Type) {
    case FieldType::U32: {
        unsigned long long v = 0;
        if (!ParseCount(text, 0, std::numeric_limits<uint32_t>::max(), &v, why)) return false;
        const auto u = static_cast<uint32_t>(v);
        std::memcpy(p + 4 * index, &u, 4);
        return true;
    }
    case FieldType::I32: {
        double v = 0;
        if (!ParseQuantity(text, "", &v, why)) return false;
        if (v != std::floor(v) || v < INT32_MIN || v > INT32_MAX) {
            *why = "\"" + std::string(text) + "\" is not a whole number";
            return false;
        }
        const auto i = static_cast<int32_t>(v);
        std::memcpy(p + 4 * index, &i, 4);
        return true;
    }
    case FieldType::F32:
    case FieldType::F64: {
        double v = 0;
        if (!ParseQuantity(text, FieldUnit(f.Name), &v, why)) return false;
        if (f.Type == FieldType::F32) {
            if (std::fabs(v) > std::numeric_limits<float>::max()) {
                *why = "\"" + std::string(text) + "\" is too large";
                return false;
            }
            const auto s = static_cast<float>(v);
            std::memcpy(p + 4 * index, &s, 4);
        } else {
            std::memcpy(p + 8 * index, &v, 8);
        }
        return true;
    }
    case FieldType::Text: {
        std::string value(text);
        if (!value.empty() && value[0] == '@') {  // @FILE: the text of a file (subcircuit netlists)
            std::ifstream in(value.substr(1), std::ios::binary);
            if (!in) {
                *why = "cannot read " + value.substr(1);
                return false;
            }
            value.assign(std::istreambuf_iterator<char>(in), {});
        }
        if (value.size() >= f.Count) {
            *why = std::string(f.Name) + " holds at most " + std::to_string(f.Count - 1) + " characters";
            return false;
        }
        std::memset(p, 0, f.Count);
        std::memcpy(p, value.data(), value.size());
        return true;
    }
    case FieldType::Padding: break;
    }
    return false;
}

size_t ElementSize(const FieldLayout& f) { return f.Type == FieldType::F64 ? 8 : 4; }

}  // namespace

std::string FieldUnit(std::string_view field)
{
    static const std::map<std::string, std::string, std::less<>> kUnits{
        {"SizeX", "m"}, {"SizeY", "m"}, {"SizeZ", "m"}, {"CopperThickness", "m"}, {"Diameter", "m"},
        {"ThicknessSolder", "m"}, {"ThicknessIsolation", "m"},
        {"ElectricalConductivity", "S/m"}, {"TemperatureCoefficient", "1/K"},
        {"ThermalConductivityCopper", "W/(mK)"}, {"ThermalConductivityFR4XY", "W/(mK)"},
        {"ThermalConductivityFR4Z", "W/(mK)"}, {"ThermalConductivitySolder", "W/(mK)"},
        {"ThermalConductivityIsolation", "W/(mK)"},
        {"RdcX", "Ohm"}, {"RdcY", "Ohm"}, {"Rser", "Ohm"}, {"ESR", "Ohm"},
        {"RthCopper", "K/W"}, {"RthDielectric", "K/W"}, {"RthLayer", "K/W"},
        {"ThermalResistanceJA", "K/W"}, {"ThermalResistanceJC", "K/W"}, {"ThermalResistance", "K/W"},
        {"TAmbient", "°C"}, {"Temperature", "°C"},
        {"Current", "A"}, {"Power", "W"}, {"SolderCoverage", "%"},
        {"Lser", "H"}, {"ESL", "H"}, {"Cpar", "F"}, {"Capacitance", "F"},
        {"StartFrequency", "Hz"}, {"StopFrequency", "Hz"}, {"ZinDistributionFrequency", "Hz"},
    };
    const auto it = kUnits.find(field);
    return it == kUnits.end() ? "" : it->second;
}

const FieldLayout* FindField(const RecordLayout& layout, std::string_view key)
{
    for (size_t i = 0; i < layout.FieldCount; ++i)
        if (layout.Fields[i].Type != FieldType::Padding && EqualNoCase(layout.Fields[i].Name, key))
            return &layout.Fields[i];
    return nullptr;
}

std::string FieldNames(const RecordLayout& layout)
{
    std::string names;
    for (size_t i = 0; i < layout.FieldCount; ++i) {
        if (layout.Fields[i].Type == FieldType::Padding) continue;
        if (!names.empty()) names += ", ";
        names += layout.Fields[i].Name;
    }
    return names;
}

bool SetField(const RecordLayout& layout, void* record, std::string_view assignment, std::string* why)
{
    const size_t eq = assignment.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        *why = "\"" + std::string(assignment) + "\" is not key=value";
        return false;
    }
    std::string_view key = assignment.substr(0, eq);
    const std::string_view value = assignment.substr(eq + 1);
    // KEY[i]: one element of an array field.
    long index = -1;
    if (const size_t open = key.find('['); open != std::string_view::npos && key.back() == ']') {
        unsigned long long i = 0;
        if (!ParseCount(key.substr(open + 1, key.size() - open - 2), 0, 1000, &i, why)) return false;
        index = static_cast<long>(i);
        key = key.substr(0, open);
    }
    const FieldLayout* f = FindField(layout, key);
    if (f == nullptr) {
        *why = std::string(layout.Name) + " has no field " + std::string(key) + " (fields: " + FieldNames(layout) + ")";
        return false;
    }
    const bool array = f->Count > 1 && f->Type != FieldType::Text;
    std::string prefix = std::string(f->Name) + ": ";
    // Work on a copy so that a refusal halfway through an array changes nothing.
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(record) + f->MemoryOffset,
                              static_cast<const uint8_t*>(record) + f->MemoryOffset +
                                  (f->Type == FieldType::Text ? f->Count : f->Count * ElementSize(*f)));
    FieldLayout local = *f;
    local.MemoryOffset = 0;
    bool ok = true;
    if (index >= 0) {
        if (!array || index >= static_cast<long>(f->Count)) {
            *why = std::string(f->Name) + (array ? " has " + std::to_string(f->Count) + " entries" : " is no array");
            return false;
        }
        ok = SetElement(local, copy.data(), static_cast<uint32_t>(index), value, why);
    } else if (array) {
        uint32_t k = 0;
        size_t start = 0;
        while (ok) {
            const size_t comma = value.find(',', start);
            if (k >= f->Count) {
                *why = std::string(f->Name) + " has " + std::to_string(f->Count) + " entries";
                ok = false;
                break;
            }
            ok = SetElement(local, copy.data(), k++, value.substr(start, comma - start), why);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    } else {
        ok = SetElement(local, copy.data(), 0, value, why);
    }
    if (!ok) {
        *why = prefix + *why;
        return false;
    }
    std::memcpy(static_cast<uint8_t*>(record) + f->MemoryOffset, copy.data(), copy.size());
    return true;
}

bool SetFields(const RecordLayout& layout, void* record, const std::vector<std::string>& assignments,
               std::string* why)
{
    for (const std::string& a : assignments)
        if (!SetField(layout, record, a, why)) return false;
    return true;
}

}  // namespace korvex::cli
