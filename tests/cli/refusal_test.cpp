// Refusals of the board commands, of reading and writing files and of the
// checks before a job: one line, exit code 1, and no file changed. The checks'
// own cases are in tests/core; here each path of the program that reaches them.
#include <gtest/gtest.h>

#include <fstream>

#include "board_test_files.h"
#include "cli_test_support.h"

using namespace korvex;

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
        WriteTestBitmap(t.Path("l1.bmp"), 12, 8, [](uint32_t x, uint32_t) { return x != 5; });
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
