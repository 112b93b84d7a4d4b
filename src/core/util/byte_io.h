#pragma once
// Little-endian encoding of numbers into byte buffers and back, independent of
// the host's byte order. ByteWriter writes into a caller's buffer of known
// size; ByteReader refuses to read past the end of its buffer.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvex {

inline void PutU32LE(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PutU64LE(uint8_t* p, uint64_t v)
{
    PutU32LE(p, static_cast<uint32_t>(v));
    PutU32LE(p + 4, static_cast<uint32_t>(v >> 32));
}

inline uint32_t GetU32LE(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint64_t GetU64LE(const uint8_t* p)
{
    return uint64_t(GetU32LE(p)) | uint64_t(GetU32LE(p + 4)) << 32;
}

inline uint16_t GetU16LE(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline void PutU16LE(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

class ByteWriter {
public:
    ByteWriter(uint8_t* buffer, size_t size) : data_(buffer), size_(size) {}
    // Each Put returns false, writing nothing, when the value would not fit.
    bool PutU16(uint16_t v) { return Room(2) && (PutU16LE(data_ + pos_, v), pos_ += 2, true); }
    bool PutU32(uint32_t v) { return Room(4) && (PutU32LE(data_ + pos_, v), pos_ += 4, true); }
    bool PutI32(int32_t v) { return PutU32(static_cast<uint32_t>(v)); }
    bool PutF32(float v) { return PutU32(std::bit_cast<uint32_t>(v)); }
    bool PutF64(double v) { return Room(8) && (PutU64LE(data_ + pos_, std::bit_cast<uint64_t>(v)), pos_ += 8, true); }
    bool PutBytes(const void* p, size_t n) { return Room(n) && (std::memcpy(data_ + pos_, p, n), pos_ += n, true); }
    bool PutZeros(size_t n) { return Room(n) && (std::memset(data_ + pos_, 0, n), pos_ += n, true); }
    size_t Position() const { return pos_; }

private:
    bool Room(size_t n) const { return n <= size_ - pos_; }
    uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class ByteReader {
public:
    ByteReader(const uint8_t* buffer, size_t size) : data_(buffer), size_(size) {}
    // Each Get returns false, leaving the output alone, when the buffer ends first.
    bool GetU16(uint16_t& v) { return Have(2) && (v = GetU16LE(data_ + pos_), pos_ += 2, true); }
    bool GetU32(uint32_t& v) { return Have(4) && (v = GetU32LE(data_ + pos_), pos_ += 4, true); }
    bool GetI32(int32_t& v)
    {
        uint32_t u = 0;
        if (!GetU32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool GetF32(float& v)
    {
        uint32_t u = 0;
        if (!GetU32(u)) return false;
        v = std::bit_cast<float>(u);
        return true;
    }
    bool GetF64(double& v) { return Have(8) && (v = std::bit_cast<double>(GetU64LE(data_ + pos_)), pos_ += 8, true); }
    bool GetBytes(void* p, size_t n) { return Have(n) && (std::memcpy(p, data_ + pos_, n), pos_ += n, true); }
    bool Skip(size_t n) { return Have(n) && (pos_ += n, true); }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }

private:
    bool Have(size_t n) const { return n <= size_ - pos_; }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace korvex
