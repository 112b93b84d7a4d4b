// korvex-cli info, convert, citi, mesh and netlist, run as the real program;
// the netlist on the example board and on boards that the AC checks refuse
// (their reasons one by one: tests/core).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "board/example_board.h"
#include "board/project_file.h"
#include "cli_test_support.h"

using namespace korvex;

namespace fs = std::filesystem;

// On the example board with a heat source's net and the file named in Latin-1 bytes (not
// UTF-8): every --json output keeps them as their characters.
TEST(CliInfo, JsonUsesFieldNamesListsEveryPartAsTheTextDoesAndKeepsLatin1Names)
{
    TempFolder t("json_bytes");
    const std::string path = t.Path("b\xE4rd.sav"), quoted = "'" + path + "'";
    SaveEditedDemo(path, [](SimMatrix& board) {
        for (Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_HEATSOURCE) CopyName(PartRecord<HeatSource>(p)->Net, "U\xE4");  // "Uä" in Latin-1
    });
    const CliRun r = RunCli("info " + quoted + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_NE(j["File"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
    EXPECT_EQ(j["CountPixelX"], 160);
    EXPECT_EQ(j["CountPixelY"], 100);
    EXPECT_EQ(j["LayerCount"], 2);
    EXPECT_EQ(j["SizeZ"].size(), 8u);
    EXPECT_DOUBLE_EQ(j["SizeZ"][0].get<double>(), 0.0015);
    EXPECT_DOUBLE_EQ(j["ElectricalConductivity"].get<double>(), 5.62e7);
    EXPECT_EQ(j["Compressed"], true);
    EXPECT_EQ(j["CopperPixels"][1], 16000);
    const auto& parts = j["Parts"];
    std::set<std::string> kinds;
    int named = 0;
    for (const auto& p : parts) {
        kinds.insert(p["Kind"].get<std::string>());
        named += p["Kind"] == "HeatSource" && p["Net"] == "U\xC3\xA4";
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"Current", "Resistor", "Via", "HeatSource", "HeatSink", "Port", "Cap"}));
    EXPECT_GT(named, 0);
    const auto ground = std::find_if(parts.begin(), parts.end(), [](const auto& p) { return p["Kind"] == "Resistor"; });
    ASSERT_NE(ground, parts.end());
    EXPECT_EQ((*ground)["Net2Name"], "0");
    EXPECT_DOUBLE_EQ((*ground)["Rser"].get<double>(), 1e-6);
    EXPECT_EQ((*ground)["KindCode"], 4);
    EXPECT_EQ(j["Caps"].size(), 1u);
    EXPECT_EQ(j["VoltageNoiseTimeParam"]["nHarmonics"], 100);

    const CliRun text = RunCli("info " + quoted);  // the text form quotes names through the same path
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("160 x 100 pixels, 2 layers"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Layer2: copper 35\xC2\xB5m, 16000 copper pixels"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Port: x=140 y=55 ID=0 Layer=0"), std::string::npos) << text.out;

    const CliRun mesh = RunCli("mesh " + quoted + " --json", t.dir);
    ASSERT_EQ(mesh.status, 0) << mesh.err;
    EXPECT_NE(nlohmann::json::parse(mesh.out)["Project"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
}

// Through a plain and back to a compressed file the board stays the one the generator makes.
TEST(CliConvert, RoundTripBetweenPlainAndCompressedKeepsTheGeneratedBoard)
{
    TempFolder t;
    const std::string plain = t.Path("plain.sav"), packed = t.Path("packed.sav");
    CliRun r = RunCli("convert " + kDemo + " " + plain + " --plain");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(IsCompressedProject(plain.c_str()));
    r = RunCli("convert " + plain + " " + packed + " --compressed");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsCompressedProject(packed.c_str()));
    SimMatrix generated;
    ASSERT_EQ(CreateExampleBoard(&generated), 0);
    Project b = Stored(packed);
    EXPECT_EQ(0, std::memcmp(generated.CopperMatrix[0][0], b.Board().CopperMatrix[0][0], 160 * 100 * 2 * 4));
    EXPECT_EQ(CountParts(&generated), CountParts(&b.Board()));
    freeSimulationMatrix(&generated);
}

TEST(CliCiti, WritesReferenceCurvesAsCsv)
{
    // Three points from 1 MHz to 3 MHz; block b holds "b.i,0.5".
    std::string file = "CITIFILE A.01.00\r\nVAR FREQ MAG 3\r\n";
    for (const char* s : {"S[1,1]", "S[2,1]", "S[1,2]", "S[2,2]"}) file += std::string("DATA ") + s + " RI\r\n";
    file += "SEG_LIST_BEGIN\r\nSEG 1000000 3000000 3\r\nSEG_LIST_END\r\n";
    for (int b = 1; b <= 4; ++b) {
        file += "BEGIN\r\n";
        for (int i = 0; i < 3; ++i) file += std::to_string(b) + "." + std::to_string(i) + ",0.5\r\n";
        file += "END\r\n";
    }
    TempFolder f("cli_citi");
    std::ofstream(f.Path("m.D1"), std::ios::binary) << file;
    const CliRun r = RunCli("citi " + f.Path("m.D1") + " --csv " + f.Path("m.csv"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE((r.out + r.err).find("Points: 3"), std::string::npos) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("S11 S12 S21 S22"), std::string::npos) << r.out << r.err;
    // S12 is the third block of the file, S21 the second.
    EXPECT_EQ(ReadFile(f.Path("m.csv")),
              "frequency_Hz,S11.re,S11.im,S12.re,S12.im,S21.re,S21.im,S22.re,S22.im\n"
              "1e+06,1,0.5,3,0.5,2,0.5,4,0.5\n"
              "2e+06,1.1,0.5,3.1,0.5,2.1,0.5,4.1,0.5\n"
              "3e+06,1.2,0.5,3.2,0.5,2.2,0.5,4.2,0.5\n");
}

// In a fresh folder: no Settings.set there, the built-in defaults.
TEST(CliMesh, ReportAndOptions)
{
    TempFolder f("mesh_cli");
    CliRun r = RunCli("mesh " + kDemo + " --max-order 3 --asymmetric 1 --json", f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["MaxMeshOrder"], 3);
    EXPECT_GT(j["RefinedNodes"].get<int>(), j["InitialNodes"].get<int>());
    EXPECT_EQ(j["Nodes"], j["OptimisedNodes"]);
    EXPECT_LT(j["OptimisedNodes"].get<int>(), j["RefinedNodes"].get<int>());
    // Without the asymmetric pass there is no optimised mesh.
    r = RunCli("mesh " + kDemo + " --asymmetric 0", f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Max Mesh Order 4, Asymmetric Mesh 0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Refined mesh: "), std::string::npos);
    EXPECT_EQ(r.out.find("Optimised mesh"), std::string::npos);
    r = RunCli("mesh " + kDemo + " --asymmetric 0 --json", f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["OptimisedNodes"].is_null());
    EXPECT_EQ(j["Nodes"], j["RefinedNodes"]);
}

// An 8 x 8 board, one layer, all copper, order 2, one via at (3, 4), meshed by
// the real program. Worked out by hand: the via splits node 3 (0,4) into 5..8;
// node 6 (2,4) is split next, and before it its wider neighbours in the order
// left, right, top, bottom: right neighbour 4 (children 9..12), then top
// neighbour 1 (children 13..16); then 6 itself (17..20), the via on 18.
TEST(CliMesh, DumpOfAViaBoardWorkedByHand)
{
    JobBench b(8, 8, 1, 1e-3f);
    b.FillLayer(0);
    Place(&b.board, PART_VIA, Via{.x = 3, .y = 4});
    const TempFolder& f = b.folder;
    const std::string project = f.Path("via.sav");
    ASSERT_TRUE(b.project.SaveAs(project, true).IsOk());

    const CliRun r = RunCli("mesh " + project + " --max-order 2 --asymmetric 0 --dump " + f.Path("nodes.txt"), f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    // ID x y OrderX OrderY, TopL TopR RightT RightB BotL BotR LeftT LeftB, copper
    EXPECT_EQ(ReadFile(f.dir / "nodes.txt"),
              "2 4 0 4 4 0 0 0 0 9 10 14 16 1\n"
              "5 0 4 2 2 15 15 17 19 7 7 0 0 1\n"
              "7 0 6 2 2 5 5 8 8 0 0 0 0 1\n"
              "8 2 6 2 2 19 20 11 11 0 0 7 7 1\n"
              "9 4 4 2 2 2 2 10 10 11 11 18 20 1\n"
              "10 6 4 2 2 2 2 0 0 12 12 9 9 1\n"
              "11 4 6 2 2 9 9 12 12 0 0 8 8 1\n"
              "12 6 6 2 2 10 10 0 0 0 0 11 11 1\n"
              "13 0 0 2 2 0 0 14 14 15 15 0 0 1\n"
              "14 2 0 2 2 0 0 2 2 16 16 13 13 1\n"
              "15 0 2 2 2 13 13 16 16 5 5 0 0 1\n"
              "16 2 2 2 2 14 14 2 2 17 18 15 15 1\n"
              "17 2 4 1 1 16 16 18 18 19 19 5 5 1\n"
              "18 3 4 1 1 16 16 9 9 20 20 17 17 1\n"
              "19 2 5 1 1 17 17 20 20 8 8 5 5 1\n"
              "20 3 5 1 1 18 18 9 9 8 8 19 19 1\n");
}

namespace {
struct NetlistFolder : ::testing::Test {
    TempFolder folder{"cli_netlist"};
    const fs::path& dir = folder.dir;
    // korvex-cli netlist run in the folder (so no Settings.set of the build folder is read).
    CliRun Netlist(const std::string& args) const { return RunCli("netlist " + args, dir); }

    // A board of `layers` layers, all copper except one pixel on `holeLayer` (-1: none).
    std::string Board(int layers, int holeLayer)
    {
        JobBench b(10, 10, layers, 1e-3f);
        for (int l = 0; l < layers; ++l) b.FillLayer(l);
        if (holeLayer >= 0) b.board.CopperMatrix[3][4][holeLayer] = 0.0f;
        const std::string path = (dir / ("board" + std::to_string(layers) + "_" + std::to_string(holeLayer) + ".sav")).string();
        EXPECT_TRUE(b.project.SaveAs(path, true).IsOk());
        return path;
    }
};
}  // namespace

TEST_F(NetlistFolder, WritesTheThreeKindsForTheExampleBoard)
{
    CliRun r = Netlist(kDemo + " --kind electrical -o dc.cir");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote electrical netlist dc.cir"), std::string::npos);
    const std::string dc = ReadFile(dir / "dc.cir");
    EXPECT_EQ(dc.rfind("* SPICE generated by KORVEX\nI1 N0_", 0), 0u);  // a fresh program counts from 1
    EXPECT_NE(dc.find("\nRV4_0 N0_"), std::string::npos);              // vias keyed by list position
    EXPECT_NE(dc.find("\nRV5_0 N0_"), std::string::npos);
    EXPECT_EQ(dc.substr(dc.size() - 9), ".op\n.end\n");

    r = Netlist(kDemo + " --kind thermal -o thermal.cir");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string thermal = ReadFile(dir / "thermal.cir");
    EXPECT_NE(thermal.find("\nRHJCU11 JUNCTIONU1 Solder6 5.000000\n"), std::string::npos);
    EXPECT_NE(thermal.find("\nIH1 NAMB JUNCTIONU1 2.000000\n"), std::string::npos);
    EXPECT_NE(thermal.find("\nV1 NAMB 0 25.000000\n"), std::string::npos);

    r = Netlist(kDemo + " --kind ac -o zin.cir");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string zin = ReadFile(dir / "zin.cir");
    EXPECT_NE(zin.find("\n.save Zin(I000)\n"), std::string::npos);
    EXPECT_NE(zin.find("\n.ac dec "), std::string::npos);

    r = Netlist(kDemo + " --kind ac --mode 9095 --freq 2.5e8 -o zmap.cir");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string zmap = ReadFile(dir / "zmap.cir");
    EXPECT_NE(zmap.find("\n.param f1=2.500000e+08 f2=2.500000e+08\n.ac list {f1}\n.end\n"), std::string::npos);
    EXPECT_NE(zmap.find(" 0 AC 0\n.net I_L0_N"), std::string::npos);
}

TEST_F(NetlistFolder, AcChecksPrintTheRefusalAndWriteNothing)
{
    struct Case {
        int layers, hole;
        const char* mode;
        const char* refusal;
    };
    for (const Case& c : {Case{3, -1, "9094", "Only 2 and 4 Layer Boards supported (Change Layerstack)"},
                          Case{4, 3, "9087", "Top and Bottom have to be filled with copper (Fill Reference Planes)"}}) {
        const CliRun r = Netlist(Board(c.layers, c.hole) + " --kind ac --mode " + c.mode + " -o ac.cir");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("korvex-cli: ") + c.refusal + "\n");
        EXPECT_FALSE(fs::exists(dir / "ac.cir"));
    }
    // The dialog modes do not check the layer stack, but need their ports.
    const CliRun s21 = Netlist(Board(3, -1) + " --kind ac --mode 9093 -o ac.cir");
    EXPECT_EQ(s21.status, 1);
    EXPECT_EQ(s21.err, "korvex-cli: the board has no port 0 to drive\n");
    EXPECT_EQ(Netlist(Board(2, -1) + " --kind ac --mode 9095 -o ac.cir").status, 0);
}
