#pragma once
// Which squares of the copper raster are uniform (every pixel on every layer
// equal to the square's top-left pixel, a NaN equal to nothing), for the
// aligned squares the refinement visits: side 2^k at multiples of 2^k, wholly
// on the board. Worked out for all of them at once, bottom up (a square is
// uniform when its four quarters are and their top-left pixels equal its own),
// so the refinement asks in constant time instead of scanning every node's
// pixels again on every level. The same pass notes which layers of every pixel
// hold copper. Private to src/core/mesh.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvex {

struct SimMatrix;
struct MeshNode;

class UniformSquares {
public:
    // Squares up to side 2^maxLevel (and no larger than the board); nothing
    // for a board without copper raster.
    UniformSquares(const SimMatrix* board, uint32_t maxLevel);

    // 1 or 0 for an aligned square node of side 2 or more wholly on the board;
    // -1 for any other node (the caller scans its pixels instead).
    int Lookup(const MeshNode* node) const;

    // The copper flags of a pixel on the board, bit l set when layer l holds
    // copper (value above 0). Only with HasCopperBits().
    bool HasCopperBits() const { return copperBits_ != nullptr; }
    uint8_t CopperBits(uint32_t x, uint32_t y) const { return copperBits_[size_t(x) * size_t(rows_) + y]; }

private:
    struct Level {
        int64_t columns = 0;  // squares across (x)
        int64_t rows = 0;     // squares down (y)
        std::vector<uint8_t> uniform;  // [column * rows + row]
    };
    std::vector<Level> levels_;  // levels_[k - 1]: side 2^k
    int64_t rows_ = 0;           // pixels down
    std::unique_ptr<uint8_t[]> copperBits_;  // [x * rows_ + y], written by the two cores as they go
};

}  // namespace korvex
