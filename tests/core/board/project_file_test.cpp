// Project files: the byte layout of header, rasters and sections, round trips that keep
// every value, and refusals of damaged and foreign files that say why and touch nothing
// that was loaded before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "board/project_file.h"
#include "board/project_sections.h"
#include "board/voltage_noise_param.h"
#include "board_fixtures.h"
#include "pdn/cap_database.h"
#include "util/byte_io.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace testing_board;

namespace {

// Owns the board and the section lists a test saves or loads.
struct Project {
    SimMatrix board;
    CapDatabase caps;
    VoltageNoiseTimeParam noise;
    ~Project()
    {
        freeSimulationMatrix(&board);
        FreeCapDatabase(&caps);
    }
    ProjectSections Sections() { return ProjectSections{&caps, &noise}; }
};

void ExpectSameBoard(const SimMatrix& a, const SimMatrix& b)
{
    EXPECT_EQ(Encoded(SimMatrixHeaderLayout(), &a), Encoded(SimMatrixHeaderLayout(), &b));
    const size_t n = size_t(a.CountPixelX) * a.CountPixelY * a.LayerCount;
    const auto ra = korvex::ProjectRasterOrder(a), rb = korvex::ProjectRasterOrder(b);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(0, std::memcmp(RasterData(ra[i], a.CountPixelX, a.CountPixelY),
                                 RasterData(rb[i], b.CountPixelX, b.CountPixelY), n * 4))
            << korvex::ProjectRasterName(i);
    const Part* pa = a.pFirstPart;
    const Part* pb = b.pFirstPart;
    for (; pa != nullptr && pb != nullptr; pa = pa->pNext, pb = pb->pNext) {
        ASSERT_EQ(pa->Kind, pb->Kind);
        const RecordLayout& layout = *PartRecordLayout(pa->Kind);
        EXPECT_EQ(Encoded(layout, pa->pRecord), Encoded(layout, pb->pRecord)) << layout.Name;
    }
    EXPECT_EQ(pa, nullptr);
    EXPECT_EQ(pb, nullptr);
}

// Writes `n` bytes as one gzip member (mode "wb") or appends them as a further one ("ab").
void WriteGz(const std::string& path, const uint8_t* data, size_t n, const char* mode = "wb")
{
    gzFile f = gzopen(path.c_str(), mode);
    gzwrite(f, data, static_cast<unsigned>(n));
    gzclose(f);
}

// Inflates at most `capacity` bytes of a gzip file.
std::vector<uint8_t> ReadGz(const std::string& path, size_t capacity)
{
    std::vector<uint8_t> plain(capacity);
    gzFile f = gzopen(path.c_str(), "rb");
    const int n = gzread(f, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(f);
    plain.resize(static_cast<size_t>(std::max(n, 0)));
    return plain;
}

}  // namespace

TEST(ProjectFile, HeaderAndRasterLayout)
{
    TempFolder t("proj_header");
    Project p;
    MakeBoard(&p.board, 3, 5, 2);
    SimMatrix& m = p.board;
    // Every float of the header gets a value of its own: its byte offset + 0.25,
    // so a field written to another field's place shows.
    const struct {
        float* field;
        int count;
        size_t offset;
    } floats[] = {{&m.SizeX, 1, 12}, {&m.SizeY, 1, 16}, {m.SizeZ, 8, 20}, {m.CopperThickness, 8, 52}, {m.Er, 8, 84},
                  {m.Df, 8, 116}, {&m.ElectricalConductivity, 1, 148}, {&m.TemperatureCoefficient, 1, 152},
                  {m.RdcX, 8, 156}, {m.RdcY, 8, 188}, {&m.ThermalConductivityCopper, 1, 264},
                  {&m.ThermalConductivityFR4XY, 1, 268}, {&m.ThermalConductivityFR4Z, 1, 272},
                  {m.RthCopper, 8, 276}, {m.RthDielectric, 8, 308}, {m.RthLayer, 8, 340}, {&m.Alpha, 1, 372},
                  {&m.Epsilon, 1, 376}, {&m.TAmbient, 1, 380}};
    for (const auto& f : floats)
        for (int i = 0; i < f.count; ++i) f.field[i] = static_cast<float>(f.offset + 4 * i) + 0.25f;
    const std::string path = t.Path("h.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &m, false, ProjectSections{nullptr, nullptr}), 0);
    const auto b = ReadBytes(path);
    ASSERT_EQ(b.size(), 408u + 28u * 3 * 5 * 2);  // nothing after the rasters
    ExpectFields(b, {{0, 'u', 3}, {4, 'u', 5}, {8, 'u', 2}});
    for (const auto& f : floats)
        for (size_t at = f.offset; at < f.offset + 4 * f.count; at += 4) ExpectFields(b, {{at, 'f', at + 0.25}});
    EXPECT_TRUE(AllZero(b, 220, 44));  // padding and five raster slots
    EXPECT_TRUE(AllZero(b, 384, 24));
    // Raster order copper, current density, x, y, temperature, voltage, Zin;
    // element (x, y, l) at (x * ny + y) * layers + l.
    const size_t raster = 3 * 5 * 2 * 4;
    ExpectFields(b, {{408 + ((2 * 5 + 3) * 2 + 1) * 4, 'f', m.CopperMatrix[2][3][1]},
                     {408 + raster, 'f', m.CurrentDensityMatrix[0][0][0]},
                     {408 + 2 * raster + 4, 'f', m.CurrentXMatrix[0][0][1]},
                     {408 + 3 * raster + 8, 'f', m.CurrentYMatrix[0][1][0]},
                     {408 + 4 * raster + 4, 'f', m.TemperatureMatrix[0][0][1]},
                     {408 + 5 * raster + 40, 'f', m.VoltageMatrix[1][0][0]},
                     {408 + 6 * raster + 8, 'f', m.ZinMatrix[0][1][0]}});
}

TEST(ProjectFile, SectionLayouts)
{
    TempFolder t("proj_sections");
    Project p;
    MakeBoard(&p.board, 1, 1, 1);
    AddEveryPartKind(&p.board);
    CapRecord rec;
    rec.Ref = 5, rec.Capacitance = 2e-6f, rec.ESR = 0.02f, rec.ESL = 3e-10f;
    rec.Reserved = 0xFFFFFFFF;  // not part of the file
    AddCap(&p.caps, 0, &rec);
    AddCap(&p.caps, 0, &rec);
    p.noise.nHarmonics = 250, p.noise.MaxZ = 42.0f;
    p.noise.Window = &p;  // run-time only
    const std::string path = t.Path("s.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &p.board, false, p.Sections()), 0);
    const auto b = ReadBytes(path);
    size_t at = 408 + 28;
    const uint32_t sizes[] = {80, 76, 48, 104, 80, 16, 28, 28, 10076, 10088};
    const uint32_t kinds[] = {1, 4, 6, 7, 8, 9, 10, 10, 11, 12};
    std::vector<size_t> records;
    for (int i = 0; i < 10; ++i) {
        ASSERT_LE(at + 30 + sizes[i], b.size());
        EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 6), "[Part]");
        ExpectFields(b, {{at + 6, 'u', double(kinds[i])}});
        EXPECT_TRUE(AllZero(b, at + 10, 20));
        records.push_back(at + 30);
        at += 30 + sizes[i];
    }
    ExpectFields(b, {{records[0] + 64, 'u', 1},        // Current.Flags
                     {records[0] + 72, 'd', 2.5},      // Current.Current
                     {records[1] + 64, 'f', 1e-6f},    // Resistor.Rser
                     {records[2] + 44, 'f', 0.125f},   // Via.Current[7]
                     {records[3] + 32, 'd', 3.25},     // HeatSource.Power
                     {records[3] + 72, 'd', 77.5},     // HeatSource.Temperature
                     {records[4] + 24, 'd', 4.5},      // HeatSink.ThermalResistance
                     {records[5] + 8, 'u', 3},         // Port.ID
                     {records[6] + 24, 'f', 5e-10f},   // Cap.ESL
                     {records[9] + 24, 'u', 10}});     // SeriesSubCircuit.Reference
    EXPECT_EQ(TextAt(b, records[0] + 24), "VCC");
    EXPECT_EQ(TextAt(b, records[1] + 44), "0");  // Resistor.Net2Name
    EXPECT_EQ(TextAt(b, records[3] + 80), "U1");
    EXPECT_EQ(TextAt(b, records[4] + 56), "Heatsink1");
    EXPECT_EQ(TextAt(b, records[8] + 76), "R1 A B 10\nC1 B 0 1u");
    EXPECT_EQ(TextAt(b, records[9] + 28), "Filter");
    for (int i = 0; i < 2; ++i, at += 38) {
        EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 6), "[CAPS]");
        ExpectFields(b, {{at + 6, 'u', double(i)}, {at + 10, 'u', 5}, {at + 14, 'f', 2e-6f}, {at + 22, 'f', 3e-10f}});
        EXPECT_TRUE(AllZero(b, at + 30, 8));  // part pointer
    }
    EXPECT_EQ(at, b.size());  // a plain file carries no [VNTM]

    const std::string gz = t.Path("s.gz.sav");
    ASSERT_EQ(SaveProject(gz.c_str(), &p.board, true, p.Sections()), 0);
    ASSERT_TRUE(IsCompressedProject(gz.c_str()));
    // Inflate through the gz reader and look at the [VNTM] record at the end.
    const auto plain = ReadGz(gz, b.size() + 6 + 128 + 1);
    ASSERT_EQ(plain.size(), b.size() + 6 + 128);
    const size_t v = b.size();
    EXPECT_EQ(std::string(plain.begin() + v, plain.begin() + v + 6), "[VNTM]");
    EXPECT_TRUE(AllZero(plain, v + 6, 32));
    ExpectFields(plain, {{v + 6 + 32, 'u', 0x646464}, {v + 6 + 36, 'f', 1e-8f}, {v + 6 + 56, 'u', 250},
                         {v + 6 + 124, 'f', 42.0f}});
}

// How the round trip stores the project: plain, compressed as the saver writes it (inflated
// in one go when loaded) or compressed as two gzip members (inflated as a stream).
enum class Storage { Plain, Compressed, TwoMembers };

// Rewrites a compressed file as two gzip members split in the middle of the rasters.
void SplitIntoTwoMembers(const std::string& path)
{
    const auto plain = ReadGz(path, 1 << 20);
    ASSERT_GT(plain.size(), 1000u);
    const size_t half = plain.size() / 2;
    WriteGz(path, plain.data(), half);
    WriteGz(path, plain.data() + half, plain.size() - half, "ab");
}

class ProjectRoundTrip : public ::testing::TestWithParam<Storage> {};

TEST_P(ProjectRoundTrip, EveryPartKindRastersAndSections)
{
    const bool compressed = GetParam() != Storage::Plain;
    TempFolder t("proj_roundtrip");
    Project saved;
    MakeBoard(&saved.board, 31, 5, 3);  // a plain file that starts with 0x1F, the first byte of gzip's mark
    AddEveryPartKind(&saved.board);
    InitCapDatabaseCreateSpice(&saved.caps);
    CapRecord inductor;
    inductor.Capacitance = 200.0f;
    inductor.ESL = 1e-6f;
    AddCap(&saved.caps, 1, &inductor);
    saved.noise.T = 2e-6f;
    saved.noise.LogX = 0;
    const std::string path = t.Path("r.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &saved.board, compressed, saved.Sections()), 0);
    EXPECT_EQ(IsCompressedProject(path.c_str()), compressed);
    if (GetParam() == Storage::TwoMembers) SplitIntoTwoMembers(path);

    Project loaded;
    MakeBoard(&loaded.board, 2, 2, 1);  // replaced by the load
    int marker = 0;
    loaded.noise.Window = &marker;
    std::string error;
    ASSERT_EQ(LoadProject(path.c_str(), &loaded.board, true, loaded.Sections(), &error), 1) << error;
    ExpectSameBoard(saved.board, loaded.board);
    ASSERT_EQ(loaded.caps.Count, 2);
    EXPECT_EQ(loaded.caps.Caps[1].Capacitance, 200.0f);
    EXPECT_EQ(loaded.caps.Caps[1].Index, 1u);
    if (compressed) {
        EXPECT_EQ(loaded.noise.T, 2e-6f);
        EXPECT_EQ(loaded.noise.LogX, 0);
    } else {
        EXPECT_EQ(loaded.noise.T, 1e-7f);  // plain files leave the noise parameters alone
    }
    EXPECT_EQ(loaded.noise.Window, &marker);  // run-time handles survive a load

    // The plain reader takes plain files only; the gzip reader takes both.
    Project again;
    const int plainResult = LoadProject(path.c_str(), &again.board, false, again.Sections(), &error);
    EXPECT_EQ(plainResult, compressed ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, ProjectRoundTrip,
                         ::testing::Values(Storage::Plain, Storage::Compressed, Storage::TwoMembers));

// The entry points without section lists save and load the program-wide ones, compressed or
// plain as their names say.
TEST(ProjectFile, GlobalEntryPointsUseProgramWideLists)
{
    TempFolder t("proj_global");
    OwnedBoard owned(4, 4, 2);
    InitCapDatabaseCreateSpice(&gCapDatabaseCreateSpice);
    const VoltageNoiseTimeParam noise = gVoltageNoiseTimeParam;
    gVoltageNoiseTimeParam.nHarmonics = 77;
    const std::string path = t.Path("g.sav");
    ASSERT_EQ(gzSaveSimMatrix(path.c_str(), &owned.board), 0);
    EXPECT_TRUE(IsCompressedProject(path.c_str()));
    EmptyCapDatabase(&gCapDatabaseCreateSpice);
    gVoltageNoiseTimeParam.nHarmonics = 1;
    SimMatrix back;
    ASSERT_EQ(gzLoadSimMatrix(path.c_str(), &back), 1);
    EXPECT_EQ(gCapDatabaseCreateSpice.Count, 1);
    EXPECT_EQ(gVoltageNoiseTimeParam.nHarmonics, 77);
    gVoltageNoiseTimeParam = noise;
    EXPECT_EQ(LoadSimMatrix(path.c_str(), &back), 0);
    ASSERT_EQ(SaveSimMatrix(path.c_str(), &owned.board), 0);
    EXPECT_FALSE(IsCompressedProject(path.c_str()));
    EXPECT_EQ(LoadSimMatrix(path.c_str(), &back), 1);
    EXPECT_EQ(back.CountPixelX, 4u);
    FreeCapDatabase(&gCapDatabaseCreateSpice);
    freeSimulationMatrix(&back);
}

// Damaged and foreign files.

namespace {

// Plain file of a 3 x 2 x 1 board with one Cap part and one [CAPS] record:
// header 0..407, rasters 408..575, [Part] 576..633, [CAPS] 634..671.
constexpr size_t kRasters = 408, kPart = 576, kCaps = 634, kEnd = 672;

std::vector<uint8_t> ValidFile(const TempFolder& t)
{
    Project p;
    MakeBoard(&p.board, 3, 2, 1);
    Cap cap;
    AddPart(&p.board, PART_CAP, &cap);
    InitCapDatabaseCreateSpice(&p.caps);
    const std::string path = t.Path("valid.sav");
    EXPECT_EQ(SaveProject(path.c_str(), &p.board, false, ProjectSections{&p.caps, nullptr}), 0);
    auto bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), kEnd);
    return bytes;
}

// A valid file damaged in order: words set, cut to `keep` bytes, `zeros` zero bytes
// appended; when gzipped, then `gzTrim` bytes cut off the compressed stream and `tail`
// bytes of padding appended after it.
struct RefusalCase {
    const char* name;
    std::vector<std::pair<size_t, uint32_t>> words;
    size_t keep;
    bool gzip;
    size_t gzTrim;
    bool viaGzip;  // read with the reader that takes both forms
    const char* reason;
    size_t zeros = 0, tail = 0;
};

constexpr size_t kAll = SIZE_MAX;

const RefusalCase kCases[] = {
    {"LayerCount0", {{8, 0}}, kAll, false, 0, false, "LayerCount 0 is not 1 to 8"},
    {"LayerCount9", {{8, 9}}, kAll, false, 0, true, "LayerCount 9 is not 1 to 8"},
    {"LayerCountNegative", {{8, 0xFFFFFFFF}}, kAll, false, 0, false, "LayerCount -1"},
    {"NoColumns", {{0, 0}}, kAll, false, 0, false, "pixel counts 0 x 2"},
    {"NoRows", {{4, 0}}, kAll, false, 0, true, "pixel counts 3 x 0"},
    {"RastersBeyondFile", {{4, 4}}, kAll, false, 0, false, "more than the 672-byte file"},
    {"HugeCounts", {{0, 0x7FFFFFFF}, {4, 0x7FFFFFFF}}, kAll, false, 0, true, "more than the"},
    {"ShortHeader", {}, 100, false, 0, false, "too short for a project header (100"},
    {"EmptyFile", {}, 0, false, 0, true, "too short for a project header (0"},
    {"EndsInCopper", {}, kRasters + 5, false, 0, false, "need 168 bytes of rasters"},
    {"EndsInZin", {}, kPart - 1, false, 0, true, "more than the 575-byte file"},
    {"EndsInPartEntry", {}, kPart + 12, false, 0, false, "ends inside part section 1"},
    {"EndsInPartRecord", {}, kCaps - 1, false, 0, true, "part section 1 (Cap record)"},
    {"UnknownKind", {{kPart + 6, 3}}, kAll, false, 0, false, "unknown part kind 3"},
    {"EndsInCaps", {}, kEnd - 4, false, 0, true, "inside a [CAPS] record"},
    {"CompressedForPlainReader", {}, kAll, true, 0, false, "compressed data"},
    {"CompressedStreamCut", {}, kAll, true, 12, true, "the file ends inside"},
    // Whole gzip data whose content ends early: inflated in one go, then read short.
    {"CompressedEndsInCopper", {}, kRasters + 5, true, 0, true, "ends inside the raster CopperMatrix"},
    {"CompressedEndsInPartEntry", {}, kPart + 12, true, 0, true, "ends inside part section 1"},
    {"CompressedClaimsTooMuch", {{0, 100000}, {4, 100000}}, kAll, true, 0, true, "more than the"},
    // 6000 x 6000 x 1 layer of rasters in a small file padded so that deflate's ratio would
    // allow them: refused by counting the data before any raster is allocated.
    {"CompressedClaimOfAHugeBoard", {{0, 6000}, {4, 6000}}, kRasters, true, 0, true,
     "1008000000 bytes of rasters; the file ends before them", 16u << 20, 1u << 20},
};

std::vector<uint8_t> Damaged(const RefusalCase& c, const TempFolder& t)
{
    std::vector<uint8_t> b = ValidFile(t);
    for (const auto& [at, value] : c.words) korvex::PutU32LE(&b[at], value);
    b.resize(std::min(b.size(), c.keep));
    b.resize(b.size() + c.zeros, 0);
    if (!c.gzip) return b;
    const std::string path = t.Path("z");
    WriteGz(path, b.data(), b.size());
    b = ReadBytes(path);
    b.resize(b.size() - c.gzTrim);
    b.resize(b.size() + c.tail, 0x55);
    return b;
}

class ProjectRefusal : public ::testing::TestWithParam<RefusalCase> {};

}  // namespace

TEST_P(ProjectRefusal, LeavesLoadedBoardAndListsAlone)
{
    const RefusalCase& c = GetParam();
    TempFolder t(std::string("proj_refuse_") + c.name);
    const std::string path = t.Path("bad.sav");
    WriteBytes(path, Damaged(c, t));

    Project p;
    MakeBoard(&p.board, 2, 2, 1);
    Port port;
    AddPart(&p.board, PART_PORT, &port);
    float*** copper = p.board.CopperMatrix;
    InitCapDatabase(&p.caps);
    p.noise.T = 5.0f;

    DebugCapture log;
    std::string error;
    EXPECT_EQ(LoadProject(path.c_str(), &p.board, c.viaGzip, p.Sections(), &error), 0);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(log.Contains(c.reason));
    EXPECT_EQ(p.board.CountPixelX, 2u);
    EXPECT_EQ(p.board.CopperMatrix, copper);
    EXPECT_EQ(CountParts(&p.board), 1u);
    EXPECT_EQ(p.caps.Count, n_E6Init);
    EXPECT_EQ(p.noise.T, 5.0f);
}

INSTANTIATE_TEST_SUITE_P(DamagedFiles, ProjectRefusal, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectFile, MissingFilesAndFoldersAreRefused)
{
    TempFolder t("proj_missing");
    SimMatrix board;
    DebugCapture log;
    std::string error;
    const std::string missing = t.Path("missing.sav");
    EXPECT_EQ(gzLoadSimMatrix(missing.c_str(), &board, &error), 0);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_TRUE(log.Contains("Datei " + missing + " konnte nicht gefunden werden\r\r\n"));
    EXPECT_EQ(LoadSimMatrix(t.dir.c_str(), &board, &error), 0);
    EXPECT_NE(error.find("is not a file"), std::string::npos);
}

TEST(ProjectFile, FailedSaveKeepsThePreviousFile)
{
    TempFolder t("proj_failsave");
    OwnedBoard smallBoard(2, 2, 1), bigBoard(200, 200, 2);
    SimMatrix &small = smallBoard.board, &big = bigBoard.board;
    const std::string path = t.Path("p.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &small, false, ProjectSections{nullptr, nullptr}), 0);
    const auto before = ReadBytes(path);

    for (const bool compressed : {false, true}) {
        std::string error;
        int result = 0;
        {
            FileSizeLimit limit(64 * 1024);  // the big board does not fit
            result = SaveProject(path.c_str(), &big, compressed, ProjectSections{nullptr, nullptr}, &error);
        }
        EXPECT_EQ(result, -1) << compressed;
        EXPECT_FALSE(error.empty()) << compressed;
        EXPECT_EQ(ReadBytes(path), before) << compressed;
    }
    EXPECT_EQ(t.Entries(), 1u);  // no temporary file left behind

    std::string error;
    SimMatrix empty;
    EXPECT_EQ(SaveProject(path.c_str(), &empty, false, {nullptr, nullptr}, &error), -1);
    EXPECT_NE(error.find("LayerCount 0"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), before);
}
