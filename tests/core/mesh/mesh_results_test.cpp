#include <gtest/gtest.h>

#include "mesh/mesh_results.h"
#include "mesh_test_support.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
// A board of two layers with all result rasters and a mesh of the given nodes.
struct ResultBoard : TestBoard {
    ResultBoard(int nx, int ny, const std::vector<NodeSpec>& nodes) : TestBoard(2, nx, ny, 0.01f, 0.01f) { Nodes(nodes); }
};
}  // namespace

TEST(MeshResults, FourByFourNodeWithTwoAmperesThrough)
{
    // Three 4 x 4 nodes in a row; 2 A flows left to right through the middle one.
    ResultBoard b(12, 4, {{0, 0, 4, 4, {}}, {4, 0, 4, 4, {}}, {8, 0, 4, 4, {}}});
    SetCurrent(&b.mesh, b.At(0, 0), kCurrentRightTop, 0, 2.0);
    SetCurrent(&b.mesh, b.At(4, 0), kCurrentRightTop, 0, 2.0);
    ASSERT_EQ(MeshToCurrentDensity(&b.board, &b.mesh), 0);
    EXPECT_DOUBLE_EQ(ResultsOf(b.At(4, 0)).CurrentX[0], 2.0);
    EXPECT_DOUBLE_EQ(ResultsOf(b.At(4, 0)).CurrentDensity[0], 0.5);
    EXPECT_FLOAT_EQ(b.board.CurrentDensityMatrix[5][2][0], 0.5f);
    EXPECT_FLOAT_EQ(b.board.CurrentXMatrix[7][3][0], 0.5f);
    EXPECT_FLOAT_EQ(b.board.CurrentYMatrix[7][3][0], 0.0f);
    // The node on the left edge has no left neighbour: half of its right current.
    EXPECT_DOUBLE_EQ(ResultsOf(b.At(0, 0)).CurrentX[0], 1.0);
    EXPECT_DOUBLE_EQ(ResultsOf(b.At(8, 0)).CurrentX[0], 1.0);
    EXPECT_DOUBLE_EQ(ResultsOf(b.At(4, 0)).CurrentDensity[1], 0.0);
}

TEST(MeshResults, CurrentsFromAWiderTopNeighbour)
{
    // A 4-wide node above two 2-wide nodes: each takes its own slot.
    ResultBoard b(4, 6, {{0, 0, 4, 4, {}}, {0, 4, 2, 2, {}}, {2, 4, 2, 2, {}}});
    MeshNode* top = b.At(0, 0);
    SetCurrent(&b.mesh, top, kCurrentBottomLeft, 1, 3.0);
    SetCurrent(&b.mesh, top, kCurrentBottomRight, 1, 5.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&b.mesh, b.At(0, 4), 1), 3.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&b.mesh, b.At(2, 4), 1), 5.0);
    EXPECT_DOUBLE_EQ(GetCurrentTR(&b.mesh, b.At(2, 4), 1), 0.0);
    // Seen from the top node: its bottom side has two narrower neighbours.
    EXPECT_EQ(GetCurrentTL(&b.mesh, top, 1), 0.0);
    // A stale neighbour record is reported and counted as 0.
    top->IDBotR = 0;
    DebugCapture log;
    EXPECT_EQ(GetCurrentTL(&b.mesh, b.At(2, 4), 1), 0.0);
    EXPECT_TRUE(log.Contains("Fehler in GetCurrent\r\n"));
}

TEST(MeshResults, CurrentsFromTwoNarrowerNeighbours)
{
    // Two 2 x 2 nodes on the left of one 2 x 4 column, then above one 4 x 2 row.
    // Each narrow node's branch to the big node is its first slot (RT, BL); the
    // second slot holds a decoy that must not be read.
    ResultBoard left(4, 4, {{0, 0, 2, 2, {}}, {0, 2, 2, 2, {}}, {2, 0, 2, 4, {}}});
    SetCurrent(&left.mesh, left.At(0, 0), kCurrentRightTop, 0, 1.5);
    SetCurrent(&left.mesh, left.At(0, 2), kCurrentRightTop, 0, 2.5);
    SetCurrent(&left.mesh, left.At(0, 0), kCurrentRightBottom, 0, 7.0);
    SetCurrent(&left.mesh, left.At(0, 2), kCurrentRightBottom, 0, 9.0);
    EXPECT_DOUBLE_EQ(GetCurrentLT(&left.mesh, left.At(2, 0), 0), 1.5);
    EXPECT_DOUBLE_EQ(GetCurrentLB(&left.mesh, left.At(2, 0), 0), 2.5);

    ResultBoard above(4, 4, {{0, 0, 2, 2, {}}, {2, 0, 2, 2, {}}, {0, 2, 4, 2, {}}});
    SetCurrent(&above.mesh, above.At(0, 0), kCurrentBottomLeft, 0, 1.5);
    SetCurrent(&above.mesh, above.At(2, 0), kCurrentBottomLeft, 0, 2.5);
    SetCurrent(&above.mesh, above.At(0, 0), kCurrentBottomRight, 0, 7.0);
    SetCurrent(&above.mesh, above.At(2, 0), kCurrentBottomRight, 0, 9.0);
    EXPECT_DOUBLE_EQ(GetCurrentTL(&above.mesh, above.At(0, 2), 0), 1.5);
    EXPECT_DOUBLE_EQ(GetCurrentTR(&above.mesh, above.At(0, 2), 0), 2.5);
}

TEST(MeshResults, SettersRefuseBadArguments)
{
    ResultBoard b(2, 2, {{0, 0, 2, 2, {}}});
    MeshNode* n = b.At(0, 0);
    EXPECT_EQ(SetCurrent(&b.mesh, n, 4, 0, 9.0), 0);
    for (int l = 0; l < 8; ++l)
        EXPECT_EQ(ResultsOf(n).CurrentRT[l] + ResultsOf(n).CurrentRB[l] + ResultsOf(n).CurrentBL[l] + ResultsOf(n).CurrentBR[l], 0.0);
    EXPECT_EQ(SetVoltage(&b.mesh, n, 8, 1.0), -1);
    EXPECT_EQ(SetVoltage(&b.mesh, n, -1, 1.0), -1);
    EXPECT_EQ(SetTemperature(nullptr, 0, 1.0), -1);
    EXPECT_EQ(SetNodeZin(&b.mesh, n, 7, 2.0f), 0);
    EXPECT_EQ(ResultsOf(n).Zin[7], 2.0f);
    ResetTemperature(n, 25.0);
    EXPECT_EQ(n->Temperature[7], 25.0);
}

TEST(MeshResults, PaintingFillsEveryPixelOfTheNode)
{
    ResultBoard b(4, 2, {{0, 0, 2, 2, {}}, {2, 0, 2, 2, {}}});
    SetVoltage(&b.mesh, b.At(2, 0), 1, 3.3);
    SetTemperature(b.At(0, 0), 0, 40.0);
    SetNodeZin(&b.mesh, b.At(0, 0), 1, 7.0f);
    b.board.ZinMatrix[3][1][1] = 99.0f;
    ASSERT_EQ(MeshToVoltageMatrix(&b.mesh, &b.board), 0);
    ASSERT_EQ(MeshToTemperatureMatrix(&b.mesh, &b.board), 0);
    ASSERT_EQ(MeshToZinMatrix(&b.mesh, &b.board), 0);
    EXPECT_FLOAT_EQ(b.board.VoltageMatrix[3][1][1], 3.3f);
    EXPECT_FLOAT_EQ(b.board.VoltageMatrix[1][1][1], 0.0f);
    EXPECT_FLOAT_EQ(b.board.TemperatureMatrix[1][1][0], 40.0f);
    EXPECT_FLOAT_EQ(b.board.ZinMatrix[1][0][1], 7.0f);
    EXPECT_FLOAT_EQ(b.board.ZinMatrix[3][1][1], 0.0f);
    EXPECT_EQ(MeshToVoltageMatrix(nullptr, &b.board), -1);
    EXPECT_EQ(MeshToCurrentDensity(&b.board, nullptr), -1);
}

TEST(MeshResults, LargeBoardsPaintedOnTwoCoresFillEveryPixel)
{
    // Voltages and current densities painted in one pass.
    // 1024 x 512 pixels on two layers (the size from which both cores paint), 64 x 64 nodes.
    // 4 A flows rightwards through every node on layer 0: a node with a left neighbour
    // carries 4 A (4 A / 64 rows per pixel), one on the left edge half of that.
    constexpr int kSide = 64, kColumns = 16, kRows = 8;
    std::vector<NodeSpec> nodes;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) nodes.push_back({column * kSide, row * kSide, kSide, kSide, {}});
    ResultBoard b(kColumns * kSide, kRows * kSide, nodes);
    auto voltage = [](int column, int row, int layer) { return 0.001 * (row * kColumns + column) + layer; };
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            MeshNode* node = b.At(column * kSide, row * kSide);
            for (int l = 0; l < 2; ++l) SetVoltage(&b.mesh, node, l, voltage(column, row, l));
            SetCurrent(&b.mesh, node, kCurrentRightTop, 0, 4.0);
        }
    SimMatrix& r = b.board;
    ASSERT_EQ(MeshToElectricalRasters(&r, &b.mesh, r.VoltageMatrix, r.CurrentXMatrix, r.CurrentYMatrix,
                                      r.CurrentDensityMatrix),
              0);
    int wrong = 0;
    for (int x = 0; x < kColumns * kSide; ++x)
        for (int y = 0; y < kRows * kSide; ++y) {
            const float jx = x < kSide ? 2.0f / kSide : 4.0f / kSide;
            for (int l = 0; l < 2; ++l)
                wrong += b.board.VoltageMatrix[x][y][l] != static_cast<float>(voltage(x / kSide, y / kSide, l));
            wrong += b.board.CurrentXMatrix[x][y][0] != jx || b.board.CurrentDensityMatrix[x][y][0] != jx;
            wrong += b.board.CurrentYMatrix[x][y][0] != 0.0f || b.board.CurrentDensityMatrix[x][y][1] != 0.0f;
        }
    EXPECT_EQ(wrong, 0);
}
