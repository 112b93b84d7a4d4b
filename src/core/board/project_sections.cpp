// Reading and writing the sections of the project file.
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "board/project_sections.h"
#include "board/raster.h"
#include "board/record_layout.h"
#include "util/byte_io.h"
#include "util/debug_log.h"
#include "util/large_block.h"
#include "util/side_by_side.h"

namespace korvex {
namespace {

constexpr char kPartTag[] = "[Part]";
constexpr char kCapsTag[] = "[CAPS]";
constexpr char kNoiseTag[] = "[VNTM]";

// Deflate cannot expand data by more than about 1032:1; a compressed file whose
// header claims more raster bytes than that cannot hold them.
constexpr uint64_t kMaxDeflateRatio = 1032;

// Reads a 6-byte tag; when it is not `tag`, puts the bytes back.
bool NextTagIs(ProjectInput& in, const char* tag)
{
    uint8_t bytes[kProjectTagSize];
    const size_t n = in.Read(bytes, sizeof bytes);
    if (n == sizeof bytes && std::memcmp(bytes, tag, sizeof bytes) == 0) return true;
    in.PushBack(bytes, n);
    return false;
}

bool WriteTagged(ProjectOutput& out, const char* tag, const RecordLayout& layout, const void* record,
                 const uint8_t* entry = nullptr, size_t entrySize = 0)
{
    std::vector<uint8_t> bytes(kProjectTagSize + entrySize + layout.FileSize);
    std::memcpy(bytes.data(), tag, kProjectTagSize);
    if (entrySize != 0) std::memcpy(bytes.data() + kProjectTagSize, entry, entrySize);
    EncodeRecord(layout, record, bytes.data() + kProjectTagSize + entrySize);
    return out.Write(bytes.data(), bytes.size());
}

}  // namespace

std::string ProjectShapeProblem(const SimMatrix& b)
{
    if (b.LayerCount < 1 || b.LayerCount > kMaxLayers)
        return "LayerCount " + std::to_string(b.LayerCount) + " is not 1 to 8";
    if (b.CountPixelX == 0 || b.CountPixelY == 0)
        return "the pixel counts " + std::to_string(b.CountPixelX) + " x " + std::to_string(b.CountPixelY) +
               " are empty";
    if (b.CountPixelX > INT32_MAX || b.CountPixelY > INT32_MAX) return "the pixel counts are too large";
    return {};
}

namespace {

std::string SizeProblem(const SimMatrix& b, const ProjectInput& in)
{
    const unsigned __int128 rasterBytes = static_cast<unsigned __int128>(b.CountPixelX) * b.CountPixelY *
                                          static_cast<unsigned>(b.LayerCount) * sizeof(float) * 7;
    const uint64_t afterHeader = in.FileSize() > kProjectHeaderSize ? in.FileSize() - kProjectHeaderSize : 0;
    const unsigned __int128 room =
        in.Compressed() ? static_cast<unsigned __int128>(in.FileSize()) * kMaxDeflateRatio : afterHeader;
    if (rasterBytes <= room) return {};
    std::string claim = "the header's " + std::to_string(b.CountPixelX) + " x " + std::to_string(b.CountPixelY) +
                        " pixels x " + std::to_string(b.LayerCount) + " layers need ";
    if (rasterBytes >> 64 != 0)
        claim += "more than 2^64 bytes of rasters";
    else
        claim += std::to_string(static_cast<uint64_t>(rasterBytes)) + " bytes of rasters";
    return claim + ", more than the " + std::to_string(in.FileSize()) + "-byte file can hold";
}

// Deflate packs empty rasters so well that a small compressed file may claim gigabytes of
// them. Large claims of compressed files are counted out in the data before any raster is
// allocated, so a file that ends early is refused without filling the memory first.
constexpr uint64_t kCountedRasterBytes = uint64_t{256} << 20;

std::string MissingRasterData(const SimMatrix& b, ProjectInput& in)
{
    const uint64_t rasterBytes = uint64_t{b.CountPixelX} * b.CountPixelY * static_cast<unsigned>(b.LayerCount) *
                                 sizeof(float) * 7;  // fits: SizeProblem bounded it by the file size
    if (!in.Compressed() || rasterBytes <= kCountedRasterBytes || in.HoldsAtLeast(rasterBytes)) return {};
    return "the header's " + std::to_string(b.CountPixelX) + " x " + std::to_string(b.CountPixelY) + " pixels x " +
           std::to_string(b.LayerCount) + " layers need " + std::to_string(rasterBytes) +
           " bytes of rasters; the file ends before them";
}

// A raster of the board's shape whose pages are already faulted in for the inflater to
// fill; null when out of memory.
float*** RasterToFill(const SimMatrix& b)
{
    const int nx = static_cast<int>(b.CountPixelX), ny = static_cast<int>(b.CountPixelY);
    float*** raster = malloc3DFloat(nx, ny, static_cast<unsigned>(b.LayerCount));
    if (raster != nullptr)
        FaultInForWriting(RasterData(raster, nx, ny),
                          size_t(b.CountPixelX) * b.CountPixelY * static_cast<unsigned>(b.LayerCount) * sizeof(float));
    return raster;
}

// While one raster is read (inflated, mostly), the next one is allocated and faulted in on
// the other core: on a large board that is about as much work as the inflating.
bool ReadRasters(ProjectInput& in, SimMatrix& b, std::string* reason)
{
    const auto slots = ProjectRasterSlots(b);
    float*** next = nullptr;
    auto prepare = [&b, &next] { next = RasterToFill(b); };
    std::optional<SideTask> ahead(std::in_place, prepare);
    bool ok = true;
    for (size_t i = 0; ok && i < slots.size(); ++i) {
        ahead->Wait();
        *slots[i] = std::exchange(next, nullptr);
        if (*slots[i] == nullptr) {
            *reason = std::string("not enough memory for the raster ") + ProjectRasterName(static_cast<int>(i));
            return false;
        }
        if (i + 1 < slots.size()) ahead.emplace(prepare);
        if (!in.ReadRaster(*slots[i], b)) {
            *reason = std::string("the file ends inside the raster ") + ProjectRasterName(static_cast<int>(i));
            ok = false;
        }
    }
    ahead.reset();
    if (next != nullptr) free3D(next, static_cast<int>(b.CountPixelX), static_cast<int>(b.CountPixelY));
    return ok;
}

bool ReadParts(ProjectInput& in, SimMatrix& b, std::string* reason)
{
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> record;
    for (unsigned section = 1; NextTagIs(in, kPartTag); ++section) {
        uint8_t entry[kPartEntrySize];
        const std::string where = "part section " + std::to_string(section);
        if (in.Read(entry, sizeof entry) != sizeof entry) {
            *reason = "the file ends inside " + where;
            return false;
        }
        const uint32_t kind = GetU32LE(entry);
        const RecordLayout* layout = PartRecordLayout(kind);
        if (layout == nullptr) {
            *reason = where + " has the unknown part kind " + std::to_string(kind);
            return false;
        }
        bytes.resize(layout->FileSize);
        if (in.Read(bytes.data(), bytes.size()) != bytes.size()) {
            *reason = "the file ends inside " + where + " (" + layout->Name + " record)";
            return false;
        }
        record.assign(PartRecordSize(kind), 0);
        DecodeRecord(*layout, bytes.data(), bytes.size(), record.data());
        AddPart(&b, kind, record.data());
    }
    return true;
}

bool ReadCaps(ProjectInput& in, bool announce, CapDatabase& caps, std::string* reason)
{
    uint8_t bytes[kCapRecordSize];
    while (NextTagIs(in, kCapsTag)) {
        if (in.Read(bytes, sizeof bytes) != sizeof bytes) {
            *reason = "the file ends inside a [CAPS] record";
            return false;
        }
        if (announce) printDebug("[CAPS] found... Read Cap\r\n");
        CapRecord rec;
        DecodeRecord(CapRecordLayout(), bytes, sizeof bytes, &rec);
        AddCap(&caps, caps.Count, &rec);
    }
    return true;
}

bool ReadNoiseParams(ProjectInput& in, LoadedProject& loaded, std::string* reason)
{
    uint8_t bytes[kVoltageNoiseTimeParamSize];
    while (NextTagIs(in, kNoiseTag)) {
        printDebug("[VNTM] found... Read VoltageNoiseTimeParam\r\n");
        if (in.Read(bytes, sizeof bytes) != sizeof bytes) {
            *reason = "the file ends inside the [VNTM] record";
            return false;
        }
        DecodeRecord(VoltageNoiseTimeParamLayout(), bytes, sizeof bytes, &loaded.NoiseParam);
        loaded.HasNoiseParam = true;
    }
    return true;
}

}  // namespace

const char kCompressedDataReason[] = "compressed data where a plain project was expected";

std::array<float***, 7> ProjectRasterOrder(const SimMatrix& b)
{
    return {b.CopperMatrix,  b.CurrentDensityMatrix, b.CurrentXMatrix, b.CurrentYMatrix,
            b.TemperatureMatrix, b.VoltageMatrix, b.ZinMatrix};
}

std::array<float****, 7> ProjectRasterSlots(SimMatrix& b)
{
    return {&b.CopperMatrix,  &b.CurrentDensityMatrix, &b.CurrentXMatrix, &b.CurrentYMatrix,
            &b.TemperatureMatrix, &b.VoltageMatrix, &b.ZinMatrix};
}

const char* ProjectRasterName(int index)
{
    static const char* const kNames[7] = {"CopperMatrix",     "CurrentDensityMatrix", "CurrentXMatrix", "CurrentYMatrix",
                                          "TemperatureMatrix", "VoltageMatrix",        "ZinMatrix"};
    return index >= 0 && index < 7 ? kNames[index] : "";
}

bool WritePartSection(ProjectOutput& out, const Part& part)
{
    const RecordLayout* layout = PartRecordLayout(part.Kind);
    if (layout == nullptr || part.pRecord == nullptr) return true;  // nothing a reader could use
    uint8_t entry[kPartEntrySize] = {};
    PutU32LE(entry, part.Kind);
    return WriteTagged(out, kPartTag, *layout, part.pRecord, entry, sizeof entry);
}

bool WriteCapSection(ProjectOutput& out, const CapRecord& record)
{
    return WriteTagged(out, kCapsTag, CapRecordLayout(), &record);
}

bool WriteNoiseSection(ProjectOutput& out, const VoltageNoiseTimeParam& param)
{
    return WriteTagged(out, kNoiseTag, VoltageNoiseTimeParamLayout(), &param);
}

LoadedProject::~LoadedProject()
{
    freeSimulationMatrix(&Board);
    FreeCapDatabase(&Caps);
}

bool ReadProjectBody(ProjectInput& in, bool acceptCompressed, LoadedProject& loaded, std::string* reason)
{
    uint8_t header[kProjectHeaderSize];
    const size_t n = in.Read(header, sizeof header);
    if (!acceptCompressed && n >= 2 && header[0] == 0x1F && header[1] == 0x8B) {
        *reason = kCompressedDataReason;
        return false;
    }
    if (n < sizeof header) {
        *reason = "the file is too short for a project header (" + std::to_string(n) + " of 408 bytes)";
        return false;
    }
    SimMatrix& b = loaded.Board;
    InitSimulationMatrix(&b);
    DecodeRecord(SimMatrixHeaderLayout(), header, sizeof header, &b);
    *reason = ProjectShapeProblem(b);
    if (reason->empty()) *reason = SizeProblem(b, in);
    if (reason->empty()) *reason = MissingRasterData(b, in);
    if (!reason->empty()) return false;
    if (!ReadRasters(in, b, reason) || !ReadParts(in, b, reason)) return false;
    if (!ReadCaps(in, acceptCompressed, loaded.Caps, reason)) return false;
    if (acceptCompressed && !ReadNoiseParams(in, loaded, reason)) return false;
    return true;
}

}  // namespace korvex
