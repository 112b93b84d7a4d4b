#pragma once
// A gzip file inflated in one go into memory. For the long runs of raster data
// this is several times faster than inflating through zlib's stream; the
// project reader uses it where it can and keeps the stream for everything else.
#include <cstddef>
#include <cstdint>

namespace korvex {

class InflatedFile {
public:
    InflatedFile() = default;
    ~InflatedFile();
    InflatedFile(const InflatedFile&) = delete;
    InflatedFile& operator=(const InflatedFile&) = delete;

    // True when the `fileSize`-byte file at `path` is one gzip member, no more than
    // kMaxInflatedBytes long inflated, that inflated completely with a matching
    // checksum and nothing after it. False for anything else (a plain file, several
    // members, damaged or cut-off data), which the caller then reads as a stream.
    bool Inflate(const char* path, uint64_t fileSize);
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    // Larger contents go through the stream, which does not hold them twice.
    static constexpr uint64_t kMaxInflatedBytes = uint64_t{1} << 30;

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace korvex
