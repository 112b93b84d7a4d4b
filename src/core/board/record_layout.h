#pragma once
// File layouts of the fixed-size records (board header, the nine part kinds,
// capacitor record, noise-tool parameters, settings): one table of fields per
// record, in file order. The project and settings files encode and decode
// through these tables field by field, little-endian; the command line prints
// records through them, with the field names as keys.
#include <cstddef>
#include <cstdint>

namespace korvex {

enum class FieldType : uint8_t {
    U32,
    I32,
    F32,
    F64,
    Text,     // NUL-terminated bytes of a fixed capacity
    Padding,  // pointer slots and alignment: zeros on writing, ignored on reading
};

struct FieldLayout {
    const char* Name;
    FieldType Type;
    size_t MemoryOffset;  // offset of the field in the in-memory record (unused for Padding)
    uint32_t Count;       // elements for numbers; bytes for Text and Padding
};

struct RecordLayout {
    const char* Name;
    uint32_t FileSize;
    const FieldLayout* Fields;
    size_t FieldCount;
};

// Size of a field in the file.
uint32_t FieldFileSize(const FieldLayout& field);

// Writes layout.FileSize bytes for `record` into `out`. Text fields are written
// up to their terminator and zero-filled after it.
void EncodeRecord(const RecordLayout& layout, const void* record, uint8_t* out);
// Reads layout.FileSize bytes into `record`; false (record untouched) when
// fewer bytes are given. Text fields are always left NUL-terminated.
bool DecodeRecord(const RecordLayout& layout, const uint8_t* in, size_t size, void* record);

// The fixed part of the board record: the 408-byte project header.
const RecordLayout& SimMatrixHeaderLayout();
// Layout of a part kind's record; null for a code that is no part kind.
const RecordLayout* PartRecordLayout(uint32_t kind);
const RecordLayout& CapRecordLayout();
const RecordLayout& VoltageNoiseTimeParamLayout();
const RecordLayout& SettingsLayout();

}  // namespace korvex
