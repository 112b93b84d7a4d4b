// Names that are not UTF-8 (Latin-1 bytes in part and file names) in every --json output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "board/project_file.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"
#include "board/voltage_noise_param.h"

using namespace korvex;

namespace {
const std::string kDemo = std::string(KORVEX_EXAMPLES) + "/demo.sav";
const std::string kLatin1Name = "U\xE4";  // "Uä" in Latin-1
const std::string kUtf8Name = "U\xC3\xA4";

// The demo board with a Latin-1 heat-source name, saved under a Latin-1 file name.
std::string SaveLatin1Board(const TempFolder& t)
{
    SimMatrix board;
    CapDatabase caps;
    VoltageNoiseTimeParam noise;
    EXPECT_EQ(LoadProject(kDemo.c_str(), &board, true, {&caps, &noise}), 1);
    for (Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
        if (p->Kind == PART_HEATSOURCE) CopyName(PartRecord<HeatSource>(p)->Net, kLatin1Name.c_str());
    const std::string path = t.Path("b\xE4rd.sav");
    EXPECT_EQ(SaveProject(path.c_str(), &board, true, {&caps, &noise}), 0);
    freeSimulationMatrix(&board);
    FreeCapDatabase(&caps);
    return path;
}
}  // namespace

TEST(CliJson, BytesThatAreNotUtf8AreKeptAsTheirLatin1Characters)
{
    TempFolder t("json_bytes");
    const std::string path = SaveLatin1Board(t);
    const std::string quoted = "'" + path + "'";

    CliRun r = RunCli("info " + quoted + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_NE(j["File"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
    int named = 0;
    for (const auto& part : j["Parts"])
        if (part["Kind"] == "HeatSource") named += part["Net"] == kUtf8Name;
    EXPECT_GT(named, 0);

    r = RunCli("info " + quoted);  // the text form quotes names through the same path
    ASSERT_EQ(r.status, 0) << r.err;

    r = RunCli("mesh " + quoted + " --json", t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_NE(j["Project"].get<std::string>().find("b\xC3\xA4rd.sav"), std::string::npos);
}
