#include <gtest/gtest.h>

#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_results.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
// A board with all result rasters and a mesh whose nodes are given by hand.
struct ResultFixture : ::testing::Test {
    SimMatrix board;
    Mesh mesh;
    void Build(uint32_t nx, uint32_t ny, std::initializer_list<MeshRect> rects)
    {
        InitSimulationMatrix(&board);
        SetLayerCount(&board, 2);
        const float z[8] = {}, t[8] = {};
        SetSize(&board, 0.01f, 0.01f, nx, ny, z, t);
        ASSERT_EQ(MallocAllMatrices(&board), 0);
        ASSERT_EQ(InitMesh(&mesh, &board), 0);
        for (const MeshRect& r : rects) {
            MeshNode n;
            n.x = r.left;
            n.y = r.top;
            n.OrderX = r.right - r.left + 1;
            n.OrderY = r.bottom - r.top + 1;
            AddNode(&mesh, &n);
        }
        for (MeshNode* n = GetFirstNode(&mesh); n; n = GetNextNode(n)) SetNeighbour(&mesh, n);
    }
    MeshNode* At(int x, int y) { return CoordinateToAddress(&mesh, {x, y}); }
    void TearDown() override
    {
        FreeMesh(&mesh);
        freeSimulationMatrix(&board);
    }
};
}  // namespace

TEST_F(ResultFixture, FourByFourNodeWithTwoAmperesThrough)
{
    // Three 4 x 4 nodes in a row; 2 A flows left to right through the middle one.
    Build(12, 4, {{0, 0, 3, 3}, {4, 0, 7, 3}, {8, 0, 11, 3}});
    SetCurrent(&mesh, At(0, 0), kCurrentRightTop, 0, 2.0);
    SetCurrent(&mesh, At(4, 0), kCurrentRightTop, 0, 2.0);
    ASSERT_EQ(MeshToCurrentDensity(&board, &mesh), 0);
    EXPECT_DOUBLE_EQ(ResultsOf(At(4, 0)).CurrentX[0], 2.0);
    EXPECT_DOUBLE_EQ(ResultsOf(At(4, 0)).CurrentDensity[0], 0.5);
    EXPECT_FLOAT_EQ(board.CurrentDensityMatrix[5][2][0], 0.5f);
    EXPECT_FLOAT_EQ(board.CurrentXMatrix[7][3][0], 0.5f);
    EXPECT_FLOAT_EQ(board.CurrentYMatrix[7][3][0], 0.0f);
    // The node on the left edge has no left neighbour: half of its right current.
    EXPECT_DOUBLE_EQ(ResultsOf(At(0, 0)).CurrentX[0], 1.0);
    EXPECT_DOUBLE_EQ(ResultsOf(At(8, 0)).CurrentX[0], 1.0);
    EXPECT_DOUBLE_EQ(ResultsOf(At(4, 0)).CurrentDensity[1], 0.0);
}

TEST_F(ResultFixture, CurrentsFromAWiderTopNeighbour)
{
    // A 4-wide node above two 2-wide nodes: each takes its own slot.
    Build(4, 6, {{0, 0, 3, 3}, {0, 4, 1, 5}, {2, 4, 3, 5}});
    MeshNode* top = At(0, 0);
    SetCurrent(&mesh, top, kCurrentBottomLeft, 1, 3.0);
    SetCurrent(&mesh, top, kCurrentBottomRight, 1, 5.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&mesh, At(0, 4), 1), 3.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&mesh, At(2, 4), 1), 5.0);
    EXPECT_DOUBLE_EQ(GetCurrentTR(&mesh, At(2, 4), 1), 0.0);
    // Seen from the top node: its bottom side has two narrower neighbours.
    EXPECT_EQ(GetCurrentTL(&mesh, top, 1), 0.0);
    // A stale neighbour record is reported and counted as 0.
    top->IDBotR = 0;
    DebugCapture log;
    EXPECT_EQ(GetCurrentTL(&mesh, At(2, 4), 1), 0.0);
    EXPECT_TRUE(log.Contains("Fehler in GetCurrent\r\n"));
}

TEST_F(ResultFixture, CurrentsFromTwoNarrowerNeighbours)
{
    // Two 2 x 2 nodes on the left of one 2 x 4 column, then above one 4 x 2 row.
    // Each narrow node's branch to the big node is its first slot (RT, BL); the
    // second slot holds a decoy that must not be read.
    Build(4, 4, {{0, 0, 1, 1}, {0, 2, 1, 3}, {2, 0, 3, 3}});
    SetCurrent(&mesh, At(0, 0), kCurrentRightTop, 0, 1.5);
    SetCurrent(&mesh, At(0, 2), kCurrentRightTop, 0, 2.5);
    SetCurrent(&mesh, At(0, 0), kCurrentRightBottom, 0, 7.0);
    SetCurrent(&mesh, At(0, 2), kCurrentRightBottom, 0, 9.0);
    EXPECT_DOUBLE_EQ(GetCurrentLT(&mesh, At(2, 0), 0), 1.5);
    EXPECT_DOUBLE_EQ(GetCurrentLB(&mesh, At(2, 0), 0), 2.5);
    TearDown();

    Build(4, 4, {{0, 0, 1, 1}, {2, 0, 3, 1}, {0, 2, 3, 3}});
    SetCurrent(&mesh, At(0, 0), kCurrentBottomLeft, 0, 1.5);
    SetCurrent(&mesh, At(2, 0), kCurrentBottomLeft, 0, 2.5);
    SetCurrent(&mesh, At(0, 0), kCurrentBottomRight, 0, 7.0);
    SetCurrent(&mesh, At(2, 0), kCurrentBottomRight, 0, 9.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&mesh, At(0, 2), 0), 1.5);
    EXPECT_DOUBLE_EQ(GetCurrentTR(&mesh, At(0, 2), 0), 2.5);
}

TEST_F(ResultFixture, SettersRefuseBadArguments)
{
    Build(2, 2, {{0, 0, 1, 1}});
    MeshNode* n = At(0, 0);
    EXPECT_EQ(SetCurrent(&mesh, n, 4, 0, 9.0), 0);
    for (int l = 0; l < 8; ++l)
        EXPECT_EQ(ResultsOf(n).CurrentRT[l] + ResultsOf(n).CurrentRB[l] + ResultsOf(n).CurrentBL[l] + ResultsOf(n).CurrentBR[l], 0.0);
    EXPECT_EQ(SetVoltage(&mesh, n, 8, 1.0), -1);
    EXPECT_EQ(SetVoltage(&mesh, n, -1, 1.0), -1);
    EXPECT_EQ(SetTemperature(nullptr, 0, 1.0), -1);
    EXPECT_EQ(SetNodeZin(&mesh, n, 7, 2.0f), 0);
    EXPECT_EQ(ResultsOf(n).Zin[7], 2.0f);
    ResetTemperature(n, 25.0);
    EXPECT_EQ(n->Temperature[7], 25.0);
}

TEST_F(ResultFixture, PaintingFillsEveryPixelOfTheNode)
{
    Build(4, 2, {{0, 0, 1, 1}, {2, 0, 3, 1}});
    SetVoltage(&mesh, At(2, 0), 1, 3.3);
    SetTemperature(At(0, 0), 0, 40.0);
    SetNodeZin(&mesh, At(0, 0), 1, 7.0f);
    board.ZinMatrix[3][1][1] = 99.0f;
    ASSERT_EQ(MeshToVoltageMatrix(&mesh, &board), 0);
    ASSERT_EQ(MeshToTemperatureMatrix(&mesh, &board), 0);
    ASSERT_EQ(MeshToZinMatrix(&mesh, &board), 0);
    EXPECT_FLOAT_EQ(board.VoltageMatrix[3][1][1], 3.3f);
    EXPECT_FLOAT_EQ(board.VoltageMatrix[1][1][1], 0.0f);
    EXPECT_FLOAT_EQ(board.TemperatureMatrix[1][1][0], 40.0f);
    EXPECT_FLOAT_EQ(board.ZinMatrix[1][0][1], 7.0f);
    EXPECT_FLOAT_EQ(board.ZinMatrix[3][1][1], 0.0f);
    EXPECT_EQ(MeshToVoltageMatrix(nullptr, &board), -1);
    EXPECT_EQ(MeshToCurrentDensity(&board, nullptr), -1);
}
