#pragma once
// The project file (".sav"): the 408-byte board header, the seven rasters,
// one "[Part]" section per part, one "[CAPS]" section per record of the
// equivalent-circuit list and, in compressed files, one "[VNTM]" section with
// the noise-tool parameters. Written plain or gzip-compressed.
//
// Loaders read into a scratch board and publish it (and the capacitor list and
// noise parameters) only when the whole file was read; a refused file leaves
// everything as it was and says why. Savers replace the target safely: a
// failed save keeps the previous file.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/sim_matrix.h"
#include "util/status.h"

namespace korvex {

struct CapDatabase;
struct VoltageNoiseTimeParam;

// Where the sections after the parts come from and go to. Null members are
// neither written nor read.
struct ProjectSections {
    CapDatabase* Caps;
    VoltageNoiseTimeParam* NoiseParam;
};
// The program-wide lists: gCapDatabaseCreateSpice and gVoltageNoiseTimeParam.
ProjectSections GlobalProjectSections();

constexpr int kProjectHeaderSize = 408;
constexpr int kProjectTagSize = 6;
constexpr int kPartEntrySize = 24;  // after the tag: Kind, padding, two pointer slots

// Plain file: header, rasters, parts, capacitors. 0, or -1 with the reason.
int SaveSimMatrix(const char* path, const SimMatrix* board, std::string* error = nullptr);
// gzip file: the same plus the noise-tool parameters.
int gzSaveSimMatrix(const char* path, const SimMatrix* board, std::string* error = nullptr);
// Plain reader; refuses compressed data. 1 on success, 0 when refused.
int LoadSimMatrix(const char* path, SimMatrix* board, std::string* error = nullptr);
// gzip reader; also reads plain files. 1 on success, 0 when refused.
int gzLoadSimMatrix(const char* path, SimMatrix* board, std::string* error = nullptr);

// The same with explicit section lists instead of the program-wide ones,
// refused with the reason (the loader leaves everything as it was then).
Status WriteProject(const char* path, const SimMatrix* board, bool compressed, const ProjectSections& sections);
Status ReadProject(const char* path, SimMatrix* board, bool acceptCompressed, const ProjectSections& sections);
// Their older forms: SaveProject 0 or -1, LoadProject 1 or 0, with the reason in *error.
int SaveProject(const char* path, const SimMatrix* board, bool compressed, const ProjectSections& sections,
                std::string* error = nullptr);
int LoadProject(const char* path, SimMatrix* board, bool acceptCompressed, const ProjectSections& sections,
                std::string* error = nullptr);

// True when the file starts with the gzip magic bytes 1F 8B.
bool IsCompressedProject(const char* path);

// One raster in file order (x outermost, layer innermost), as a single block.
// 0, or -1 when the stream failed or ended early.
int SaveMatrix(std::FILE* stream, float*** raster, int nx, int ny, int nz);
int gzSaveMatrix(gzFile stream, float*** raster, int nx, int ny, int nz);
int LoadMatrix(std::FILE* stream, float*** raster, int nx, int ny, int nz);
int gzLoadMatrix(gzFile stream, float*** raster, int nx, int ny, int nz);
// The same from `size` bytes in memory (-1 when they are too few).
int LoadMatrixFromBytes(const uint8_t* bytes, size_t size, float*** raster, int nx, int ny, int nz);

}  // namespace korvex
