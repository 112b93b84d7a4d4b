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

// A refusal that also goes to the debug log.
Status Refuse(const std::string& reason)
{
    printDebug("%s\r\n", reason.c_str());
    return Status::Refused(reason);
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

Status WriteProject(const char* path, const SimMatrix* board, bool compressed, const ProjectSections& sections)
{
    if (path == nullptr || board == nullptr) return Status::Refused("no project path or board to save");
    const std::string shape = korvex::ProjectShapeProblem(*board);
    if (!shape.empty()) return Refuse(std::string("cannot save ") + path + ": " + shape);
    korvex::AtomicFile file(path);
    std::string reason;
    if (!file.Open(&reason)) {
        printDebug(compressed ? "Compressed file couldn't be created\r\n" : "Datei konnte nicht angelegt werden gefunden");
        return Refuse(reason);
    }
    ProjectOutput out;
    if (!out.Begin(file, compressed))
        return Refuse(std::string("cannot write ") + path + ": " + std::strerror(errno ? errno : EIO));
    const bool written = WriteBody(out, board, compressed, sections);
    const bool closed = out.Finish();
    if (!written || !closed)
        return Refuse(std::string("cannot write ") + path + ": " + std::strerror(errno ? errno : EIO));
    if (!file.Commit(&reason)) return Refuse(reason);
    return Status::Ok();
}

int SaveProject(const char* path, const SimMatrix* board, bool compressed, const ProjectSections& sections,
                std::string* error)
{
    const Status saved = WriteProject(path, board, compressed, sections);
    if (!saved && error != nullptr) *error = saved.Reason();
    return saved.Code();
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

Status ReadProject(const char* path, SimMatrix* board, bool acceptCompressed, const ProjectSections& sections)
{
    if (path == nullptr || board == nullptr) return Status::Refused("no project path or board to load into");
    ProjectInput in;
    std::string reason;
    if (!in.Open(path, acceptCompressed, &reason)) {
        printDebug("Datei %s konnte nicht gefunden werden\r\r\n", path);
        return Status::Refused(reason);
    }
    LoadedProject loaded;
    if (!korvex::ReadProjectBody(in, acceptCompressed, loaded, &reason)) {
        if (reason == kCompressedDataReason) printDebug("Detected compressed data\r\n");
        return Refuse(std::string(path) + ": " + reason);
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
    return Status::Ok();
}

int LoadProject(const char* path, SimMatrix* board, bool acceptCompressed, const ProjectSections& sections,
                std::string* error)
{
    const Status loaded = ReadProject(path, board, acceptCompressed, sections);
    if (!loaded && error != nullptr) *error = loaded.Reason();
    return loaded ? 1 : 0;
}

}  // namespace korvex
