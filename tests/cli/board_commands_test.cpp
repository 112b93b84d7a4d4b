// Building and editing a board with the board commands, compared with the same
// board written field by field through the board record.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>

#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "board_test_files.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"

using namespace korvex;

namespace {

// Layer 1: a plane with a slot at x = 5; layer 2: a full plane without its corner pixel (0, 0).
bool Layer1(uint32_t x, uint32_t) { return x != 5; }
bool Layer2(uint32_t x, uint32_t y) { return x != 0 || y != 0; }

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
    // Current edited afterwards to 3 A; the via added first is removed again.
    Place(&b, PART_CURRENT, Current{.Net1X = 1, .Net1Y = 2, .Net1Z = 0, .Net2Name = "0", .Current = 3});
    Place(&b, PART_RESISTOR, Resistor{.Net1X = 10, .Net1Y = 6, .Net1Z = 1, .Net2X = 10, .Net2Y = 6, .Net2Z = 1,
                                      .Net2Name = "0", .Rser = 1e-6f});
    Place(&b, PART_HEATSOURCE, HeatSource{.RectAX = 2, .RectAY = 2, .RectBX = 4, .RectBY = 5, .Power = 1.5,
                                          .ThermalResistanceJC = 2.2, .Net = "U1"});
    Place(&b, PART_HEATSINK, HeatSink{.RectAX = 8, .RectAY = 1, .RectAZ = 1, .RectBX = 11, .RectBY = 3, .RectBZ = 1,
                                      .ThermalResistance = 12.5});
    Place(&b, PART_PORT, Port{.x = 3, .y = 3});
    Place(&b, PART_PORT, Port{.x = 9, .y = 4, .ID = 1, .Layer = 1});
    Place(&b, PART_CAP, Cap{.x = 7, .y = 7, .Ref = 0, .Capacitance = 10e-6f, .ESR = 5e-3f, .ESL = 1e-9f});
    Place(&b, PART_SUBCIRCUIT, SubCircuit{.x = 2, .y = 6, .Reference = 0, .Name = "LDO", .Netlist = "R1 A B 0.5"});
    Place(&b, PART_SERIESSUBCIRCUIT, SeriesSubCircuit{.Net1X = 4, .Net1Y = 1, .Net2X = 6, .Net2Y = 1, .Reference = 0});
    Place(&b, PART_VIA, Via{.x = 9, .y = 5, .Diameter = 0.3e-3f});
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
    for (const std::string& c : commands) {
        const CliRun r = RunCli(c, t.dir);
        EXPECT_EQ(r.status, 0) << c << ": " << r.err;
    }
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

TEST(BoardCommands, SettingsShowAndSetByFieldName)
{
    TempFolder t("settings");
    CliRun r = RunCli("settings set StopFrequency=2GHz NumberOfPoints=50 YAxisMode=2", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
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

// The part list as JSON, and the board's JSON read back by "board --from".
TEST(BoardCommands, PartListAndBoardFromJsonRoundTrip)
{
    const TempFolder& t = Built();
    CliRun r = RunCli("part list b.sav --json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto parts = nlohmann::json::parse(r.out);
    ASSERT_EQ(parts.size(), 10u);
    EXPECT_EQ(parts[0]["Index"], 1);
    EXPECT_EQ(parts[0]["Kind"], "Current");
    EXPECT_EQ(parts[0]["Current"], 3.0);
    EXPECT_EQ(parts[5]["Kind"], "Port");
    EXPECT_EQ(parts[5]["ID"], 1);  // the second port got the next free ID
    EXPECT_EQ(parts[9]["Kind"], "Via");

    r = RunCli("info b.sav --json --bitmaps bm > board.json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli("board c.sav --from board.json --plain", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    auto original = nlohmann::json::parse(RunCli("info b.sav --json", t.dir).out);
    auto rebuilt = nlohmann::json::parse(RunCli("info c.sav --json", t.dir).out);
    original.erase("File");
    rebuilt.erase("File");
    EXPECT_EQ(original, rebuilt);
}
