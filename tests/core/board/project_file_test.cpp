#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "board/project_file.h"
#include "board/project_sections.h"
#include "board/voltage_noise_param.h"
#include "board_fixtures.h"
#include "pdn/cap_database.h"
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
    } floats[] = {
        {&m.SizeX, 1, 12},
        {&m.SizeY, 1, 16},
        {m.SizeZ, 8, 20},
        {m.CopperThickness, 8, 52},
        {m.Er, 8, 84},
        {m.Df, 8, 116},
        {&m.ElectricalConductivity, 1, 148},
        {&m.TemperatureCoefficient, 1, 152},
        {m.RdcX, 8, 156},
        {m.RdcY, 8, 188},
        {&m.ThermalConductivityCopper, 1, 264},
        {&m.ThermalConductivityFR4XY, 1, 268},
        {&m.ThermalConductivityFR4Z, 1, 272},
        {m.RthCopper, 8, 276},
        {m.RthDielectric, 8, 308},
        {m.RthLayer, 8, 340},
        {&m.Alpha, 1, 372},
        {&m.Epsilon, 1, 376},
        {&m.TAmbient, 1, 380},
    };
    for (const auto& f : floats)
        for (int i = 0; i < f.count; ++i) f.field[i] = static_cast<float>(f.offset + 4 * i) + 0.25f;
    const std::string path = t.Path("h.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &m, false, ProjectSections{nullptr, nullptr}), 0);
    const auto b = ReadBytes(path);
    ASSERT_EQ(b.size(), 408u + 28u * 3 * 5 * 2);  // nothing after the rasters
    ExpectFields(b, {{0, 'u', 3}, {4, 'u', 5}, {8, 'u', 2}});
    for (const auto& f : floats)
        for (int i = 0; i < f.count; ++i) {
            const size_t at = f.offset + 4 * i;
            ExpectFields(b, {{at, 'f', static_cast<double>(static_cast<float>(at) + 0.25f)}});
        }
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
    rec.Ref = 5;
    rec.Capacitance = 2e-6f;
    rec.ESR = 0.02f;
    rec.ESL = 3e-10f;
    rec.Reserved = 0xFFFFFFFF;  // not part of the file
    AddCap(&p.caps, 0, &rec);
    AddCap(&p.caps, 0, &rec);
    p.noise.nHarmonics = 250;
    p.noise.MaxZ = 42.0f;
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
    const auto raw = ReadBytes(gz);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw[0], 0x1F);
    EXPECT_EQ(raw[1], 0x8B);
    // Inflate through the gz reader and look at the [VNTM] record at the end.
    gzFile f = gzopen(gz.c_str(), "rb");
    std::vector<uint8_t> plain(b.size() + 6 + 128 + 1);
    const int n = gzread(f, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(f);
    ASSERT_EQ(static_cast<size_t>(n), b.size() + 6 + 128);
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
    gzFile in = gzopen(path.c_str(), "rb");
    std::vector<uint8_t> plain(1 << 20);
    const int n = gzread(in, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(in);
    ASSERT_GT(n, 1000);
    const unsigned half = static_cast<unsigned>(n) / 2;
    gzFile first = gzopen(path.c_str(), "wb");
    gzwrite(first, plain.data(), half);
    gzclose(first);
    gzFile second = gzopen(path.c_str(), "ab");
    gzwrite(second, plain.data() + half, static_cast<unsigned>(n) - half);
    gzclose(second);
}

class ProjectRoundTrip : public ::testing::TestWithParam<Storage> {};

TEST_P(ProjectRoundTrip, EveryPartKindRastersAndSections)
{
    const bool compressed = GetParam() != Storage::Plain;
    TempFolder t("proj_roundtrip");
    Project saved;
    MakeBoard(&saved.board, 7, 5, 3);
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

TEST(ProjectFile, GlobalEntryPointsUseProgramWideLists)
{
    TempFolder t("proj_global");
    OwnedBoard owned(4, 4, 2);
    SimMatrix& board = owned.board;
    InitCapDatabaseCreateSpice(&gCapDatabaseCreateSpice);
    const std::string path = t.Path("g.sav");
    ASSERT_EQ(gzSaveSimMatrix(path.c_str(), &board), 0);
    EmptyCapDatabase(&gCapDatabaseCreateSpice);
    SimMatrix back;
    DebugCapture log;
    ASSERT_EQ(gzLoadSimMatrix(path.c_str(), &back), 1);
    EXPECT_EQ(gCapDatabaseCreateSpice.Count, 1);
    EXPECT_TRUE(log.Contains("[CAPS] found... Read Cap\r\n"));
    EXPECT_TRUE(log.Contains("[VNTM] found... Read VoltageNoiseTimeParam\r\n"));
    EXPECT_EQ(LoadSimMatrix(path.c_str(), &back), 0);
    EXPECT_TRUE(log.Contains("Detected compressed data\r\n"));
    ASSERT_EQ(SaveSimMatrix(path.c_str(), &board), 0);
    EXPECT_EQ(LoadSimMatrix(path.c_str(), &back), 1);
    EXPECT_EQ(back.CountPixelX, 4u);
    FreeCapDatabase(&gCapDatabaseCreateSpice);
    freeSimulationMatrix(&back);
}

TEST(ProjectFile, WidthWithLowByte31LoadsWithThePlainReader)
{
    TempFolder t("proj_31");
    for (uint32_t width : {31u, 287u}) {
        Project p;
        MakeBoard(&p.board, width, 2, 1);
        const std::string path = t.Path("w.sav");
        ASSERT_EQ(SaveProject(path.c_str(), &p.board, false, p.Sections()), 0);
        EXPECT_FALSE(IsCompressedProject(path.c_str()));
        Project back;
        std::string error;
        ASSERT_EQ(LoadProject(path.c_str(), &back.board, false, back.Sections(), &error), 1) << error;
        EXPECT_EQ(back.board.CountPixelX, width);
    }
}
