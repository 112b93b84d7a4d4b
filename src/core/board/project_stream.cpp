// Byte streams of the project file: plain stdio or zlib's gz interface.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "board/project_sections.h"
#include "util/atomic_file.h"

namespace korvex {
namespace {
constexpr unsigned kGzBuffer = 1u << 20;
constexpr unsigned kSmallGzBuffer = 64u << 10;

// zlib's buffers for reading a file of `fileSize` bytes: large files read faster with a large
// buffer, small ones need not pay for fresh megabytes at each open.
unsigned GzBufferFor(uint64_t fileSize)
{
    return static_cast<unsigned>(std::clamp<uint64_t>(fileSize, kSmallGzBuffer, kGzBuffer));
}
constexpr size_t kGzChunk = size_t(1) << 30;
}  // namespace

ProjectOutput::~ProjectOutput()
{
    if (gz_ != nullptr) gzclose(gz_);
}

bool ProjectOutput::Begin(AtomicFile& file, bool compressed)
{
    if (!compressed) {
        file_ = file.Stream();
        return file_ != nullptr;
    }
    // zlib gets its own descriptor so that gzclose leaves the safe-save file open
    // for syncing and renaming.
    const int fd = ::dup(file.Descriptor());
    if (fd < 0) return false;
    gz_ = gzdopen(fd, "wb");
    if (gz_ == nullptr) {
        ::close(fd);
        return false;
    }
    gzbuffer(gz_, kGzBuffer);
    return true;
}

bool ProjectOutput::Write(const void* data, size_t size)
{
    if (!ok_) return false;
    if (file_ != nullptr)
        ok_ = std::fwrite(data, 1, size, file_) == size;
    else if (gz_ != nullptr)
        ok_ = gzfwrite(data, 1, size, gz_) == size;
    else
        ok_ = false;
    return ok_;
}

bool ProjectOutput::WriteRaster(float*** raster, const SimMatrix& board)
{
    if (!ok_) return false;
    const int nx = static_cast<int>(board.CountPixelX), ny = static_cast<int>(board.CountPixelY);
    if (file_ != nullptr)
        ok_ = SaveMatrix(file_, raster, nx, ny, board.LayerCount) == 0;
    else
        ok_ = gz_ != nullptr && gzSaveMatrix(gz_, raster, nx, ny, board.LayerCount) == 0;
    return ok_;
}

bool ProjectOutput::Finish()
{
    if (file_ != nullptr) {
        if (std::fflush(file_) != 0) ok_ = false;
        file_ = nullptr;  // owned by the AtomicFile
    }
    if (gz_ != nullptr) {
        if (gzclose(gz_) != Z_OK) ok_ = false;
        gz_ = nullptr;
    }
    return ok_;
}

ProjectInput::~ProjectInput()
{
    if (file_ != nullptr) std::fclose(file_);
    if (gz_ != nullptr) gzclose(gz_);
}

bool ProjectInput::Open(const char* path, bool viaGzip, std::string* error)
{
    struct stat st {};
    if (::stat(path, &st) != 0) {
        if (error != nullptr) *error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error != nullptr) *error = std::string(path) + " is not a file";
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    if (viaGzip) {
        inflated_ = std::make_unique<InflatedFile>();
        if (inflated_->Inflate(path, size_)) return true;
        inflated_.reset();
        gz_ = gzopen(path, "rb");
        if (gz_ != nullptr) gzbuffer(gz_, GzBufferFor(size_));
    } else {
        file_ = std::fopen(path, "rb");
    }
    if (file_ == nullptr && gz_ == nullptr) {
        if (error != nullptr) *error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

size_t ProjectInput::Read(void* data, size_t size)
{
    auto* out = static_cast<uint8_t*>(data);
    size_t done = std::min(size, pendingCount_);
    std::memcpy(out, pending_, done);
    std::memmove(pending_, pending_ + done, pendingCount_ - done);
    pendingCount_ -= done;
    if (inflated_ != nullptr) {
        const size_t n = std::min(size - done, Remaining());
        std::memcpy(out + done, inflated_->Data() + offset_, n);
        offset_ += n;
        return done + n;
    }
    while (done < size) {
        const size_t want = std::min(size - done, kGzChunk);
        const size_t got = file_ != nullptr ? std::fread(out + done, 1, want, file_)
                                            : gzfread(out + done, 1, want, gz_);
        done += got;
        if (got < want) break;
    }
    return done;
}

void ProjectInput::PushBack(const void* data, size_t size)
{
    size = std::min(size, sizeof pending_ - pendingCount_);
    std::memmove(pending_ + size, pending_, pendingCount_);
    std::memcpy(pending_, data, size);
    pendingCount_ += size;
}

bool ProjectInput::ReadRaster(float*** raster, const SimMatrix& board)
{
    if (pendingCount_ != 0) return false;  // rasters follow the header directly
    const int nx = static_cast<int>(board.CountPixelX), ny = static_cast<int>(board.CountPixelY);
    if (file_ != nullptr) return LoadMatrix(file_, raster, nx, ny, board.LayerCount) == 0;
    if (inflated_ != nullptr) {
        if (LoadMatrixFromBytes(inflated_->Data() + offset_, Remaining(), raster, nx, ny, board.LayerCount) != 0)
            return false;
        offset_ += size_t(board.CountPixelX) * board.CountPixelY * static_cast<unsigned>(board.LayerCount) *
                   sizeof(float);
        return true;
    }
    return gzLoadMatrix(gz_, raster, nx, ny, board.LayerCount) == 0;
}

bool ProjectInput::HoldsAtLeast(uint64_t bytes)
{
    if (pendingCount_ != 0) return false;
    if (file_ != nullptr) return true;  // plain data: the file size was checked already
    if (inflated_ != nullptr) return Remaining() >= bytes;
    const z_off_t start = gztell(gz_);
    const unsigned scratchSize = GzBufferFor(bytes);
    const std::unique_ptr<char[]> scratch(new char[scratchSize]);
    uint64_t found = 0;
    while (found < bytes) {
        const unsigned want = static_cast<unsigned>(std::min<uint64_t>(bytes - found, scratchSize));
        const int got = gzread(gz_, scratch.get(), want);
        if (got <= 0) break;
        found += static_cast<uint64_t>(got);
    }
    return gzseek(gz_, start, SEEK_SET) == start && found >= bytes;
}

size_t ProjectInput::Remaining() const
{
    return inflated_->Size() - offset_;
}

bool ProjectInput::Compressed() const
{
    if (inflated_ != nullptr) return true;
    return gz_ != nullptr && gzdirect(gz_) == 0;
}

}  // namespace korvex
