#pragma once
// A simulator result file held in memory: the header (8-bit or UTF-16LE, which
// is narrowed to 8 bits), the variable list and the binary values that follow
// "Binary:" and its line feed. Every value access is bounds-checked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/large_block.h"

namespace korvex {

struct RawVariable {
    unsigned Index = 0;  // position in the list, counting from 0
    std::string_view Name;  // as listed, e.g. "V(n1_000042)"; points into RawFile::Bytes
};

// A read-only memory mapping of a file, unmapped when it goes.
class MappedFile {
public:
    MappedFile() = default;
    MappedFile(void* address, size_t size) : address_(address), size_(size) {}
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();
    std::string_view Bytes() const { return {static_cast<const char*>(address_), size_}; }

private:
    void* address_ = nullptr;
    size_t size_ = 0;
};

// Holds the file's bytes (mapped, or owned when they were narrowed or handed
// in); the variable names point into them, so a RawFile moves but is never copied.
struct RawFile {
    RawFile() = default;
    RawFile(RawFile&&) = default;
    RawFile& operator=(RawFile&&) = default;
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    std::string_view Bytes;            // header (narrowed to 8 bits), then the binary section
    std::vector<char> Owned;           // the bytes when they are not mapped
    MappedFile Mapped;
    size_t BinaryStart = 0;            // offset of the first value byte
    bool HasCounts = false;            // "No. Variables:" and "No. Points:" were read
    unsigned DeclaredVariables = 0;
    unsigned DeclaredPoints = 0;
    std::vector<RawVariable, LargeBlockAllocator<RawVariable>> Variables;  // huge pages: a large list is faulted in quickly

    size_t BinaryBytes() const { return Bytes.size() - BinaryStart; }
    // Real value of variable v in an operating-point record; false when the file
    // is too short to hold it.
    bool RealValue(size_t v, double* out) const;
    // Complex value of variable v at point p of an AC record of `variables` values.
    bool ComplexValue(size_t p, size_t v, size_t variables, double* re, double* im) const;
};

// Reads the file, narrows a UTF-16 header and reads the variable list, logging
// as the result readers do ("Datei %s nicht gefunden", "64-Bit Version RAW Data"
// ...). `needCounts` also requires "No. Variables:" and "No. Points:" (AC files).
// Returns 0, or -1 with a one-line reason in *error.
int LoadRawFile(const char* path, RawFile* raw, bool needCounts, std::string* error);
// The same from bytes already in memory (tests, pipes).
int ParseRawFile(std::vector<char> bytes, RawFile* raw, bool needCounts, std::string* error);

}  // namespace korvex
