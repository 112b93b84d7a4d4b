#include "board/project_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "board/cap_list.h"
#include "board/project_sections.h"
#include "board/raster.h"
#include "board/record_layout.h"
#include "board/voltage_noise_param.h"
#include "util/atomic_file.h"
#include "util/debug_log.h"

namespace korvex {

using korvex::ProjectInput;
using korvex::ProjectOutput;
using korvex::LoadedProject;
using korvex::kCompressedDataReason;
using korvex::ProjectRasterOrder;

ProjectSections GlobalProjectSections()
{
    return ProjectSections{&gCapDatabaseCreateSpice, &gVoltageNoiseTimeParam};
}

namespace {

void Fail(std::string* error, const std::string& reason)
{
    printDebug("%s\r\n", reason.c_str());
    if (error != nullptr) *error = reason;
}

bool WriteBody(ProjectOutput& out, const SimMatrix* board, bool compressed, const ProjectSections& sections)
{
    uint8_t header[kProjectHeaderSize];
    EncodeRecord(SimMatrixHeaderLayout(), board, header);
    if (!out.Write(header, sizeof header)) return false;
    for (float*** raster : ProjectRasterOrder(*board))
        if (!out.WriteRaster(raster, *board)) return false;
    for (const Part* p = board->pFirstPart; p != nullptr; p = p->pNext)
        if (!korvex::WritePartSection(out, *p)) return false;
    if (sections.Caps != nullptr)
        for (int i = 0; i < sections.Caps->Count; ++i)
            if (!korvex::WriteCapSection(out, sections.Caps->Caps[i])) return false;
    if (compressed && sections.NoiseParam != nullptr)
        if (!korvex::WriteNoiseSection(out, *sections.NoiseParam)) return false;
    return true;
}

}  // namespace

int SaveProject(const char* path, const SimMatrix* board, bool compressed, const ProjectSections& sections,
                std::string* error)
{
    if (path == nullptr || board == nullptr) return -1;
    const std::string shape = korvex::ProjectShapeProblem(*board);
    if (!shape.empty()) {
        Fail(error, std::string("cannot save ") + path + ": " + shape);
        return -1;
    }
    korvex::AtomicFile file(path);
    std::string reason;
    if (!file.Open(&reason)) {
        printDebug(compressed ? "Compressed file couldn't be created\r\n" : "Datei konnte nicht angelegt werden gefunden");
        Fail(error, reason);
        return -1;
    }
    ProjectOutput out;
    if (!out.Begin(file, compressed)) {
        Fail(error, std::string("cannot write ") + path + ": " + std::strerror(errno ? errno : EIO));
        return -1;
    }
    const bool written = WriteBody(out, board, compressed, sections);
    const bool closed = out.Finish();
    if (!written || !closed) {
        Fail(error, std::string("cannot write ") + path + ": " + std::strerror(errno ? errno : EIO));
        return -1;
    }
    if (!file.Commit(&reason)) {
        Fail(error, reason);
        return -1;
    }
    return 0;
}

int SaveSimMatrix(const char* path, const SimMatrix* board, std::string* error)
{
    return SaveProject(path, board, false, GlobalProjectSections(), error);
}

int gzSaveSimMatrix(const char* path, const SimMatrix* board, std::string* error)
{
    return SaveProject(path, board, true, GlobalProjectSections(), error);
}

int LoadSimMatrix(const char* path, SimMatrix* board, std::string* error)
{
    return LoadProject(path, board, false, GlobalProjectSections(), error);
}

int gzLoadSimMatrix(const char* path, SimMatrix* board, std::string* error)
{
    return LoadProject(path, board, true, GlobalProjectSections(), error);
}

bool IsCompressedProject(const char* path)
{
    std::FILE* f = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (f == nullptr) return false;
    unsigned char magic[2] = {};
    const bool gz = std::fread(magic, 1, 2, f) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    std::fclose(f);
    return gz;
}

int LoadProject(const char* path, SimMatrix* board, bool acceptCompressed, const ProjectSections& sections,
                std::string* error)
{
    if (path == nullptr || board == nullptr) return 0;
    ProjectInput in;
    std::string reason;
    if (!in.Open(path, acceptCompressed, &reason)) {
        printDebug("Datei %s konnte nicht gefunden werden\r\r\n", path);
        if (error != nullptr) *error = reason;
        return 0;
    }
    LoadedProject loaded;
    if (!korvex::ReadProjectBody(in, acceptCompressed, loaded, &reason)) {
        if (reason == kCompressedDataReason) printDebug("Detected compressed data\r\n");
        Fail(error, std::string(path) + ": " + reason);
        return 0;
    }
    MoveSimMatrix(board, &loaded.Board);
    if (sections.Caps != nullptr) SwapCapDatabase(sections.Caps, &loaded.Caps);
    if (sections.NoiseParam != nullptr && loaded.HasNoiseParam) {
        void* window = sections.NoiseParam->Window;
        void* area = sections.NoiseParam->Area;
        *sections.NoiseParam = loaded.NoiseParam;
        sections.NoiseParam->Window = window;
        sections.NoiseParam->Area = area;
    }
    return 1;
}

}  // namespace korvex
