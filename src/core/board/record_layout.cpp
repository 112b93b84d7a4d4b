#include "board/record_layout.h"

#include <cstring>

#include "util/byte_io.h"

namespace korvex {

uint32_t FieldFileSize(const FieldLayout& field)
{
    switch (field.Type) {
    case FieldType::U32:
    case FieldType::I32:
    case FieldType::F32: return 4 * field.Count;
    case FieldType::F64: return 8 * field.Count;
    case FieldType::Text:
    case FieldType::Padding: return field.Count;
    }
    return 0;
}

void EncodeRecord(const RecordLayout& layout, const void* record, uint8_t* out)
{
    korvex::ByteWriter w(out, layout.FileSize);
    const auto* base = static_cast<const uint8_t*>(record);
    for (size_t f = 0; f < layout.FieldCount; ++f) {
        const FieldLayout& field = layout.Fields[f];
        const uint8_t* p = base + field.MemoryOffset;
        switch (field.Type) {
        case FieldType::U32:
        case FieldType::I32:
        case FieldType::F32:  // all three travel as their 32-bit pattern
            for (uint32_t k = 0; k < field.Count; ++k) {
                uint32_t v;
                std::memcpy(&v, p + 4 * k, 4);
                w.PutU32(v);
            }
            break;
        case FieldType::F64:
            for (uint32_t k = 0; k < field.Count; ++k) {
                double v;
                std::memcpy(&v, p + 8 * k, 8);
                w.PutF64(v);
            }
            break;
        case FieldType::Text: {
            const size_t n = strnlen(reinterpret_cast<const char*>(p), field.Count);
            w.PutBytes(p, n);
            w.PutZeros(field.Count - n);
            break;
        }
        case FieldType::Padding: w.PutZeros(field.Count); break;
        }
    }
}

bool DecodeRecord(const RecordLayout& layout, const uint8_t* in, size_t size, void* record)
{
    if (in == nullptr || size < layout.FileSize) return false;
    korvex::ByteReader r(in, layout.FileSize);
    auto* base = static_cast<uint8_t*>(record);
    for (size_t f = 0; f < layout.FieldCount; ++f) {
        const FieldLayout& field = layout.Fields[f];
        uint8_t* p = base + field.MemoryOffset;
        switch (field.Type) {
        case FieldType::U32:
        case FieldType::I32:
        case FieldType::F32:
            for (uint32_t k = 0; k < field.Count; ++k) {
                uint32_t v = 0;
                r.GetU32(v);
                std::memcpy(p + 4 * k, &v, 4);
            }
            break;
        case FieldType::F64:
            for (uint32_t k = 0; k < field.Count; ++k) {
                double v = 0;
                r.GetF64(v);
                std::memcpy(p + 8 * k, &v, 8);
            }
            break;
        case FieldType::Text:
            r.GetBytes(p, field.Count);
            p[field.Count - 1] = '\0';
            break;
        case FieldType::Padding: r.Skip(field.Count); break;
        }
    }
    return true;
}

}  // namespace korvex
