#include "mesh/uniform_squares.h"

#include <algorithm>
#include <new>

#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"
#include "util/side_by_side.h"

namespace korvex {

namespace {
bool SamePixel(const float* pixel, const float* reference, int layers)
{
    for (int l = 0; l < layers; ++l)
        if (!(pixel[l] == reference[l])) return false;
    return true;
}

uint8_t CopperBitsOf(const float* pixel, int layers)
{
    unsigned bits = 0;
    for (int l = 0; l < layers; ++l) bits |= (pixel[l] > 0.0f ? 1u : 0u) << l;
    return static_cast<uint8_t>(bits);
}
}  // namespace

UniformSquares::UniformSquares(const SimMatrix* board, uint32_t maxLevel)
{
    if (board == nullptr || board->CopperMatrix == nullptr) return;
    const int64_t nx = board->CountPixelX, ny = board->CountPixelY;
    if (nx <= 0 || ny <= 0) return;
    const int layers = std::clamp(board->LayerCount, 0, kMaxLayers);
    float* const* const* copper = board->CopperMatrix;
    rows_ = ny;
    copperBits_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(nx * ny)]);
    if (copperBits_ == nullptr) return;
    maxLevel = std::min<uint32_t>(maxLevel, 30);
    for (uint32_t k = 1; k <= maxLevel && (nx >> k) > 0 && (ny >> k) > 0; ++k) {
        Level level;
        level.columns = nx >> k;
        level.rows = ny >> k;
        level.uniform.resize(static_cast<size_t>(level.columns * level.rows));
        levels_.push_back(std::move(level));
    }

    // The copper flags of every pixel and the squares of side 2, each half of
    // the columns on one core: this reads the whole raster. The top-left pixel
    // is compared with itself too, so that a NaN there makes the square
    // non-uniform.
    const auto copperBitsOfColumn = [&](int64_t x) {
        float* const* column = copper[x];
        uint8_t* out = copperBits_.get() + x * ny;
        for (int64_t y = 0; y < ny; ++y) out[y] = CopperBitsOf(column[y], layers);
    };
    const auto columnPairs = [&](int64_t first, int64_t end) {
        for (int64_t c = first; c < end; ++c) {
            copperBitsOfColumn(2 * c);
            copperBitsOfColumn(2 * c + 1);
            if (levels_.empty()) continue;
            Level& pairs = levels_[0];
            float* const* left = copper[2 * c];
            float* const* right = copper[2 * c + 1];
            uint8_t* out = pairs.uniform.data() + c * pairs.rows;
            for (int64_t r = 0; r < pairs.rows; ++r) {
                const float* reference = left[2 * r];
                out[r] = SamePixel(reference, reference, layers) && SamePixel(left[2 * r + 1], reference, layers) &&
                         SamePixel(right[2 * r], reference, layers) && SamePixel(right[2 * r + 1], reference, layers);
            }
        }
    };
    // A small board is not worth a thread.
    constexpr int64_t kSplitFrom = int64_t(1) << 18;  // pixels
    const int64_t pairColumns = nx / 2, half = pairColumns / 2;
    if (nx * ny >= kSplitFrom)
        RunSideBySide([&] { columnPairs(half, pairColumns); }, [&] { columnPairs(0, half); });
    else
        columnPairs(0, pairColumns);
    if (nx % 2 != 0) copperBitsOfColumn(nx - 1);

    // Larger sides from their quarters: uniform quarters whose top-left pixels
    // equal the square's (== is transitive between numbers; a NaN anywhere
    // already made its quarter non-uniform).
    for (size_t k = 1; k < levels_.size(); ++k) {
        const Level& below = levels_[k - 1];
        Level& level = levels_[k];
        const int64_t side = int64_t(1) << (k + 1), quarter = side / 2;
        for (int64_t c = 0; c < level.columns; ++c)
            for (int64_t r = 0; r < level.rows; ++r) {
                const uint8_t* left = below.uniform.data() + (2 * c) * below.rows + 2 * r;
                const uint8_t* right = left + below.rows;
                bool uniform = left[0] && left[1] && right[0] && right[1];
                if (uniform) {
                    const int64_t x = c * side, y = r * side;
                    const float* reference = copper[x][y];
                    uniform = SamePixel(copper[x][y + quarter], reference, layers) &&
                              SamePixel(copper[x + quarter][y], reference, layers) &&
                              SamePixel(copper[x + quarter][y + quarter], reference, layers);
                }
                level.uniform[static_cast<size_t>(c * level.rows + r)] = uniform ? 1 : 0;
            }
    }
}

int UniformSquares::Lookup(const MeshNode* node) const
{
    const uint32_t side = node->OrderX;
    if (side != node->OrderY || side < 2 || (side & (side - 1)) != 0) return -1;
    const int k = __builtin_ctz(side);
    if (static_cast<size_t>(k) > levels_.size() || node->x % side != 0 || node->y % side != 0) return -1;
    const Level& level = levels_[static_cast<size_t>(k - 1)];
    const int64_t c = node->x >> k, r = node->y >> k;
    if (c >= level.columns || r >= level.rows) return -1;
    return level.uniform[static_cast<size_t>(c * level.rows + r)];
}

}  // namespace korvex
