#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "../board/board_fixtures.h"
#include "mesh_test_support.h"
#include "support/board_generator.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

using namespace korvex;

namespace {
// An nx x ny board of `layers` layers, every pixel's copper set to `copper`.
struct Board : testing_board::OwnedBoard {
    SimMatrix& b = board;
    Board(uint32_t nx, uint32_t ny, int layers, float copper) : OwnedBoard(nx, ny, layers, false)
    {
        Init3DMatrix(b.CopperMatrix, nx, ny, layers, copper);
    }
};

Settings Options(uint32_t order, uint32_t asymmetric)
{
    Settings s;
    s.MaxMeshOrder = order;
    s.AsymmetricMesh = asymmetric;
    return s;
}

struct MeshHolder {
    Mesh m;
    ~MeshHolder() { FreeMesh(&m); }
};

struct CountingObserver : JobObserver {
    int repaints = 0;
    void Repaint() override { ++repaints; }
};
}  // namespace

TEST(MeshGeneration, TenBySixBoardWithOrderTwo)
{
    Board board(10, 6, 1, 1.0f);
    MeshHolder mesh;
    ASSERT_EQ(InitMesh(&mesh.m, &board.b), 0);
    const Settings s = Options(2, 0);
    CreateInitialMesh(&board.b, &mesh.m, &s);
    ASSERT_EQ(CountNodes(&mesh.m), 6);
    std::vector<std::pair<uint32_t, uint32_t>> corners;
    for (MeshNode* n = GetFirstNode(&mesh.m); n; n = GetNextNode(n)) {
        EXPECT_EQ(n->OrderX, 4u);
        corners.emplace_back(n->x, n->y);
    }
    const std::vector<std::pair<uint32_t, uint32_t>> expected{{0, 0}, {4, 0}, {8, 0}, {0, 4}, {4, 4}, {8, 4}};
    EXPECT_EQ(corners, expected);
    RefineMesh(&board.b, &mesh.m);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {}), "");
}

TEST(MeshGeneration, UniformBoardKeepsItsSquaresAndAViaGetsASinglePixel)
{
    Board board(16, 8, 2, 1.0f);
    MeshHolder mesh;
    const Settings s = Options(3, 0);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &s), 0);
    EXPECT_EQ(CountNodes(&mesh.m), 2);
    EXPECT_EQ(GetFirstNode(&mesh.m)->OrderX, 8u);

    Via via;
    via.x = 5;
    via.y = 2;
    AddPart(&board.b, PART_VIA, &via);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &s), 0);
    const MeshNode* n = CoordinateToAddress(&mesh.m, {5, 2});
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->OrderX, 1u);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {}), "");
}

TEST(MeshGeneration, SplitRules)
{
    Board board(8, 8, 3, 1.0f);
    board.b.CopperMatrix[6][1][2] = 0.0f;  // one pixel differs on one layer only
    MeshHolder mesh;
    const Settings s = Options(3, 0);
    CreateMesh(&board.b, &mesh.m, nullptr, &s);
    EXPECT_EQ(CoordinateToAddress(&mesh.m, {6, 1})->OrderX, 1u);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {}), "");

    MeshNode single;
    single.OrderX = single.OrderY = 1;
    EXPECT_EQ(IsUniform(&board.b, &single), 1);
    MeshNode beyond;
    beyond.x = 4;
    beyond.OrderX = beyond.OrderY = 8;
    EXPECT_EQ(IsUniform(&board.b, &beyond), 0);
    board.b.CopperMatrix[0][0][0] = std::numeric_limits<float>::quiet_NaN();
    beyond.x = 0;
    EXPECT_EQ(IsUniform(&board.b, &beyond), 0);
    const uint32_t last = mesh.m.LastID;
    EXPECT_EQ(SplitNode(&mesh.m, CoordinateToAddress(&mesh.m, {6, 1})), 0);  // width 1: untouched
    EXPECT_EQ(mesh.m.LastID, last);
}

TEST(MeshGeneration, MergeOnlyRightOrBottomNeighbours)
{
    Board board(4, 4, 1, 1.0f);
    MeshHolder mesh;
    const Settings s = Options(1, 0);
    CreateMesh(&board.b, &mesh.m, nullptr, &s);  // four 2 x 2 nodes
    MeshNode* tl = CoordinateToAddress(&mesh.m, {0, 0});
    MeshNode* br = CoordinateToAddress(&mesh.m, {2, 2});
    const auto before = MeshSnapshot(&mesh.m);
    EXPECT_EQ(MergeNode(&mesh.m, tl, br), nullptr);
    EXPECT_EQ(MergeNode(&mesh.m, br, tl), nullptr);
    EXPECT_EQ(MeshSnapshot(&mesh.m), before);
    MeshNode* merged = MergeNode(&mesh.m, tl, CoordinateToAddress(&mesh.m, {0, 2}));
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->OrderY, 4u);
    EXPECT_EQ(merged->ID, 5u);
    EXPECT_EQ(CoordinateToAddress(&mesh.m, {2, 3})->IDLeftB, merged->ID);
}

TEST(MeshGeneration, PartsKeepNodesApart)
{
    // Full copper, order 1 asymmetric: everything merges except around parts.
    Board board(8, 2, 1, 1.0f);
    Via via;
    via.x = 2;
    via.y = 0;
    AddPart(&board.b, PART_VIA, &via);
    Resistor r;  // two terminals side by side: merging them would short the resistor
    r.Net1X = 5, r.Net1Y = 1, r.Net2X = 6, r.Net2Y = 1;
    AddPart(&board.b, PART_RESISTOR, &r);
    MeshHolder mesh;
    const Settings s = Options(1, 1);
    CreateMesh(&board.b, &mesh.m, nullptr, &s);
    EXPECT_NE(CoordinateToID(&mesh.m, {5, 1}), CoordinateToID(&mesh.m, {6, 1}));
    EXPECT_EQ(CoordinateToAddress(&mesh.m, {2, 0})->OrderX, 1u);
    EXPECT_EQ(SplitbyPart(&board.b, &mesh.m, CoordinateToAddress(&mesh.m, {5, 1}),
                          CoordinateToAddress(&mesh.m, {6, 1})),
              1);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {false, false}), "");
    // Order 1 runs size 1 only: no node gets wider than 2.
    for (MeshNode* n = GetFirstNode(&mesh.m); n; n = GetNextNode(n)) EXPECT_LE(n->OrderX, 2u);
}

TEST(MeshGeneration, RefusesOrdersThatDoNotFit)
{
    Board board(4, 4, 1, 1.0f);
    MeshHolder mesh;
    const Settings good = Options(2, 1);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &good), 0);
    const auto before = MeshSnapshot(&mesh.m);
    DebugCapture log;
    const Settings bad = Options(31, 1);
    EXPECT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &bad), -1);
    EXPECT_TRUE(log.Contains("Max Mesh Order 31"));
    EXPECT_EQ(MeshSnapshot(&mesh.m), before);
    EXPECT_EQ(CreateMesh(nullptr, &mesh.m), -1);
    // The largest order that fits still works on a small board.
    const Settings largest = Options(30, 1);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &largest), 0);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {false, false}), "");
}

TEST(MeshGeneration, LogsStagesAndRepaints)
{
    Board board(32, 32, 1, 0.0f);
    board.b.CopperMatrix[3][3][0] = 1.0f;
    MeshHolder mesh;
    CountingObserver observer;
    DebugCapture log;
    MeshBuildReport report;
    const Settings s = Options(4, 1);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, &observer, &s, &report), 0);
    for (const char* text : {"InitMesh\r\n", "Create Initial Mesh\r\n", "Refine Mesh\r\n", "Optimize Mesh\r\n"})
        EXPECT_TRUE(log.Contains(text)) << text;
    EXPECT_TRUE(log.Contains(std::to_string(report.RefinedNodes) + " Nodes\r\n"));
    EXPECT_EQ(report.InitialNodes, 4);
    EXPECT_LT(report.OptimisedNodes, report.RefinedNodes);
    EXPECT_GE(observer.repaints, 3);
}

// The main property test: random boards of many sizes and layer counts, the
// optimisation checked against the independent restarting reference.
TEST(MeshGeneration, RandomBoardsKeepTheInvariantsAndMatchTheRestartingOptimisation)
{
    int boards = 0, merged = 0;
    for (uint32_t seed = 1; seed <= 240; ++seed) {
        const uint32_t nx = 1 + (seed * 7919) % 70, ny = 1 + (seed * 104729) % 50;
        const int layers = 1 + static_cast<int>(seed % 8);
        const Settings s = Options(seed % 6, 1);
        SimMatrix board;
        InitSimulationMatrix(&board);
        ASSERT_EQ(GenerateRandomBoard(&board, seed, nx, ny, layers, static_cast<int>(seed % 13)), 0);
        SCOPED_TRACE("seed " + std::to_string(seed) + " board " + std::to_string(nx) + "x" + std::to_string(ny) +
                     " layers " + std::to_string(layers) + " order " + std::to_string(s.MaxMeshOrder));

        MeshHolder fast, refinedOnly;
        Settings refineOnly = s;
        refineOnly.AsymmetricMesh = 0;
        ASSERT_EQ(CreateMesh(&board, &refinedOnly.m, nullptr, &refineOnly), 0);
        EXPECT_EQ(CheckMesh(&board, &refinedOnly.m, {}), "");
        const int refined = CountNodes(&refinedOnly.m);
        ReferenceOptimisation reference(&board, &refinedOnly.m);
        reference.Optimize(s.MaxMeshOrder);

        ASSERT_EQ(CreateMesh(&board, &fast.m, nullptr, &s), 0);
        EXPECT_EQ(CheckMesh(&board, &fast.m, {false, false}), "");
        EXPECT_EQ(MeshSnapshot(&fast.m), reference.Snapshot());
        merged += refined - CountNodes(&fast.m);
        freeSimulationMatrix(&board);
        ++boards;
    }
    EXPECT_EQ(boards, 240);
    EXPECT_GT(merged, 1000);  // the comparison exercised many merges
}

namespace {
// Covers [x, x+size) x [y, y+size) with a quadtree that splits at random,
// without any balancing, so sides may have many neighbours.
void AddRandomQuadtree(Mesh* mesh, std::mt19937& rng, uint32_t x, uint32_t y, uint32_t size)
{
    if (size > 1 && rng() % 100 < 45) {
        const uint32_t h = size / 2;
        AddRandomQuadtree(mesh, rng, x, y, h);
        AddRandomQuadtree(mesh, rng, x + h, y, h);
        AddRandomQuadtree(mesh, rng, x, y + h, h);
        AddRandomQuadtree(mesh, rng, x + h, y + h, h);
        return;
    }
    MeshNode n;
    n.x = x;
    n.y = y;
    n.OrderX = n.OrderY = size;
    n.bCopper[0] = rng() % 100 < 85 ? 1 : 0;
    AddNode(mesh, &n);
}
}  // namespace

// Unbalanced meshes leave neighbour IDs that a merge does not refresh; the
// queued optimisation must still follow the restarting walk merge for merge.
TEST(MeshGeneration, OptimisationStepsMatchTheRestartingWalkOnUnbalancedMeshes)
{
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Board board(32, 32, 1, 1.0f);
        Via via;
        via.x = seed % 32;
        via.y = (seed * 7) % 32;
        AddPart(&board.b, PART_VIA, &via);
        MeshHolder fast;
        std::mt19937 rng(seed);
        InitMesh(&fast.m, &board.b);
        AddRandomQuadtree(&fast.m, rng, 0, 0, 32);
        for (MeshNode* n = GetFirstNode(&fast.m); n; n = GetNextNode(n)) SetNeighbour(&fast.m, n);
        ReferenceOptimisation reference(&board.b, &fast.m);
        for (uint32_t size = 1; size <= 16; size *= 2)
            for (int direction : {0, 1}) {
                OptimizeMeshStep(&board.b, &fast.m, nullptr, size, direction);
                reference.Step(size, direction);
                ASSERT_EQ(MeshSnapshot(&fast.m), reference.Snapshot()) << "size " << size << " dir " << direction;
            }
    }
}

// A single pixel deep inside one huge node: every split cascades through all
// sizes, and the balancing keeps neighbours within 2x.
TEST(MeshGeneration, DeepBalancingCascade)
{
    Board board(1024, 1024, 1, 1.0f);
    Via via;
    via.x = 511;
    via.y = 512;
    AddPart(&board.b, PART_VIA, &via);
    MeshHolder mesh;
    const Settings s = Options(10, 0);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &s), 0);
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {}), "");
    EXPECT_LT(CountNodes(&mesh.m), 200);
}

// A 16 x 16 board, order 3, via at (7, 8), worked out by hand. Splitting node
// 18 (6,8) needs its right neighbour 9 (8,8) split first, and 9 needs its top
// neighbour 2 (8,0) split before that: balancing two levels deep. Order of
// the wider neighbours: left, right, top, bottom.
//   3 -> 5..8; 6 (4,8): right 4 -> 9..12, top 1 -> 13..16, 6 -> 17..20;
//   18 (6,8): right 9 (top 2 -> 21..24) -> 25..28, top 16 -> 29..32, 18 -> 33..36.
TEST(MeshGeneration, BalancingTwoLevelsDeepWorkedByHand)
{
    Board board(16, 16, 1, 1.0f);
    Via via;
    via.x = 7;
    via.y = 8;
    AddPart(&board.b, PART_VIA, &via);
    MeshHolder mesh;
    const Settings s = Options(3, 0);
    ASSERT_EQ(CreateMesh(&board.b, &mesh.m, nullptr, &s), 0);
    const uint32_t expected[16][16] = {  // [y][x]
        {13, 13, 13, 13, 14, 14, 14, 14, 21, 21, 21, 21, 22, 22, 22, 22},
        {13, 13, 13, 13, 14, 14, 14, 14, 21, 21, 21, 21, 22, 22, 22, 22},
        {13, 13, 13, 13, 14, 14, 14, 14, 21, 21, 21, 21, 22, 22, 22, 22},
        {13, 13, 13, 13, 14, 14, 14, 14, 21, 21, 21, 21, 22, 22, 22, 22},
        {15, 15, 15, 15, 29, 29, 30, 30, 23, 23, 23, 23, 24, 24, 24, 24},
        {15, 15, 15, 15, 29, 29, 30, 30, 23, 23, 23, 23, 24, 24, 24, 24},
        {15, 15, 15, 15, 31, 31, 32, 32, 23, 23, 23, 23, 24, 24, 24, 24},
        {15, 15, 15, 15, 31, 31, 32, 32, 23, 23, 23, 23, 24, 24, 24, 24},
        {5, 5, 5, 5, 17, 17, 33, 34, 25, 25, 26, 26, 10, 10, 10, 10},
        {5, 5, 5, 5, 17, 17, 35, 36, 25, 25, 26, 26, 10, 10, 10, 10},
        {5, 5, 5, 5, 19, 19, 20, 20, 27, 27, 28, 28, 10, 10, 10, 10},
        {5, 5, 5, 5, 19, 19, 20, 20, 27, 27, 28, 28, 10, 10, 10, 10},
        {7, 7, 7, 7, 8, 8, 8, 8, 11, 11, 11, 11, 12, 12, 12, 12},
        {7, 7, 7, 7, 8, 8, 8, 8, 11, 11, 11, 11, 12, 12, 12, 12},
        {7, 7, 7, 7, 8, 8, 8, 8, 11, 11, 11, 11, 12, 12, 12, 12},
        {7, 7, 7, 7, 8, 8, 8, 8, 11, 11, 11, 11, 12, 12, 12, 12},
    };
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(CoordinateToID(&mesh.m, {x, y}), expected[y][x]) << x << "," << y;
    EXPECT_EQ(mesh.m.LastID, 36u);
    EXPECT_EQ(CountNodes(&mesh.m), 28);
    // Every ID on the map is a node of exactly the rectangle it covers there, with fresh neighbours.
    EXPECT_EQ(CheckMesh(&board.b, &mesh.m, {}), "");
}
