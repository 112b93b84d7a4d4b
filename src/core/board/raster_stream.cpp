// Raster blocks of the project file. A raster's elements are one contiguous
// block already in file order, so a raster travels as a few large reads or
// writes; only a big-endian host converts, through a small buffer.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "board/project_file.h"
#include "board/raster.h"
#include "util/byte_io.h"

namespace korvex {

namespace {
constexpr size_t kChunkBytes = size_t(1) << 26;  // 64 MiB per call keeps gz lengths in range
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

size_t ElementCount(int nx, int ny, int nz)
{
    if (nx <= 0 || ny <= 0 || nz <= 0) return 0;
    return static_cast<size_t>(nx) * static_cast<size_t>(ny) * static_cast<size_t>(nz);
}

void SwapToLittle(uint8_t* bytes, size_t n)
{
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t v;
        std::memcpy(&v, bytes + i, 4);
        korvex::PutU32LE(bytes + i, v);
    }
}

void SwapFromLittle(uint8_t* bytes, size_t n)
{
    for (size_t i = 0; i + 4 <= n; i += 4) {
        const uint32_t v = korvex::GetU32LE(bytes + i);
        std::memcpy(bytes + i, &v, 4);
    }
}

// Writes `bytes` bytes of raster elements through `write(ptr, n) -> bool`.
template <class Write>
bool WriteElements(const float* data, size_t bytes, Write write)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data);
    if constexpr (kLittleEndian) {
        for (size_t done = 0; done < bytes;) {
            const size_t n = std::min(kChunkBytes, bytes - done);
            if (!write(p + done, n)) return false;
            done += n;
        }
        return true;
    } else {
        std::vector<uint8_t> buffer(std::min(bytes, size_t(1) << 20));
        for (size_t done = 0; done < bytes;) {
            const size_t n = std::min(buffer.size(), bytes - done);
            std::memcpy(buffer.data(), p + done, n);
            SwapToLittle(buffer.data(), n);
            if (!write(buffer.data(), n)) return false;
            done += n;
        }
        return true;
    }
}

template <class Read>
bool ReadElements(float* data, size_t bytes, Read read)
{
    auto* p = reinterpret_cast<uint8_t*>(data);
    for (size_t done = 0; done < bytes;) {
        const size_t n = std::min(kChunkBytes, bytes - done);
        if (!read(p + done, n)) return false;
        if constexpr (!kLittleEndian) SwapFromLittle(p + done, n);
        done += n;
    }
    return true;
}

// A missing raster is written as zeros, so the file keeps its shape.
template <class Write>
bool WriteZeros(size_t bytes, Write write)
{
    std::vector<uint8_t> zeros(std::min(bytes, size_t(1) << 20), 0);
    for (size_t done = 0; done < bytes;) {
        const size_t n = std::min(zeros.size(), bytes - done);
        if (!write(zeros.data(), n)) return false;
        done += n;
    }
    return true;
}
}  // namespace

int SaveMatrix(std::FILE* stream, float*** raster, int nx, int ny, int nz)
{
    if (stream == nullptr) return -1;
    const size_t bytes = ElementCount(nx, ny, nz) * sizeof(float);
    auto write = [stream](const void* p, size_t n) { return std::fwrite(p, 1, n, stream) == n; };
    const float* data = RasterData(raster, nx, ny);
    const bool ok = data != nullptr ? WriteElements(data, bytes, write) : WriteZeros(bytes, write);
    return ok ? 0 : -1;
}

int gzSaveMatrix(gzFile stream, float*** raster, int nx, int ny, int nz)
{
    if (stream == nullptr) return -1;
    const size_t bytes = ElementCount(nx, ny, nz) * sizeof(float);
    auto write = [stream](const void* p, size_t n) { return gzfwrite(p, 1, n, stream) == n; };
    const float* data = RasterData(raster, nx, ny);
    const bool ok = data != nullptr ? WriteElements(data, bytes, write) : WriteZeros(bytes, write);
    return ok ? 0 : -1;
}

int LoadMatrix(std::FILE* stream, float*** raster, int nx, int ny, int nz)
{
    float* data = RasterData(raster, nx, ny);
    if (stream == nullptr || data == nullptr) return -1;
    const size_t bytes = ElementCount(nx, ny, nz) * sizeof(float);
    auto read = [stream](void* p, size_t n) { return std::fread(p, 1, n, stream) == n; };
    return ReadElements(data, bytes, read) ? 0 : -1;
}

int gzLoadMatrix(gzFile stream, float*** raster, int nx, int ny, int nz)
{
    float* data = RasterData(raster, nx, ny);
    if (stream == nullptr || data == nullptr) return -1;
    const size_t bytes = ElementCount(nx, ny, nz) * sizeof(float);
    auto read = [stream](void* p, size_t n) { return gzfread(p, 1, n, stream) == n; };
    return ReadElements(data, bytes, read) ? 0 : -1;
}

int LoadMatrixFromBytes(const uint8_t* bytes, size_t size, float*** raster, int nx, int ny, int nz)
{
    float* data = RasterData(raster, nx, ny);
    const size_t need = ElementCount(nx, ny, nz) * sizeof(float);
    if (bytes == nullptr || data == nullptr || size < need) return -1;
    size_t done = 0;
    auto read = [bytes, &done](void* p, size_t n) {
        std::memcpy(p, bytes + done, n);
        done += n;
        return true;
    };
    return ReadElements(data, need, read) ? 0 : -1;
}

}  // namespace korvex
