// Building and editing a board with the board commands, compared with the same
// board written field by field through the board record.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "board/part_records.h"
#include "board/project_file.h"
#include "board/sim_matrix.h"
#include "board_test_files.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"
#include "board/voltage_noise_param.h"

using namespace korvex;

namespace {

// Layer 1: a plane with a slot at x = 5; layer 2: a full plane without its corner pixel (0, 0).
bool Layer1(uint32_t x, uint32_t) { return x != 5; }
bool Layer2(uint32_t x, uint32_t y) { return x != 0 || y != 0; }

void Expect(const CliRun& r, const std::string& what)
{
    EXPECT_EQ(r.status, 0) << what << ": " << r.err;
}

// The board the commands in BuildWithCommands describe, written field by field.
void WriteReference(const std::string& path)
{
    SimMatrix b;
    InitSimulationMatrix(&b);
    b.LayerCount = 2;
    b.CountPixelX = 12;
    b.CountPixelY = 8;
    b.SizeX = 0.024f;
    b.SizeY = 0.016f;
    b.SizeZ[0] = 1.2e-3f;  // from --dielectric
    b.SizeZ[1] = 0.001f;   // a new board's second dielectric
    b.CopperThickness[0] = 70e-6f;
    b.CopperThickness[1] = 35e-6f;
    b.Er[0] = 4.6f;
    b.Df[0] = 0.015f;
    ASSERT_EQ(MallocAllMatrices(&b), 0);
    b.ElectricalConductivity = 5.8e7f;
    b.TAmbient = 40;  // set after the rasters exist: the temperature raster keeps 25
    for (uint32_t x = 0; x < 12; ++x)
        for (uint32_t y = 0; y < 8; ++y) {
            b.CopperMatrix[x][y][0] = Layer1(x, y) ? 1.0f : 0.0f;
            b.CopperMatrix[x][y][1] = Layer2(x, y) ? 1.0f : 0.0f;
        }
    Current source;  // edited afterwards to 3 A
    source.Net1X = 1, source.Net1Y = 2, source.Net1Z = 0;
    CopyName(source.Net2Name, "0");
    source.Current = 3;
    AddPart(&b, PART_CURRENT, &source);
    Resistor ground;
    ground.Net1X = ground.Net2X = 10, ground.Net1Y = ground.Net2Y = 6, ground.Net1Z = ground.Net2Z = 1;
    CopyName(ground.Net2Name, "0");
    ground.Rser = 1e-6f;
    AddPart(&b, PART_RESISTOR, &ground);
    HeatSource heat;
    heat.RectAX = 2, heat.RectAY = 2, heat.RectBX = 4, heat.RectBY = 5;
    heat.Power = 1.5;
    heat.ThermalResistanceJC = 2.2;
    CopyName(heat.Net, "U1");
    AddPart(&b, PART_HEATSOURCE, &heat);
    HeatSink sink;
    sink.RectAX = 8, sink.RectAY = 1, sink.RectBX = 11, sink.RectBY = 3, sink.RectAZ = sink.RectBZ = 1;
    sink.ThermalResistance = 12.5;
    AddPart(&b, PART_HEATSINK, &sink);
    Port port0;
    port0.x = 3, port0.y = 3;
    AddPart(&b, PART_PORT, &port0);
    Port port1;
    port1.x = 9, port1.y = 4, port1.ID = 1, port1.Layer = 1;
    AddPart(&b, PART_PORT, &port1);
    Cap cap;
    cap.x = 7, cap.y = 7, cap.Ref = 0;
    cap.Capacitance = 10e-6f, cap.ESR = 5e-3f, cap.ESL = 1e-9f;
    AddPart(&b, PART_CAP, &cap);
    SubCircuit sub;
    sub.x = 2, sub.y = 6, sub.Reference = 0;
    CopyName(sub.Name, "LDO");
    CopyName(sub.Netlist, "R1 A B 0.5");
    AddPart(&b, PART_SUBCIRCUIT, &sub);
    SeriesSubCircuit series;
    series.Net1X = 4, series.Net1Y = 1, series.Net2X = 6, series.Net2Y = 1, series.Reference = 0;
    AddPart(&b, PART_SERIESSUBCIRCUIT, &series);
    Via via;
    via.x = 9, via.y = 5;
    via.Diameter = 0.3e-3f;
    AddPart(&b, PART_VIA, &via);
    CapDatabase caps;
    VoltageNoiseTimeParam noise;
    std::string error;
    ASSERT_EQ(SaveProject(path.c_str(), &b, false, ProjectSections{&caps, &noise}, &error), 0) << error;
    freeSimulationMatrix(&b);
}

void BuildWithCommands(const TempFolder& t, const std::string& board)
{
    WriteTestBitmap(t.Path("l1.bmp"), 12, 8, Layer1);
    WriteTestBitmap(t.Path("l2.bmp"), 12, 8, Layer2);
    const std::string commands[] = {
        "new " + board + " --pixels 12x8 --size 24x16mm --layers 2 --plain",
        "stack " + board + " --layer 1 --copper 70um --dielectric 1.2mm --er 4.6 --df 0.015",
        "stack " + board + " --materials ElectricalConductivity=5.8e7 TAmbient=40",
        "import-bmp " + board + " --layer 1 " + t.Path("l1.bmp"),
        "import-bmp " + board + " --layer 2 " + t.Path("l2.bmp"),
        "part add " + board + " via x=1 y=1",  // removed again below
        "part add " + board + " current Net1X=1 Net1Y=2 Net1Z=0 Net2Name=0 Current=2.5A",
        "part add " + board + " resistor Net1X=10 Net1Y=6 Net1Z=1 Net2X=10 Net2Y=6 Net2Z=1 Net2Name=0 Rser=1u",
        "part add " + board + " heatsource RectAX=2 RectAY=2 RectBX=4 RectBY=5 Power=1.5W ThermalResistanceJC=2.2 Net=U1",
        "part add " + board + " heatsink RectAX=8 RectAY=1 RectAZ=1 RectBX=11 RectBY=3 RectBZ=1 ThermalResistance=12.5",
        "part add " + board + " port x=3 y=3",
        "part add " + board + " port x=9 y=4 Layer=1",
        "part add " + board + " cap x=7 y=7 Capacitance=10uF ESR=5m ESL=1nH",
        "part add " + board + " subcircuit x=2 y=6 Name=LDO \"Netlist=R1 A B 0.5\"",
        "part add " + board + " seriessubcircuit Net1X=4 Net1Y=1 Net2X=6 Net2Y=1",
        "part add " + board + " VIA x=9 y=5 Diameter=0.3mm",
        "part remove " + board + " 1",
        "part edit " + board + " 1 Current=3",
    };
    for (const std::string& c : commands) Expect(RunCli(c, t.dir), c);
}

// A folder with b.sav built by the commands above, once for all tests (they only read it).
const TempFolder& Built()
{
    static TempFolder t("board");
    static const bool built = (BuildWithCommands(t, t.Path("b.sav")), true);
    (void)built;
    return t;
}

}  // namespace

TEST(BoardCommands, BoardBuiltWithCommandsEqualsBoardWrittenFieldByField)
{
    const TempFolder& t = Built();
    const std::string board = t.Path("b.sav"), reference = t.Path("ref.sav");
    WriteReference(reference);
    const std::string built = ReadFile(board), expected = ReadFile(reference);
    ASSERT_FALSE(expected.empty());
    if (built != expected) {  // show where they differ field by field
        EXPECT_EQ(RunCli("info " + board + " --json").out, RunCli("info " + reference + " --json").out);
    }
    EXPECT_TRUE(built == expected) << "the project files differ";
}

TEST(BoardCommands, PartListShowsIndexKindAndFieldsAsJson)
{
    const std::string board = Built().Path("b.sav");
    const CliRun r = RunCli("part list " + board + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto parts = nlohmann::json::parse(r.out);
    ASSERT_EQ(parts.size(), 10u);
    EXPECT_EQ(parts[0]["Index"], 1);
    EXPECT_EQ(parts[0]["Kind"], "Current");
    EXPECT_EQ(parts[0]["Current"], 3.0);
    EXPECT_EQ(parts[5]["Kind"], "Port");
    EXPECT_EQ(parts[5]["ID"], 1);  // the second port got the next free ID
    EXPECT_EQ(parts[9]["Kind"], "Via");
}

TEST(BoardCommands, SettingsShowAndSetByFieldName)
{
    TempFolder t("settings");
    CliRun r = RunCli("settings set StopFrequency=2GHz NumberOfPoints=50 YAxisMode=2", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(t.Path("Settings.set")).size(), 368u);
    r = RunCli("settings show --json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto s = nlohmann::json::parse(r.out);
    EXPECT_EQ(s["StopFrequency"], 2e9);
    EXPECT_EQ(s["NumberOfPoints"], 50);
    EXPECT_EQ(s["YAxisMode"], 2);
    EXPECT_EQ(s["StartFrequency"], 1e4);  // the default stays
    r = RunCli("settings show", t.dir);
    EXPECT_NE(r.out.find("StopFrequency=2GHz\n"), std::string::npos) << r.out;
    // Any file name, and a malformed file gives a warning and the defaults.
    std::ofstream(t.Path("broken.cfg")) << "garbage";
    r = RunCli("settings show --json --settings broken.cfg", t.dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning: broken.cfg is too short"), std::string::npos) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["StopFrequency"], 1e9);
    ASSERT_EQ(RunCli("settings set --settings other.cfg Steps=3", t.dir).status, 0);
    EXPECT_EQ(nlohmann::json::parse(RunCli("settings show --json --settings other.cfg", t.dir).out)["Steps"], 3);
}

TEST(BoardCommands, BoardFromJsonRoundTripsWithInfo)
{
    const TempFolder& t = Built();
    CliRun r = RunCli("info b.sav --json --bitmaps bm > board.json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli("board c.sav --from board.json --plain", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    auto original = nlohmann::json::parse(RunCli("info b.sav --json", t.dir).out);
    auto rebuilt = nlohmann::json::parse(RunCli("info c.sav --json", t.dir).out);
    original.erase("File");
    rebuilt.erase("File");
    EXPECT_EQ(original, rebuilt);
}

TEST(BoardCommands, VersionAndModeNamesOrNumbers)
{
    const CliRun v = RunCli("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("korvex-cli ", 0), 0u) << v.out;
    const TempFolder& t = Built();
    // The same AC netlist by name and by command number.
    ASSERT_EQ(RunCli("netlist b.sav --kind ac --mode s21 -o by-name.cir", t.dir).status, 0);
    ASSERT_EQ(RunCli("netlist b.sav --kind ac --mode 9093 -o by-number.cir", t.dir).status, 0);
    const std::string byName = ReadFile(t.Path("by-name.cir"));
    EXPECT_FALSE(byName.empty());
    EXPECT_EQ(byName, ReadFile(t.Path("by-number.cir")));
}
