#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "raw/raw_reader_op.h"
#include "../board/board_fixtures.h"
#include "raw_builder.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
// A 4 x 1 board covered by nodes of one pixel, IDs 1 ... 4, plus a via, a heat
// source "U1" and a heat sink "Heatsink1".
struct Fixture : testing_board::OwnedBoard {
    Mesh mesh;
    Fixture() : OwnedBoard(4, 1, 2, false)
    {
        InitMesh(&mesh, &board);
        for (uint32_t x = 0; x < 4; ++x) {
            MeshNode n;
            n.x = x;
            n.OrderX = n.OrderY = 1;
            AddNode(&mesh, &n);
        }
        AddPart(&board, PART_VIA, &gVia);
        HeatSource hs;
        CopyName(hs.Net, "U1");
        AddPart(&board, PART_HEATSOURCE, &hs);
        AddPart(&board, PART_HEATSOURCE, &hs);
        AddPart(&board, PART_HEATSINK, &gHeatSink);
    }
    ~Fixture() { FreeMesh(&mesh); }
    RawFile Raw(const RawBuilder& b)
    {
        RawFile raw;
        std::string error;
        EXPECT_EQ(ParseRawFile(b.Bytes(), &raw, false, &error), 0) << error;
        return raw;
    }
};
}  // namespace

TEST(RawToMeshElectrical, MapsVoltagesBranchAndViaCurrentsPastForeignNets)
{
    Fixture f;
    RawBuilder b;
    b.names = {"V(n1_000002)", "V(vcc)", "V(n2_000003)", "I(Rc1_000004_3)", "I(Rv1_1)", "I(Rc1_00x004_3)",
               "I(Rv9_1)", "I(R1)"};
    b.values = {1.25, 99, 2.5, -0.5, 0.75, 3, 4, 5};
    DebugCapture log;
    MapElectricalResults(f.Raw(b), &f.board, &f.mesh);
    EXPECT_EQ(ResultsOf(IDToAddress(&f.mesh, 2)).Voltage[1], 1.25);
    // The voltage of a named net is skipped, not the end of the walk.
    EXPECT_EQ(ResultsOf(IDToAddress(&f.mesh, 3)).Voltage[2], 2.5);
    EXPECT_EQ(ResultsOf(IDToAddress(&f.mesh, 4)).CurrentBR[1], -0.5);
    EXPECT_EQ(PartRecord<Via>(GetFirstPart(&f.board))->Current[1], 0.75f);
    EXPECT_TRUE(log.Contains("Unknown Variable (Rc1_00x004_3) 3.000000\r\n"));
    EXPECT_TRUE(log.Contains("ViaCurrent Error\r\n"));  // key 9 names no part
}

TEST(RawToMeshThermal, NodesJunctionsAndSinksIgnoringCase)
{
    Fixture f;
    RawBuilder b;
    b.names = {"V(n1_000001)", "V(namb)", "V(junctionu1)", "V(heatsinkheatsink1)", "I(Rth1)"};
    b.values = {40, 25, 80, 33, 1};
    MapThermalResults(f.Raw(b), &f.board, &f.mesh);
    EXPECT_EQ(IDToAddress(&f.mesh, 1)->Temperature[1], 40);
    Part* p = GetFirstPart(&f.board)->pNext;
    EXPECT_EQ(PartRecord<HeatSource>(p)->Temperature, 80);
    EXPECT_EQ(PartRecord<HeatSource>(p->pNext)->Temperature, 80);
    EXPECT_EQ(PartRecord<HeatSink>(p->pNext->pNext)->Temperature, 33);
}

TEST(RawToMeshElectrical, RefusesTruncatedAndMissingFilesWithoutMapping)
{
    Fixture f;
    const auto dir = std::filesystem::temp_directory_path() / "korvex_raw_op_test";
    std::filesystem::create_directories(dir);
    const auto path = (dir / "short.raw").string();
    RawBuilder b;
    b.names = {"V(n1_000001)", "V(n1_000002)"};
    b.values = {7, 8};
    auto bytes = b.Bytes();
    bytes.resize(bytes.size() - 4);  // the last value is cut
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    std::string error;
    EXPECT_EQ(RawToMeshElectrical(&f.board, &f.mesh, path.c_str(), &error), -1);
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_EQ(ResultsOf(IDToAddress(&f.mesh, 1)).Voltage[1], 0.0);  // nothing half-mapped

    // Fewer points than declared, and no points at all, are refused as well.
    for (unsigned declared : {2u, 0u}) {
        b.points = declared;
        bytes = b.Bytes();
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
        EXPECT_EQ(RawToMeshElectrical(&f.board, &f.mesh, path.c_str(), &error), -1) << declared;
        EXPECT_NE(error.find(declared ? "truncated" : "no points"), std::string::npos) << error;
    }
    EXPECT_EQ(ResultsOf(IDToAddress(&f.mesh, 1)).Voltage[1], 0.0);

    DebugCapture log;
    EXPECT_EQ(RawToMeshThermal(&f.board, &f.mesh, (dir / "absent.raw").c_str(), &error), -1);
    EXPECT_TRUE(log.Contains("absent.raw"));
    std::filesystem::remove_all(dir);
}
