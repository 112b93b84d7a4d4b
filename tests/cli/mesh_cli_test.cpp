// korvex-cli mesh, run as the real program on the example project.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "board/project_file.h"
#include "board/settings.h"
#include "cli_test_support.h"
#include "mesh/mesh_generation.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
// Runs korvex-cli mesh in a fresh folder (no Settings.set there: built-in defaults).
CliRun MeshCli(const std::string& args, const std::filesystem::path& folder)
{
    return RunCli("mesh " + args, folder);
}

const std::string kDemo = std::string(KORVEX_EXAMPLES) + "/demo.sav";
}  // namespace

TEST(CliMesh, DumpMatchesTheMeshBuiltInProcess)
{
    TempFolder f("mesh_cli");
    const std::string dump = (f.dir / "nodes.txt").string();
    const CliRun r = MeshCli(kDemo + " --max-order 3 --asymmetric 1 --json --dump " + dump, f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["MaxMeshOrder"], 3);
    EXPECT_GT(j["RefinedNodes"].get<int>(), j["InitialNodes"].get<int>());
    EXPECT_EQ(j["Nodes"], j["OptimisedNodes"]);

    // The same board meshed here, with the same options.
    SimMatrix board;
    ASSERT_EQ(gzLoadSimMatrix(kDemo.c_str(), &board), 1);
    Settings s;
    s.MaxMeshOrder = 3;
    s.AsymmetricMesh = 1;
    Mesh mesh;
    {
        DebugCapture quiet;
        ASSERT_EQ(CreateMesh(&board, &mesh, nullptr, &s), 0);
    }
    EXPECT_EQ(j["Nodes"], CountNodes(&mesh));
    std::ifstream in(dump);
    std::string line;
    const MeshNode* n = GetFirstNode(&mesh);
    int lines = 0;
    while (std::getline(in, line) && n != nullptr) {
        std::ostringstream expected;
        expected << n->ID << ' ' << n->x << ' ' << n->y << ' ' << n->OrderX << ' ' << n->OrderY;
        for (int slot = 0; slot < kNeighbourSlots; ++slot) expected << ' ' << NeighbourID(n, slot);
        for (int l = 0; l < board.LayerCount; ++l) expected << ' ' << n->bCopper[l];
        ASSERT_EQ(line, expected.str()) << "line " << lines + 1;
        n = GetNextNode(n);
        ++lines;
    }
    EXPECT_EQ(lines, CountNodes(&mesh));
    EXPECT_FALSE(std::getline(in, line));
    FreeMesh(&mesh);
    freeSimulationMatrix(&board);
}

TEST(CliMesh, TextReportAndOptions)
{
    TempFolder f("mesh_cli");
    CliRun r = MeshCli(kDemo + " --asymmetric 0", f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Max Mesh Order 4, Asymmetric Mesh 0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Refined mesh: "), std::string::npos);
    EXPECT_EQ(r.out.find("Optimised mesh"), std::string::npos);
    r = MeshCli(kDemo + " --asymmetric 0 --json", f.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["OptimisedNodes"].is_null());
    EXPECT_EQ(j["Nodes"], j["RefinedNodes"]);
}

TEST(CliMesh, RefusalsAreOneLine)
{
    TempFolder f("mesh_cli");
    std::ofstream(f.dir / "bad.sav") << "not a project";
    for (const std::string& args : {kDemo + " --max-order 31", (f.dir / "bad.sav").string(),
                                    (f.dir / "missing.sav").string(),
                                    kDemo + " --dump " + (f.dir / "no" / "dir" / "x.txt").string()})
        ExpectOneLineRefusal(MeshCli(args, f.dir), args);
    EXPECT_NE(MeshCli(kDemo + " --asymmetric 2", f.dir).status, 0);
}
