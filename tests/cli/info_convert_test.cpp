// korvex-cli info, convert and citi, run as the real program.
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

TEST(CliInfo, JsonUsesFieldNamesAndListsEveryPartAsTheTextDoes)
{
    const CliRun r = RunCli("info " + kDemo + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
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
    for (const auto& p : parts) kinds.insert(p["Kind"].get<std::string>());
    EXPECT_EQ(kinds, (std::set<std::string>{"Current", "Resistor", "Via", "HeatSource", "HeatSink", "Port", "Cap"}));
    const auto ground = std::find_if(parts.begin(), parts.end(), [](const auto& p) { return p["Kind"] == "Resistor"; });
    ASSERT_NE(ground, parts.end());
    EXPECT_EQ((*ground)["Net2Name"], "0");
    EXPECT_DOUBLE_EQ((*ground)["Rser"].get<double>(), 1e-6);
    EXPECT_EQ((*ground)["KindCode"], 4);
    EXPECT_EQ(j["Caps"].size(), 1u);
    EXPECT_EQ(j["VoltageNoiseTimeParam"]["nHarmonics"], 100);

    const CliRun text = RunCli("info " + kDemo);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("160 x 100 pixels, 2 layers"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Layer2: copper 35\xC2\xB5m, 16000 copper pixels"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Port: x=140 y=55 ID=0 Layer=0"), std::string::npos) << text.out;
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

// Names that are not UTF-8 (Latin-1 bytes in part and file names) in every --json output.
TEST(CliJson, BytesThatAreNotUtf8AreKeptAsTheirLatin1Characters)
{
    TempFolder t("json_bytes");
    const std::string path = t.Path("b\xE4rd.sav"), quoted = "'" + path + "'";
    SaveEditedDemo(path, [](SimMatrix& board) {
        for (Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_HEATSOURCE) CopyName(PartRecord<HeatSource>(p)->Net, "U\xE4");  // "Uä" in Latin-1
    });

    CliRun r = RunCli("info " + quoted + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_NE(j["File"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
    int named = 0;
    for (const auto& part : j["Parts"])
        if (part["Kind"] == "HeatSource") named += part["Net"] == "U\xC3\xA4";
    EXPECT_GT(named, 0);

    r = RunCli("info " + quoted);  // the text form quotes names through the same path
    ASSERT_EQ(r.status, 0) << r.err;

    r = RunCli("mesh " + quoted + " --json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_NE(j["Project"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
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
