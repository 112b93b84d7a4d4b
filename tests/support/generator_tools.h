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
    // Pads 4 pixels wide every 6 pixels on all sides of a w x h body at (x0, y0), `reach` pixels out.
    void PadRing(int64_t x0, int64_t y0, int64_t w, int64_t h, int64_t reach, int layer)
    {
        for (int64_t x = x0 + 2; x + 3 < x0 + w; x += 6) {
            Fill(x, y0 - reach, x + 3, y0 - 2, layer, 1.0f);
            Fill(x, y0 + h + 2, x + 3, y0 + h + reach, layer, 1.0f);
        }
        for (int64_t y = y0 + 2; y + 3 < y0 + h; y += 6) {
            Fill(x0 - reach, y, x0 - 2, y + 3, layer, 1.0f);
            Fill(x0 + w + 2, y, x0 + w + reach, y + 3, layer, 1.0f);
        }
    }
    // A trace of `segments` straight runs, each 20 to `longest` pixels along x or y, from
    // (x, y) to its end, where it leaves (x, y).
    void Trace(Dice& dice, int64_t& x, int64_t& y, int64_t width, int segments, int64_t longest, int layer)
    {
        for (int s = 0; s < segments; ++s) {
            const int64_t length = dice.Range(20, longest);
            if (dice.Chance(50)) {
                const int64_t to = std::clamp<int64_t>(x + (dice.Chance(50) ? length : -length), 0, nx - 1);
                Fill(std::min(x, to), y, std::max(x, to), y + width - 1, layer, 1.0f);
                x = to;
            } else {
                const int64_t to = std::clamp<int64_t>(y + (dice.Chance(50) ? length : -length), 0, ny - 1);
                Fill(x, std::min(y, to), x + width - 1, std::max(y, to), layer, 1.0f);
                y = to;
            }
        }
    }
};

}  // namespace korvex::generator
