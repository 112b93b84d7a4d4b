#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <random>

#include "board/settings.h"
#include "board/settings_file.h"
#include "mesh/mesh_generation.h"
#include "mesh_test_support.h"
#include "support/board_generator.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

using namespace korvex;

namespace {
// An nx x ny board of `layers` layers, every pixel's copper set to `copper`.
struct Board : TestBoard {
    Board(int nx, int ny, int layers, float copper) : TestBoard(layers, nx, ny)
    {
        for (int l = 0; l < layers; ++l) FillCopper(l, copper);
    }
    void AddVia(uint32_t x, uint32_t y)
    {
        Via via;
        via.x = x, via.y = y;
        Add(PART_VIA, via);
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

TEST(MeshGeneration, SplitAndUniformityEdgeCases)
{
    Board b(8, 8, 3, 1.0f);
    MeshNode single;
    single.OrderX = single.OrderY = 1;
    EXPECT_EQ(IsUniform(&b.board, &single), 1);
    MeshNode beyond;
    beyond.x = 4;
    beyond.OrderX = beyond.OrderY = 8;
    EXPECT_EQ(IsUniform(&b.board, &beyond), 0);
    b.board.CopperMatrix[0][0][0] = std::numeric_limits<float>::quiet_NaN();
    beyond.x = 0;
    EXPECT_EQ(IsUniform(&b.board, &beyond), 0);
    MeshNode* pixel = b.Node(6, 1, 1, 1);
    const uint32_t last = b.mesh.LastID;
    EXPECT_EQ(SplitNode(&b.mesh, pixel), 0);  // width 1: untouched
    EXPECT_EQ(b.mesh.LastID, last);
}

TEST(MeshGeneration, MergeOnlyRightOrBottomNeighbours)
{
    Board b(4, 4, 1, 1.0f);
    const Settings s = Options(1, 0);
    CreateMesh(&b.board, &b.mesh, nullptr, &s);  // four 2 x 2 nodes
    MeshNode* tl = b.At(0, 0);
    MeshNode* br = b.At(2, 2);
    const auto before = MeshSnapshot(&b.mesh);
    EXPECT_EQ(MergeNode(&b.mesh, tl, br), nullptr);
    EXPECT_EQ(MergeNode(&b.mesh, br, tl), nullptr);
    EXPECT_EQ(MeshSnapshot(&b.mesh), before);
    MeshNode* merged = MergeNode(&b.mesh, tl, b.At(0, 2));
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->OrderY, 4u);
    EXPECT_EQ(merged->ID, 5u);
    EXPECT_EQ(b.At(2, 3)->IDLeftB, merged->ID);
}

TEST(MeshGeneration, RefusesOrdersThatDoNotFit)
{
    Board b(4, 4, 1, 1.0f);
    const Settings good = Options(2, 1);
    ASSERT_EQ(CreateMesh(&b.board, &b.mesh, nullptr, &good), 0);
    const auto before = MeshSnapshot(&b.mesh);
    DebugCapture log;
    const Settings bad = Options(31, 1);
    EXPECT_EQ(CreateMesh(&b.board, &b.mesh, nullptr, &bad), -1);
    EXPECT_TRUE(log.Contains("Max Mesh Order 31"));
    EXPECT_EQ(MeshSnapshot(&b.mesh), before);
    EXPECT_EQ(CreateMesh(nullptr, &b.mesh), -1);
    // The largest order that fits still works on a small board.
    const Settings largest = Options(30, 1);
    ASSERT_EQ(CreateMesh(&b.board, &b.mesh, nullptr, &largest), 0);
    EXPECT_EQ(CheckMesh(&b.board, &b.mesh, false), "");
}

TEST(MeshGeneration, ReportsNodeCountsAndRepaints)
{
    Board b(32, 32, 1, 0.0f);
    b.board.CopperMatrix[3][3][0] = 1.0f;
    CountingObserver observer;
    MeshBuildReport report;
    const Settings s = Options(4, 1);
    ASSERT_EQ(CreateMesh(&b.board, &b.mesh, &observer, &s, &report), 0);
    EXPECT_EQ(report.InitialNodes, 4);
    EXPECT_EQ(report.OptimisedNodes, CountNodes(&b.mesh));
    EXPECT_LT(report.OptimisedNodes, report.RefinedNodes);
    EXPECT_GE(observer.repaints, 3);
}

// The main property test: random boards of many sizes and layer counts, the
// optimisation checked against the independent restarting reference.
TEST(MeshGeneration, RandomBoardsKeepTheInvariantsAndMatchTheRestartingOptimisation)
{
    int merged = 0;
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
        EXPECT_EQ(CheckMesh(&board, &refinedOnly.m), "");
        const int refined = CountNodes(&refinedOnly.m);
        ReferenceOptimisation reference(&board, &refinedOnly.m);
        reference.Optimize(s.MaxMeshOrder);

        ASSERT_EQ(CreateMesh(&board, &fast.m, nullptr, &s), 0);
        EXPECT_EQ(CheckMesh(&board, &fast.m, false), "");
        EXPECT_EQ(MeshSnapshot(&fast.m), reference.Snapshot());
        merged += refined - CountNodes(&fast.m);
        freeSimulationMatrix(&board);
    }
    EXPECT_GT(merged, 1000);  // the comparison exercised many merges
}

// A board large enough for the paths that use both cores (uniform squares, node blocks and
// ID tables made ahead, compaction in two halves) keeps every invariant; the restarting
// reference would take minutes here, the random boards above compare the merges.
TEST(MeshGeneration, LargeBoardKeepsTheInvariants)
{
    SimMatrix board;
    InitSimulationMatrix(&board);
    ASSERT_EQ(GenerateBenchmarkBoard(&board, 600), 0);
    Settings s = DefaultSettings();
    for (uint32_t asymmetric : {0u, 1u}) {
        s.AsymmetricMesh = asymmetric;
        MeshHolder mesh;
        ASSERT_EQ(CreateMesh(&board, &mesh.m, nullptr, &s), 0);
        EXPECT_GE(CountNodes(&mesh.m), 16384);
        EXPECT_EQ(CheckMesh(&board, &mesh.m, asymmetric == 0), "") << "asymmetric " << asymmetric;
    }
    freeSimulationMatrix(&board);
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
        Board b(32, 32, 1, 1.0f);
        b.AddVia(seed % 32, (seed * 7) % 32);
        std::mt19937 rng(seed);
        AddRandomQuadtree(&b.mesh, rng, 0, 0, 32);
        b.Link();
        ReferenceOptimisation reference(&b.board, &b.mesh);
        for (uint32_t size = 1; size <= 16; size *= 2)
            for (int direction : {0, 1}) {
                OptimizeMeshStep(&b.board, &b.mesh, nullptr, size, direction);
                reference.Step(size, direction);
                ASSERT_EQ(MeshSnapshot(&b.mesh), reference.Snapshot()) << "size " << size << " dir " << direction;
            }
    }
}

// On unbalanced meshes some records go stale; a split still leaves the
// neighbours it names reading the ID matrix afresh, whatever they held.
TEST(MeshGeneration, SplitsOnUnbalancedMeshesRefreshTheNamedNeighbours)
{
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Board b(32, 32, 1, 1.0f);
        std::mt19937 rng(seed);
        AddRandomQuadtree(&b.mesh, rng, 0, 0, 32);
        b.Link();
        for (int split = 0; split < 12; ++split) {
            MeshNode* node = CoordinateToAddress(&b.mesh, {int32_t(rng() % 32), int32_t(rng() % 32)});
            if (node->OrderX == 1) continue;  // nothing to split
            const std::array<uint32_t, 8> named = Neighbours(node);
            ASSERT_EQ(SplitNode(&b.mesh, node), 0);
            for (uint32_t id : named)
                if (const MeshNode* n = IDToAddress(&b.mesh, id)) {
                    MeshNode fresh = *n;
                    SetNeighbour(&b.mesh, &fresh);
                    ASSERT_EQ(Neighbours(&fresh), Neighbours(n)) << "split " << split << " neighbour " << id;
                }
        }
    }
}

// A single pixel deep inside one huge node: every split cascades through all
// sizes, and the balancing keeps neighbours within 2x.
TEST(MeshGeneration, DeepBalancingCascade)
{
    Board b(1024, 1024, 1, 1.0f);
    b.AddVia(511, 512);
    const Settings s = Options(10, 0);
    ASSERT_EQ(CreateMesh(&b.board, &b.mesh, nullptr, &s), 0);
    EXPECT_EQ(CheckMesh(&b.board, &b.mesh), "");
    EXPECT_LT(CountNodes(&b.mesh), 200);
}

// A 16 x 16 board, order 3, via at (7, 8), worked out by hand. Splitting node
// 18 (6,8) needs its right neighbour 9 (8,8) split first, and 9 needs its top
// neighbour 2 (8,0) split before that: balancing two levels deep. Order of
// the wider neighbours: left, right, top, bottom.
//   3 -> 5..8; 6 (4,8): right 4 -> 9..12, top 1 -> 13..16, 6 -> 17..20;
//   18 (6,8): right 9 (top 2 -> 21..24) -> 25..28, top 16 -> 29..32, 18 -> 33..36.
TEST(MeshGeneration, BalancingTwoLevelsDeepWorkedByHand)
{
    Board b(16, 16, 1, 1.0f);
    b.AddVia(7, 8);
    const Settings s = Options(3, 0);
    ASSERT_EQ(CreateMesh(&b.board, &b.mesh, nullptr, &s), 0);
    // ID, x, y, size of every node in list order; CheckMesh below makes sure
    // that together they cover the board exactly once.
    const std::vector<std::array<uint32_t, 4>> expected = {
        {5, 0, 8, 4},   {7, 0, 12, 4},  {8, 4, 12, 4},  {10, 12, 8, 4}, {11, 8, 12, 4}, {12, 12, 12, 4}, {13, 0, 0, 4},
        {14, 4, 0, 4},  {15, 0, 4, 4},  {17, 4, 8, 2},  {19, 4, 10, 2}, {20, 6, 10, 2}, {21, 8, 0, 4},   {22, 12, 0, 4},
        {23, 8, 4, 4},  {24, 12, 4, 4}, {25, 8, 8, 2},  {26, 10, 8, 2}, {27, 8, 10, 2}, {28, 10, 10, 2}, {29, 4, 4, 2},
        {30, 6, 4, 2},  {31, 4, 6, 2},  {32, 6, 6, 2},  {33, 6, 8, 1},  {34, 7, 8, 1},  {35, 6, 9, 1},   {36, 7, 9, 1}};
    std::vector<std::array<uint32_t, 4>> nodes;
    for (const MeshNode* n = GetFirstNode(&b.mesh); n; n = GetNextNode(n)) {
        EXPECT_EQ(n->OrderX, n->OrderY) << n->ID;
        nodes.push_back({n->ID, n->x, n->y, n->OrderX});
    }
    EXPECT_EQ(nodes, expected);
    EXPECT_EQ(b.mesh.LastID, 36u);
    // Every node is the only owner of the pixels it covers, with fresh neighbours.
    EXPECT_EQ(CheckMesh(&b.board, &b.mesh), "");
}
