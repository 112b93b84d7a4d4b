// Building and editing a board with the board commands, compared with the same
// board written field by field through the board record; and the refusals of
// the board commands, of reading and writing files and of the checks before a
// job: one line, exit code 1, and no file changed. The checks' own cases are
// in tests/core; here each path of the program that reaches them.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"

using namespace korvex;

namespace {

// A 24-bit bottom-up BMP of W x H pixels, white where COPPER(x, y), black elsewhere;
// written here independently of the code under test.
void WriteTestBitmap(const std::string& path, uint32_t w, uint32_t h,
                     const std::function<bool(uint32_t, uint32_t)>& copper)
{
    const uint32_t stride = (3 * w + 3) / 4 * 4;
    std::vector<uint8_t> file(54 + stride * h, 0);
    const auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    file[26] = 1;
    file[28] = 24;
    put32(34, stride * h);
    for (uint32_t row = 0; row < h; ++row)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t y = h - 1 - row;
            const uint8_t v = copper(x, y) ? 255 : 0;
            for (int c = 0; c < 3; ++c) file[54 + row * stride + 3 * x + c] = v;
        }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
}

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

namespace {

// A 2-layer 12 x 8 board: layer 1 full except the column x = 5, layer 2 empty.
// Port 0 at (1, 1), a capacitor at (2, 2); everything on layer 1. Beside it a
// file that is not KORVEX's.
struct RefusalBoard {
    TempFolder t{"refuse"};
    std::string board = t.Path("b.sav");
    std::string sim = std::string(" --simulator ") + KORVEX_SIM;

    RefusalBoard()
    {
        WriteTestBitmap(t.Path("l1.bmp"), 12, 8, Layer1);
        WriteTestBitmap(t.Path("small.bmp"), 6, 8, [](uint32_t, uint32_t) { return true; });
        for (const std::string c : {"new b.sav --pixels 12x8 --size 12x8mm --layers 2",
                                    "import-bmp b.sav --layer 1 l1.bmp", "part add b.sav port x=1 y=1",
                                    "part add b.sav cap x=2 y=2"}) {
            const CliRun r = RunCli(c, t.dir);
            EXPECT_EQ(r.status, 0) << c << ": " << r.err;
        }
        std::ofstream(t.Path("notes.txt")) << "keep me";
    }
    CliRun Run(const std::string& args) const { return RunCli(args, t.dir); }
};

struct RefusalCase {
    std::string args;
    std::string reason;  // a part of the one-line reason
};

void ExpectRefusals(const RefusalBoard& f, const std::vector<RefusalCase>& cases)
{
    for (const RefusalCase& c : cases) {
        const std::string before = ReadFile(f.board);
        const CliRun r = f.Run(c.args);
        // Exit code 1, nothing on stdout, one line "korvex-cli: REASON" on stderr.
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("korvex-cli: ", 0), 0u) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.args << "\n  gave: " << r.err;
        EXPECT_EQ(ReadFile(f.board), before) << c.args << " changed the project";
        EXPECT_EQ(ReadFile(f.t.Path("notes.txt")), "keep me") << c.args;
    }
}

}  // namespace

TEST(Refusals, BoardCommands)
{
    RefusalBoard f;
    ExpectRefusals(f, {
        {"new b.sav --pixels 4x4", "exists; give --force"},
        {"new c.sav --pixels 0x4", "outside 1 ... 100000"},
        {"new c.sav --pixels 4by4", "--pixels takes NXxNY"},
        {"new c.sav --pixels 2001x2000", "at most 4000000"},
        {"new c.sav --size 0x5mm", "between 0 and 10m"},
        {"new c.sav --size 5x5furlong", "is not a number in m"},
        {"new c.sav --layers 9", "1 ... 8"},
        {"stack b.sav --layer 3 --copper 35um", "--layer must lie in 1 ... 2"},
        {"stack b.sav --layer 2 --dielectric 1mm", "is the last layer"},
        {"stack b.sav --layer 1 --er 0.5", "outside 1 ... 1k"},
        {"stack b.sav --layer 1 --copper 35uF", "is not a number in m"},
        {"stack b.sav --materials LayerCount=3", "is no material constant"},
        {"stack b.sav", "nothing to change"},
        {"import-bmp b.sav --layer 1 small.bmp", "the bitmap has 6 x 8 pixels, the board 12 x 8"},
        {"import-bmp b.sav --layer 1 missing.bmp", "missing.bmp"},
        {"import-bmp b.sav --layer 3 l1.bmp", "--layer must lie in 1 ... 2"},
        {"part add b.sav transistor x=1", "unknown part kind transistor"},
        {"part add b.sav via x=1 Colour=red", "Via has no field Colour"},
        {"part add b.sav via x=12 y=0", "lies off the board at (12, 0)"},
        {"part add b.sav port x=3 y=3 Layer=2", "layers 0 ... 1"},
        {"part add b.sav port x=3 y=3 ID=0", "already has ID 0"},
        {"part add b.sav cap x=3 y=3 Capacitance=lots", "\"lots\" is not a number"},
        {"part add b.sav resistor Net1Name=ABCDEFGHIJKLMNOPQRSTUVW", "at most 19 characters"},
        {"part add b.sav heatsource RectBX=40", "lies off the board"},
        {"part edit b.sav 0 x=1", "no part 0"},
        {"part edit b.sav 9 x=1", "no part 9 (it has 2)"},
        {"part edit b.sav 1 x=-1", "not a whole number"},
        {"part remove b.sav 3", "no part 3"},
        {"example notes.txt", "notes.txt exists and is not a KORVEX file; give --force"},
        {"convert b.sav notes.txt --plain", "not a KORVEX file"},
        {"netlist b.sav --kind electrical -o b.sav", "is the input"},
        {"netlist b.sav --kind ac --mode 12 -o n.cir", "unknown AC mode 12"},
        {"settings set Bogus=1", "has no field Bogus"},
        {"settings set StartFrequency=2GHz", "StartFrequency must lie below StopFrequency"},
        {"settings set MaxMeshOrder=99", "MaxMeshOrder is 99"},
        {"settings show --settings missing.set", "does not exist"},
    });
    EXPECT_FALSE(std::filesystem::exists(f.t.Path("c.sav")));
    EXPECT_EQ(f.Run("example notes.txt --force").status, 0);
}

TEST(Refusals, FilesAndArguments)
{
    RefusalBoard f;
    std::ofstream(f.t.Path("bad.sav")) << "not a project";
    std::ofstream(f.t.Path("lf.D1"), std::ios::binary) << "CITIFILE\nVAR FREQ MAG 3\n";  // line feeds only
    std::ofstream(f.t.Path("l9.json")) << R"({"CountPixelX": 4, "CountPixelY": 4, "LayerCount": 9})";
    std::ofstream(f.t.Path("off.json"))
        << R"({"CountPixelX": 4, "CountPixelY": 4, "LayerCount": 1, "Parts": [{"Kind": "Port", "x": 9}]})";
    const std::string tooShort = "bad.sav: the file is too short for a project header (13 of 408 bytes)";
    ExpectRefusals(f, {
        {"info bad.sav", tooShort},
        {"info missing.sav", "cannot open missing.sav: No such file or directory"},
        {"convert " + kDemo + " no/dir/out.sav --plain", "cannot write project no/dir/out.sav: no folder no/dir"},
        {"convert " + kDemo + " out.sav", "choose --compressed or --plain"},
        {"convert " + kDemo + " out.sav --plain --compressed", "--compressed excludes --plain"},
        {"mesh " + kDemo + " --max-order 31", "Max Mesh Order 31 is too large: at most 30 is possible"},
        {"mesh " + kDemo + " --asymmetric 2", "--asymmetric: Value 2 not in range 0 to 1"},
        {"mesh missing.sav", "cannot open missing.sav"},
        {"mesh " + kDemo + " --dump no/dir/x.txt", "cannot write no/dir/x.txt: cannot create a file in no/dir"},
        {"netlist " + kDemo + " --kind ac -o missing/ac.cir", "cannot write netlist missing/ac.cir: no folder missing"},
        {"netlist " + kDemo + " --kind magnetic -o x.cir", "--kind must be electrical, thermal or ac"},
        {"netlist " + kDemo + " --kind ac --mode 9093 --source 0 --termination 5 -o x.cir",
         "the board has no port 5 to terminate"},
        {"dc nothing.sav --simulator " + std::string(KORVEX_SIM), "cannot open nothing.sav"},
        {"board d.sav --from l9.json", "l9.json: LayerCount must lie in 1 ... 8"},
        {"board d.sav --from off.json", "off.json: Parts[1]: part 1 (Port) lies off the board at (9, 0)"},
        {"citi none.D1 --csv x.csv", "none.D1: cannot open none.D1"},
        {"citi lf.D1 --csv x.csv", "lf.D1: no usable point count after VAR FREQ MAG"},
    });
    for (const char* name : {"out.sav", "x.cir", "x.txt", "x.csv", "d.sav"})
        EXPECT_FALSE(std::filesystem::exists(f.t.Path(name))) << name;
}

TEST(Refusals, ChecksBeforeAJob)
{
    RefusalBoard f;
    const std::string s = f.sim;
    ExpectRefusals(f, {
        // Ports and AC modes.
        {"ac b.sav --mode s21" + s, "no port 1 to terminate"},
        {"ac b.sav --mode sideways" + s, "unknown AC mode sideways"},
        {"ac b.sav --freq -1" + s, "outside 1mHz ... 1PHz"},
        // Touchstone files: one port's Zin (.s1p) or the two-port of the S21 run (.s2p).
        {"ac b.sav --mode zin --touchstone z.s2p" + s, "--touchstone with --mode zin writes one port's Zin: name a .s1p file"},
        {"ac b.sav --mode s21 --touchstone z.s1p" + s, "with --mode s21 writes the two-port S-parameters: name a .s2p file"},
        {"ac b.sav --mode noise --touchstone z.s1p" + s, "--touchstone is written for --mode zin (.s1p) and --mode s21 (.s2p)"},
        // Output paths: the input project, a folder that is not there, a foreign file.
        {"ac b.sav --mode zin --csv b.sav" + s, "is the input"},
        {"ac b.sav --mode zin --csv nowhere/z.csv" + s, "no folder nowhere"},
        {"ac b.sav --mode zin --csv notes.txt" + s, "not a KORVEX file"},
        {"dc b.sav --bmps notes.txt" + s, "not a folder"},
        // DC without ground.
        {"dc b.sav" + s, "no connection to ground"},
        // A settings file of any name that is not there.
        {"dc b.sav --settings nothere.cfg" + s, "does not exist"},
    });
    // A terminal in the slot, where there is no copper.
    ASSERT_EQ(f.Run("part add b.sav current Net1X=5 Net1Y=4 Net2X=2 Net2Y=4").status, 0);
    ExpectRefusals(f, {{"thermal b.sav" + s, "part 3 (Current) has a terminal at (5, 4) on Layer1 where there is no copper"}});
}
