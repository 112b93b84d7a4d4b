#pragma once
// What both board generators draw with: dice that give the same numbers on
// every platform, and copper painted in rectangles and discs clipped to the board.
#include <algorithm>
#include <cstdint>
#include <random>

#include "board/sim_matrix.h"

namespace korvex::generator {

// Same numbers on every platform (the standard distributions are not).
class Dice {
public:
    explicit Dice(uint32_t seed) : engine_(seed) {}
    // Uniform in [lo, hi].
    int64_t Range(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(engine_() % uint64_t(hi - lo + 1)); }
    bool Chance(int percent) { return Range(0, 99) < percent; }

private:
    std::mt19937_64 engine_;
};

// A new board of countX x countY pixels of `pitch` metres with every raster
// (temperatures at ambient); 0 on success.
inline int PrepareBoard(SimMatrix* board, uint32_t countX, uint32_t countY, int layers, float pitch)
{
    if (board == nullptr || countX == 0 || countY == 0 || layers < 1 || layers > kMaxLayers) return -1;
    InitSimulationMatrix(board);  // layer stack and material defaults of a new board
    if (SetLayerCount(board, layers) != 0) return -1;
    SetSize(board, pitch * static_cast<float>(countX), pitch * static_cast<float>(countY), countX, countY, nullptr,
            nullptr);
    return MallocAllMatrices(board);
}

inline uint32_t U(int64_t v)
{
    return static_cast<uint32_t>(v);
}

// The copper raster of a board of nx x ny pixels.
struct CopperPaint {
    SimMatrix* b;
    int64_t nx, ny;
    void Fill(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int layer, float value)
    {
        for (int64_t x = std::max<int64_t>(x0, 0); x <= std::min(x1, nx - 1); ++x)
            for (int64_t y = std::max<int64_t>(y0, 0); y <= std::min(y1, ny - 1); ++y)
                b->CopperMatrix[x][y][layer] = value;
    }
    // A disc of radius r around (cx, cy).
    void Disc(int64_t cx, int64_t cy, int64_t r, int layer, float value)
    {
        for (int64_t x = cx - r; x <= cx + r; ++x)
            for (int64_t y = cy - r; y <= cy + r; ++y)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Fill(x, y, x, y, layer, value);
    }
    bool At(int64_t x, int64_t y, int layer) const { return b->CopperMatrix[x][y][layer] > 0.0f; }
};

}  // namespace korvex::generator
