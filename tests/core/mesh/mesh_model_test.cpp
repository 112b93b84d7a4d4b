#include <gtest/gtest.h>

#include <vector>

#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
SimMatrix BoardOfSize(uint32_t nx, uint32_t ny)
{
    SimMatrix board;
    board.CountPixelX = nx;
    board.CountPixelY = ny;
    board.LayerCount = 1;
    board.SizeX = 0.01f * static_cast<float>(nx);
    board.SizeY = 0.02f * static_cast<float>(ny);
    return board;
}

MeshNode* Add(Mesh& mesh, uint32_t x, uint32_t y, uint32_t ox, uint32_t oy)
{
    MeshNode t;
    t.x = x;
    t.y = y;
    t.OrderX = ox;
    t.OrderY = oy;
    return AddNode(&mesh, &t);
}

struct MeshFixture : ::testing::Test {
    SimMatrix board = BoardOfSize(8, 4);
    Mesh mesh;
    void SetUp() override { ASSERT_EQ(InitMesh(&mesh, &board), 0); }
    void TearDown() override { FreeMesh(&mesh); }
};
}  // namespace

TEST_F(MeshFixture, IDTableStartsAtTenAndDoublesAtTheTenthNode)
{
    EXPECT_EQ(mesh.IDToNodeSize, 10);
    for (int i = 0; i < 9; ++i) Add(mesh, 0, 0, 1, 1);
    EXPECT_EQ(mesh.IDToNodeSize, 10);
    MeshNode* tenth = Add(mesh, 0, 0, 1, 1);
    ASSERT_NE(tenth, nullptr);
    EXPECT_EQ(tenth->ID, 10u);
    EXPECT_EQ(mesh.IDToNodeSize, 20);
    for (int i = 11; i < 20; ++i) EXPECT_EQ(mesh.IDToNode[i], nullptr);
    EXPECT_EQ(mesh.IDToNode[0], nullptr);
    EXPECT_EQ(IDToAddress(&mesh, 10), tenth);
    EXPECT_EQ(IDToAddress(&mesh, 0), nullptr);
    EXPECT_EQ(IDToAddress(&mesh, 20), nullptr);
}

TEST_F(MeshFixture, LookUpsOutsideTheBoardGiveNoNode)
{
    Add(mesh, 0, 0, 4, 4);
    Add(mesh, 4, 0, 4, 4);
    for (MeshPoint p : {MeshPoint{-1, 0}, MeshPoint{0, -1}, MeshPoint{8, 0}, MeshPoint{0, 4}})
        EXPECT_EQ(CoordinateToID(&mesh, p), 0u) << p.x << "," << p.y;
    EXPECT_EQ(CoordinateToID(&mesh, {7, 3}), 2u);
    EXPECT_EQ(CoordinateToAddress(&mesh, {3, 3})->ID, 1u);
    EXPECT_EQ(SetIDMatrix(&mesh, 8, 0, 5), -1);
    EXPECT_TRUE(IsSameNode(&mesh, {0, 0}, {3, 3}));
    EXPECT_FALSE(IsSameNode(&mesh, {3, 0}, {4, 0}));
}

TEST_F(MeshFixture, NodeReachingBeyondTheBoardWritesOnlyBoardPixels)
{
    // A 16 x 16 node on an 8 x 4 board: the IDMatrix stays in bounds.
    MeshNode* big = Add(mesh, 0, 0, 16, 16);
    ASSERT_NE(big, nullptr);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) EXPECT_EQ(mesh.IDMatrix[x][y], big->ID);
    SetNeighbour(&mesh, big);
    for (int slot = 0; slot < kNeighbourSlots; ++slot) EXPECT_EQ(NeighbourID(big, slot), 0u);
}

TEST_F(MeshFixture, NeighboursOfOneLargeAndTwoSmallNodes)
{
    // Left: a 4 x 4 node; right: two 2 x 2 nodes stacked, then a 2 x 4 column.
    MeshNode* big = Add(mesh, 0, 0, 4, 4);
    MeshNode* upper = Add(mesh, 4, 0, 2, 2);
    MeshNode* lower = Add(mesh, 4, 2, 2, 2);
    MeshNode* column = Add(mesh, 6, 0, 2, 4);
    for (MeshNode* n : {big, upper, lower, column}) SetNeighbour(&mesh, n);
    EXPECT_EQ(big->IDRightT, upper->ID);
    EXPECT_EQ(big->IDRightB, lower->ID);
    EXPECT_EQ(big->IDLeftT, 0u);
    EXPECT_EQ(upper->IDLeftT, big->ID);
    EXPECT_EQ(upper->IDLeftB, big->ID);
    EXPECT_EQ(upper->IDBotL, lower->ID);
    EXPECT_EQ(upper->IDBotR, lower->ID);
    EXPECT_EQ(lower->IDTopL, upper->ID);
    EXPECT_EQ(lower->IDRightT, column->ID);
    EXPECT_EQ(column->IDLeftT, upper->ID);
    EXPECT_EQ(column->IDLeftB, lower->ID);
    EXPECT_TRUE(IsLowerOrderX(big, upper));
    EXPECT_TRUE(IsHigherOrderX(upper, big));
    EXPECT_TRUE(IsSameOrderX(upper, column));
    EXPECT_TRUE(IsHigherOrderY(upper, column));
    EXPECT_FALSE(IsHigherOrderY(upper, nullptr));

    // Replacing the right column by two halves: SetAllNeighbour refreshes the
    // nodes that saw the old one.
    DeleteNode(&mesh, column);
    MeshNode* top = Add(mesh, 6, 0, 2, 2);
    MeshNode* bottom = Add(mesh, 6, 2, 2, 2);
    SetAllNeighbour(&mesh, top);
    SetAllNeighbour(&mesh, bottom);
    EXPECT_EQ(upper->IDRightT, top->ID);
    EXPECT_EQ(lower->IDRightT, bottom->ID);
    EXPECT_EQ(top->IDBotL, bottom->ID);
}

TEST_F(MeshFixture, DeletingKeepsTheListConsistent)
{
    MeshNode* a = Add(mesh, 0, 0, 1, 1);
    MeshNode* b = Add(mesh, 1, 0, 1, 1);
    MeshNode* c = Add(mesh, 2, 0, 1, 1);
    EXPECT_EQ(DeleteNode(&mesh, a), 0);
    EXPECT_EQ(mesh.FirstNode, b);
    EXPECT_EQ(b->pPrevNode, nullptr);
    EXPECT_EQ(DeleteNode(&mesh, c), 0);
    EXPECT_EQ(mesh.LastNode, b);
    EXPECT_EQ(b->pNextNode, nullptr);
    EXPECT_EQ(IDToAddress(&mesh, 1), nullptr);
    EXPECT_EQ(CountNodes(&mesh), 1);
    EXPECT_EQ(DeleteNode(&mesh, b), 0);
    EXPECT_EQ(mesh.FirstNode, nullptr);
    EXPECT_EQ(mesh.LastNode, nullptr);
    EXPECT_EQ(DeleteNode(&mesh, nullptr), -1);
    // IDs are never reused.
    EXPECT_EQ(Add(mesh, 0, 0, 1, 1)->ID, 4u);
}

TEST_F(MeshFixture, IDsAboveOneMillionWork)
{
    mesh.LastID = 999999;
    MeshNode* n = Add(mesh, 2, 1, 1, 1);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->ID, 1000000u);
    EXPECT_GT(mesh.IDToNodeSize, 1000000);
    EXPECT_EQ(CoordinateToAddress(&mesh, {2, 1}), n);
    DebugCapture log;
    PrintNodes(&mesh);
    EXPECT_TRUE(log.Contains("ID:1000000 "));
}

TEST(MeshModel, NullAndEmptyArguments)
{
    Mesh mesh;
    EXPECT_EQ(InitMesh(nullptr, nullptr), -1);
    EXPECT_EQ(CountNodes(nullptr), -1);
    EXPECT_EQ(AddNode(&mesh, nullptr), nullptr);
    EXPECT_EQ(GetFirstNode(nullptr), nullptr);
    EXPECT_EQ(CoordinateToID(&mesh, {0, 0}), 0u);
    EXPECT_EQ(SetNeighbour(&mesh, nullptr), -1);
    EXPECT_EQ(GetOrderX(nullptr), 0u);
    MeshRect r = GetRect(nullptr);
    EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0);
    DebugCapture log;
    EXPECT_EQ(PrintNodes(&mesh), 0);
    EXPECT_EQ(log.Text(), "Keine Nodes vorhanden\r\n");
    FreeMesh(nullptr);
}

TEST(MeshModel, RectanglesAreInclusiveAndAreasUsePixelSizes)
{
    MeshNode n;
    n.x = 5;
    n.y = 7;
    n.OrderX = 4;
    n.OrderY = 2;
    const MeshRect r = GetRect(&n);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({5, 7, 8, 8}));
    const MeshRect outer{0, 0, 9, 9};
    EXPECT_TRUE(IsRectInRect(outer, outer));
    EXPECT_FALSE(IsRectInRect({0, 0, 10, 9}, outer));
    EXPECT_TRUE(IsPointInRect(outer, {9, 0}));
    EXPECT_FALSE(IsCoordinateInRect(outer, MeshPoint{-1, 0}));
    SimMatrix board = BoardOfSize(10, 20);
    EXPECT_FLOAT_EQ(NodeGetArea(&board, &n), 4 * 0.01f * 2 * 0.02f);
    EXPECT_EQ(NodeGetArea(nullptr, &n), 0.0f);
}

TEST_F(MeshFixture, CompactingKeepsOrderIDsLooksUpsAndResults)
{
    std::vector<MeshNode*> nodes;
    for (uint32_t x = 0; x < 8; ++x) nodes.push_back(Add(mesh, x, 0, 1, 1));
    for (uint32_t x : {1u, 4u, 5u, 7u}) DeleteNode(&mesh, nodes[x]);
    MeshNode* kept = nodes[6];
    kept->IDTopL = 42;
    kept->Temperature[0] = 30.0;
    ASSERT_NE(NodeResults(&mesh, kept), nullptr);
    kept->Results->Voltage[0] = 1.25;

    ASSERT_EQ(CompactNodes(&mesh), 0);
    std::vector<uint32_t> ids;
    const MeshNode* previous = nullptr;
    for (const MeshNode* n = mesh.FirstNode; n != nullptr; n = n->pNextNode) {
        ids.push_back(n->ID);
        EXPECT_EQ(n->pPrevNode, previous);
        EXPECT_EQ(IDToAddress(&mesh, n->ID), n);
        EXPECT_EQ(CoordinateToAddress(&mesh, {int32_t(n->x), 0}), n);
        previous = n;
    }
    EXPECT_EQ(mesh.LastNode, previous);
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 3, 4, 7}));
    const MeshNode* moved = IDToAddress(&mesh, 7);
    EXPECT_EQ(moved->IDTopL, 42u);
    EXPECT_EQ(moved->Temperature[0], 30.0);
    EXPECT_EQ(ResultsOf(moved).Voltage[0], 1.25);
    // The mesh goes on growing and shrinking as before.
    EXPECT_EQ(Add(mesh, 1, 0, 1, 1)->ID, 9u);
    EXPECT_EQ(DeleteNode(&mesh, mesh.FirstNode), 0);
    EXPECT_EQ(CountNodes(&mesh), 4);
    EXPECT_EQ(CompactNodes(nullptr), -1);
}
