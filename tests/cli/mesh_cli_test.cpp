// korvex-cli mesh, run as the real program.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "job_bench.h"

using namespace korvex;

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
