#include "board/inflated_file.h"

#include <libdeflate.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "util/byte_io.h"
#include "util/large_block.h"
#include "util/side_by_side.h"

namespace korvex {

namespace {
constexpr uint64_t kGzipMinimum = 18;       // 10-byte header, empty deflate block, 8-byte trailer
constexpr uint64_t kMaxDeflateRatio = 1032;  // deflate cannot expand data by more
constexpr size_t kPrefaultChunk = size_t(4) << 20;

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    // One more byte would mean the file grew since its size was taken.
    uint8_t extra = 0;
    const bool whole = got == bytes.size() && std::fread(&extra, 1, 1, f) == 0;
    std::fclose(f);
    return whole;
}
}  // namespace

InflatedFile::~InflatedFile()
{
    FreeLarge(data_);
}

bool InflatedFile::Inflate(const char* path, uint64_t fileSize)
{
    if (data_ != nullptr || fileSize < kGzipMinimum || fileSize > kMaxInflatedBytes) return false;
    std::vector<uint8_t> packed(static_cast<size_t>(fileSize));
    if (!ReadWhole(path, packed) || packed[0] != 0x1F || packed[1] != 0x8B) return false;
    // zlib checks a header checksum, which the one-go inflater skips: such files take the stream.
    constexpr uint8_t kHeaderChecksumFlag = 0x02;
    if ((packed[3] & kHeaderChecksumFlag) != 0) return false;
    // The trailer's length is the inflated size modulo 2^32: exact below the limit, and a
    // member whose true size is larger fails below for want of room.
    const uint64_t size = GetU32LE(packed.data() + packed.size() - 4);
    if (size > kMaxInflatedBytes || size > fileSize * kMaxDeflateRatio) return false;
    const std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    if (d == nullptr) return false;
    auto* out = static_cast<uint8_t*>(AllocateLarge(size == 0 ? 1 : static_cast<size_t>(size)));
    if (out == nullptr) return false;
    size_t usedIn = 0, usedOut = 0;
    libdeflate_result r = LIBDEFLATE_BAD_DATA;
    // Inflating is quick; the kernel clearing the fresh pages it fills is not. The other core
    // faults them in from the end while the inflater fills from the start.
    std::atomic<bool> inflated{false};
    RunSideBySide(
        [&] {
            for (size_t end = static_cast<size_t>(size); end > 0 && !inflated.load(std::memory_order_relaxed);) {
                const size_t begin = end > kPrefaultChunk ? end - kPrefaultChunk : 0;
                if (!PrefaultPages(out + begin, end - begin)) break;
                end = begin;
            }
        },
        [&] {
            r = libdeflate_gzip_decompress_ex(d.get(), packed.data(), packed.size(), out, static_cast<size_t>(size),
                                              &usedIn, &usedOut);
            inflated = true;
        });
    if (r != LIBDEFLATE_SUCCESS || usedIn != packed.size() || usedOut != size) {
        FreeLarge(out);
        return false;
    }
    data_ = out;
    size_ = usedOut;
    return true;
}

}  // namespace korvex
