#include "record_print.h"

#include "json_output.h"

#include <charconv>
#include <cstring>

namespace korvex::cli {

namespace {

nlohmann::json FieldValue(const FieldLayout& f, const uint8_t* p, uint32_t k)
{
    switch (f.Type) {
    case FieldType::U32: {
        uint32_t v;
        std::memcpy(&v, p + 4 * k, 4);
        return v;
    }
    case FieldType::I32: {
        int32_t v;
        std::memcpy(&v, p + 4 * k, 4);
        return v;
    }
    case FieldType::F32: {
        float v;
        std::memcpy(&v, p + 4 * k, 4);
        // The double nearest to the float's shortest text, so JSON shows 0.1, not 0.10000000149.
        const std::string text = FloatText(v);
        double d = v;
        std::from_chars(text.data(), text.data() + text.size(), d);
        return d;
    }
    case FieldType::F64: {
        double v;
        std::memcpy(&v, p + 8 * k, 8);
        return v;
    }
    case FieldType::Text:
        return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), f.Count));
    case FieldType::Padding: break;
    }
    return nullptr;
}

std::string ValueText(const FieldLayout& f, const uint8_t* p, uint32_t k)
{
    switch (f.Type) {
    case FieldType::F32: {
        float v;
        std::memcpy(&v, p + 4 * k, 4);
        return FloatText(v);
    }
    case FieldType::F64: {
        double v;
        std::memcpy(&v, p + 8 * k, 8);
        return DoubleText(v);
    }
    default: return JsonText(FieldValue(f, p, k), -1);
    }
}

bool IsArray(const FieldLayout& f)
{
    return f.Count > 1 && f.Type != FieldType::Text && f.Type != FieldType::Padding;
}

}  // namespace

std::string FloatText(float value)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string DoubleText(double value)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

nlohmann::json RecordToJson(const RecordLayout& layout, const void* record)
{
    nlohmann::json out = nlohmann::json::object();
    const auto* base = static_cast<const uint8_t*>(record);
    for (size_t i = 0; i < layout.FieldCount; ++i) {
        const FieldLayout& f = layout.Fields[i];
        if (f.Type == FieldType::Padding) continue;
        const uint8_t* p = base + f.MemoryOffset;
        if (IsArray(f)) {
            nlohmann::json values = nlohmann::json::array();
            for (uint32_t k = 0; k < f.Count; ++k) values.push_back(FieldValue(f, p, k));
            out[f.Name] = values;
        } else {
            out[f.Name] = FieldValue(f, p, 0);
        }
    }
    return out;
}

std::string RecordToText(const RecordLayout& layout, const void* record)
{
    std::string out;
    const auto* base = static_cast<const uint8_t*>(record);
    for (size_t i = 0; i < layout.FieldCount; ++i) {
        const FieldLayout& f = layout.Fields[i];
        if (f.Type == FieldType::Padding) continue;
        const uint8_t* p = base + f.MemoryOffset;
        if (!out.empty()) out += ' ';
        out += f.Name;
        out += '=';
        if (IsArray(f)) {
            out += '[';
            for (uint32_t k = 0; k < f.Count; ++k) out += (k ? ", " : "") + ValueText(f, p, k);
            out += ']';
        } else {
            out += ValueText(f, p, 0);
        }
    }
    return out;
}

}  // namespace korvex::cli
