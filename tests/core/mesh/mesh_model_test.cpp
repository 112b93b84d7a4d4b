#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "mesh/mesh_node_results.h"
#include "mesh_test_support.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
struct MeshFixture : ::testing::Test {
    TestBoard tb{1, 8, 4};
    Mesh& mesh = tb.mesh;
    MeshNode* Add(uint32_t x, uint32_t y, uint32_t w, uint32_t h) { return tb.Node(int(x), int(y), int(w), int(h)); }
};
}  // namespace

TEST_F(MeshFixture, LookUpsOutsideTheBoardGiveNoNodeAndNodesBeyondItWriteOnlyBoardPixels)
{
    for (int i = 0; i < 10; ++i) Add(0, 0, 1, 1);  // past the first size of the ID table
    EXPECT_EQ(IDToAddress(&mesh, 10)->ID, 10u);
    for (uint32_t id = 11; id <= uint32_t(mesh.IDToNodeSize); ++id) EXPECT_EQ(IDToAddress(&mesh, id), nullptr);
    EXPECT_EQ(IDToAddress(&mesh, 0), nullptr);
    Add(0, 0, 4, 4);
    Add(4, 0, 4, 4);
    for (MeshPoint p : {MeshPoint{-1, 0}, MeshPoint{0, -1}, MeshPoint{8, 0}, MeshPoint{0, 4}})
        EXPECT_EQ(CoordinateToID(&mesh, p), 0u) << p.x << "," << p.y;
    EXPECT_EQ(CoordinateToID(&mesh, {7, 3}), 12u);
    EXPECT_EQ(CoordinateToAddress(&mesh, {3, 3})->ID, 11u);
    EXPECT_EQ(SetIDMatrix(&mesh, 8, 0, 5), -1);
    EXPECT_TRUE(IsSameNode(&mesh, {0, 0}, {3, 3}));
    EXPECT_FALSE(IsSameNode(&mesh, {3, 0}, {4, 0}));

    // A 16 x 16 node on the 8 x 4 board: the IDMatrix stays in bounds.
    MeshNode* big = Add(0, 0, 16, 16);
    ASSERT_NE(big, nullptr);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) EXPECT_EQ(mesh.IDMatrix[x][y], big->ID);
    SetNeighbour(&mesh, big);
    for (int slot = 0; slot < kNeighbourSlots; ++slot) EXPECT_EQ(NeighbourID(big, slot), 0u);
}

TEST_F(MeshFixture, NeighboursOfOneLargeAndTwoSmallNodes)
{
    // Left: a 4 x 4 node (1); right: two 2 x 2 nodes stacked (2, 3), then a 2 x 4 column (4).
    using Slots = std::array<uint32_t, 8>;  // TopL, TopR, RightT, RightB, BotL, BotR, LeftT, LeftB
    MeshNode* big = Add(0, 0, 4, 4);
    MeshNode* upper = Add(4, 0, 2, 2);
    MeshNode* lower = Add(4, 2, 2, 2);
    MeshNode* column = Add(6, 0, 2, 4);
    tb.Link();
    EXPECT_EQ(Neighbours(big), (Slots{0, 0, 2, 3, 0, 0, 0, 0}));
    EXPECT_EQ(Neighbours(upper), (Slots{0, 0, 4, 4, 3, 3, 1, 1}));
    EXPECT_EQ(Neighbours(lower), (Slots{2, 2, 4, 4, 0, 0, 1, 1}));
    EXPECT_EQ(Neighbours(column), (Slots{0, 0, 0, 0, 0, 0, 2, 3}));

    // Replacing the right column by two halves (5, 6): SetAllNeighbour
    // refreshes the nodes that saw the old one.
    DeleteNode(&mesh, column);
    MeshNode* top = Add(6, 0, 2, 2);
    MeshNode* bottom = Add(6, 2, 2, 2);
    SetAllNeighbour(&mesh, top);
    SetAllNeighbour(&mesh, bottom);
    EXPECT_EQ(Neighbours(upper), (Slots{0, 0, 5, 5, 3, 3, 1, 1}));
    EXPECT_EQ(Neighbours(lower), (Slots{2, 2, 6, 6, 0, 0, 1, 1}));
    EXPECT_EQ(Neighbours(top), (Slots{0, 0, 0, 0, 6, 6, 2, 2}));
}

TEST_F(MeshFixture, DeletingKeepsTheListConsistent)
{
    MeshNode* a = Add(0, 0, 1, 1);
    MeshNode* b = Add(1, 0, 1, 1);
    MeshNode* c = Add(2, 0, 1, 1);
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
    EXPECT_EQ(Add(0, 0, 1, 1)->ID, 4u);
}

TEST_F(MeshFixture, IDsAboveOneMillionWork)
{
    mesh.LastID = 999999;
    MeshNode* n = Add(2, 1, 1, 1);
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
    EXPECT_EQ(PrintNodes(&mesh), 0);
    FreeMesh(nullptr);
}

TEST(MeshModel, RectanglesAreInclusiveAndAreasUsePixelSizes)
{
    TestBoard b(1, 10, 20, 0.01f, 0.02f);
    const MeshNode* n = b.Node(5, 7, 4, 2);
    const MeshRect r = GetRect(n);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({5, 7, 8, 8}));
    const MeshRect outer{0, 0, 9, 9};
    EXPECT_TRUE(IsRectInRect(outer, outer));
    EXPECT_FALSE(IsRectInRect({0, 0, 10, 9}, outer));
    EXPECT_TRUE(IsPointInRect(outer, {9, 0}));
    EXPECT_FALSE(IsCoordinateInRect(outer, MeshPoint{-1, 0}));
    EXPECT_FLOAT_EQ(NodeGetArea(&b.board, n), 4 * 0.01f * 2 * 0.02f);
    EXPECT_EQ(NodeGetArea(nullptr, n), 0.0f);
}

TEST_F(MeshFixture, CompactingKeepsOrderIDsLooksUpsAndResults)
{
    std::vector<MeshNode*> nodes;
    for (uint32_t x = 0; x < 8; ++x) nodes.push_back(Add(x, 0, 1, 1));
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
    EXPECT_EQ(Add(1, 0, 1, 1)->ID, 9u);
    EXPECT_EQ(DeleteNode(&mesh, mesh.FirstNode), 0);
    EXPECT_EQ(CountNodes(&mesh), 4);
    EXPECT_EQ(CompactNodes(nullptr), -1);
}
