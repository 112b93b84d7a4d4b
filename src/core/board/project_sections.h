#pragma once
// Inside the project file: the plain/gzip byte streams and the reading and
// writing of each section. Used by project_file.cpp; tests use it to build
// damaged files.
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "board/cap_list.h"
#include "board/inflated_file.h"
#include "board/project_file.h"
#include "board/voltage_noise_param.h"

namespace korvex {

class AtomicFile;

// Writes the project byte stream into a safe-save file, plain or through zlib.
class ProjectOutput {
public:
    ~ProjectOutput();
    bool Begin(AtomicFile& file, bool compressed);
    bool Write(const void* data, size_t size);
    bool WriteRaster(float*** raster, const SimMatrix& board);
    // Flushes (plain) or ends the gzip stream; false when anything failed.
    bool Finish();

private:
    std::FILE* file_ = nullptr;
    gzFile gz_ = nullptr;
    bool ok_ = true;
};

// Reads the project byte stream, with room to push a section tag back.
class ProjectInput {
public:
    ~ProjectInput();
    // viaGzip: read through zlib (which also passes plain files through).
    bool Open(const char* path, bool viaGzip, std::string* error);
    // Bytes read, fewer only at the end of the data (or on a read error).
    size_t Read(void* data, size_t size);
    void PushBack(const void* data, size_t size);  // at most one tag
    bool ReadRaster(float*** raster, const SimMatrix& board);
    uint64_t FileSize() const { return size_; }
    // True once data has been read and it is gzip-compressed.
    bool Compressed() const;
    // Whether at least `bytes` more bytes follow, found by decompressing into a scratch buffer
    // and seeking back; nothing is allocated in proportion to them.
    bool HoldsAtLeast(uint64_t bytes);

private:
    size_t Remaining() const;

    std::FILE* file_ = nullptr;
    gzFile gz_ = nullptr;
    // A gzip file inflated in one go is read from memory instead of gz_.
    std::unique_ptr<InflatedFile> inflated_;
    size_t offset_ = 0;
    uint64_t size_ = 0;
    uint8_t pending_[kProjectTagSize] = {};
    size_t pendingCount_ = 0;
};

// The seven rasters in file order, and their names for messages.
std::array<float***, 7> ProjectRasterOrder(const SimMatrix& board);
std::array<float****, 7> ProjectRasterSlots(SimMatrix& board);
const char* ProjectRasterName(int index);

bool WritePartSection(ProjectOutput& out, const Part& part);
bool WriteCapSection(ProjectOutput& out, const CapRecord& record);
bool WriteNoiseSection(ProjectOutput& out, const VoltageNoiseTimeParam& param);

// Everything a file holds, before it is published.
struct LoadedProject {
    SimMatrix Board;
    CapDatabase Caps;
    VoltageNoiseTimeParam NoiseParam;
    bool HasNoiseParam = false;
    LoadedProject() = default;
    ~LoadedProject();
    LoadedProject(const LoadedProject&) = delete;
    LoadedProject& operator=(const LoadedProject&) = delete;
};

// Reason given when the plain reader meets gzip data.
extern const char kCompressedDataReason[];

// Reads header, rasters and all sections; false with a one-line reason when
// the file is refused. The caller publishes what it wants.
bool ReadProjectBody(ProjectInput& in, bool acceptCompressed, LoadedProject& loaded, std::string* reason);

// Why a board of this shape cannot be stored or loaded (layer count outside
// 1 to 8, no pixels, counts beyond the raster index range); empty when fine.
std::string ProjectShapeProblem(const SimMatrix& board);

}  // namespace korvex
