// korvex-cli info and convert, run as the real program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "board/example_board.h"
#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"

using namespace korvex;

namespace fs = std::filesystem;

namespace {
const std::string kDemo = std::string(KORVEX_EXAMPLES) + "/demo.sav";
}  // namespace

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

TEST(CliConvert, RoundTripBetweenPlainAndCompressed)
{
    TempFolder t;
    const std::string plain = t.Path("plain.sav"), packed = t.Path("packed.sav");
    CliRun r = RunCli("convert " + kDemo + " " + plain + " --plain");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fs::file_size(plain), 408u + 28u * 160 * 100 * 2 + 11 * 30 + 80 + 2 * 76 + 2 * 48 + 104 + 80 + 16 +
                                        3 * 28 + 38);
    r = RunCli("convert " + plain + " " + packed + " --compressed");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsCompressedProject(packed.c_str()));

    SimMatrix a, b;
    CapDatabase caps;
    VoltageNoiseTimeParam noise;
    ASSERT_EQ(LoadProject(kDemo.c_str(), &a, true, {&caps, &noise}), 1);
    ASSERT_EQ(LoadProject(packed.c_str(), &b, true, {&caps, &noise}), 1);
    const size_t n = 160 * 100 * 2;
    EXPECT_EQ(0, std::memcmp(a.CopperMatrix[0][0], b.CopperMatrix[0][0], n * 4));
    EXPECT_EQ(CountParts(&a), CountParts(&b));
    freeSimulationMatrix(&a);
    freeSimulationMatrix(&b);
    FreeCapDatabase(&caps);
}

TEST(ExampleBoard, StoredDemoMatchesTheGenerator)
{
    SimMatrix generated, stored;
    ASSERT_EQ(CreateExampleBoard(&generated), 0);
    CapDatabase caps;
    VoltageNoiseTimeParam noise;
    ASSERT_EQ(LoadProject(kDemo.c_str(), &stored, true, {&caps, &noise}), 1);
    EXPECT_EQ(0, std::memcmp(generated.CopperMatrix[0][0], stored.CopperMatrix[0][0], 160 * 100 * 2 * 4));
    EXPECT_EQ(CountParts(&generated), CountParts(&stored));
    // The full bottom plane and cut-outs in the top pour.
    EXPECT_GT(generated.CopperMatrix[159][99][1], 0.0f);
    EXPECT_GT(generated.CopperMatrix[30][30][0], 0.0f);
    EXPECT_EQ(generated.CopperMatrix[60][22][0], 0.0f);
    freeSimulationMatrix(&generated);
    freeSimulationMatrix(&stored);
    FreeCapDatabase(&caps);
}
