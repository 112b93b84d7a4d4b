// The big benchmark board must be a DC problem the CLI accepts, and its vias
// must not short a power region to ground (the drop figures would be
// meaningless). The islands are found here by a flood fill of the test's own.
#include <gtest/gtest.h>

#include <vector>

#include "board/part_list.h"
#include "board/sim_matrix.h"
#include "jobs/board_checks.h"
#include "support/big_board_generator.h"

using namespace korvex;

namespace {

// Copper islands of all layers, 4-connected, merged through every via.
struct Nets {
    explicit Nets(const SimMatrix& b) : n(b.CountPixelX), label(size_t(n) * n * 8, -1)
    {
        for (int l = 0; l < 8; ++l)
            for (uint32_t x0 = 0; x0 < n; ++x0)
                for (uint32_t y0 = 0; y0 < n; ++y0) {
                    if (b.CopperMatrix[x0][y0][l] <= 0 || label[At(x0, y0, l)] >= 0) continue;
                    const int id = int(parent.size());
                    parent.push_back(id);
                    std::vector<std::pair<uint32_t, uint32_t>> todo{{x0, y0}};
                    label[At(x0, y0, l)] = id;
                    while (!todo.empty()) {
                        const auto [x, y] = todo.back();
                        todo.pop_back();
                        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                            const uint32_t nx = x + uint32_t(dx), ny = y + uint32_t(dy);
                            if (nx >= n || ny >= n || b.CopperMatrix[nx][ny][l] <= 0 || label[At(nx, ny, l)] >= 0) continue;
                            label[At(nx, ny, l)] = id;
                            todo.push_back({nx, ny});
                        }
                    }
                }
        for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext) {
            if (p->Kind != PART_VIA) continue;
            const Via* v = PartRecord<Via>(p);
            int first = -1;
            for (int l = 0; l < 8; ++l)
                if (const int id = label[At(v->x, v->y, l)]; id >= 0) {
                    if (first >= 0) parent[Find(id)] = Find(first);
                    first = first < 0 ? id : first;
                }
        }
    }
    size_t At(uint32_t x, uint32_t y, int l) const { return (size_t(x) * n + y) * 8 + size_t(l); }
    int Find(int i) { return parent[i] == i ? i : parent[i] = Find(parent[i]); }
    int Net(uint32_t x, uint32_t y, int l) { return label[At(x, y, l)] < 0 ? -1 : Find(label[At(x, y, l)]); }
    uint32_t n;
    std::vector<int> label, parent;
};

TEST(BigBoard, IsAWellPosedDcProblemWithoutShortsBetweenPowerAndGround)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        SimMatrix board;
        BigBoardCounts counts;
        ASSERT_EQ(GenerateBigBoard(&board, 320, seed, &counts), 0);
        EXPECT_EQ(board.LayerCount, 8);
        EXPECT_EQ(CheckBoardParts(board), "");
        EXPECT_EQ(CheckDcConnections(board), "");
        EXPECT_GE(counts.PowerRegions, 4);  // both power planes are split
        EXPECT_GE(counts.Loads, 20);
        EXPECT_GE(counts.Vias, 15);
        // The net of every load's power end differs from every ground net.
        Nets nets(board);
        std::vector<int> groundNets, powerNets;
        for (const Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_CURRENT) {
                const Current* c = PartRecord<Current>(p);
                groundNets.push_back(nets.Net(c->Net1X, c->Net1Y, int(c->Net1Z)));
                powerNets.push_back(nets.Net(c->Net2X, c->Net2Y, int(c->Net2Z)));
            }
        for (int power : powerNets)
            for (int ground : groundNets) ASSERT_NE(power, ground);
    }
}

TEST(BigBoard, SameSeedSameBoardAndTooSmallRefused)
{
    const auto copper = [](uint32_t seed) {
        SimMatrix board;
        EXPECT_EQ(GenerateBigBoard(&board, 256, seed), 0);
        std::vector<float> all;
        for (uint32_t x = 0; x < 256; ++x)
            for (uint32_t y = 0; y < 256; ++y)
                for (int l = 0; l < 8; ++l) all.push_back(board.CopperMatrix[x][y][l]);
        for (const Part* p = board.pFirstPart; p != nullptr; p = p->pNext) all.push_back(float(p->Kind));
        return all;
    };
    EXPECT_EQ(copper(7), copper(7));
    EXPECT_NE(copper(7), copper(8));
    SimMatrix board;
    EXPECT_EQ(GenerateBigBoard(&board, 255), -1);
}

}  // namespace
