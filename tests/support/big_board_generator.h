#pragma once
// "The big board": an 8-layer board for the end-to-end DC benchmark and its
// well-posedness test, reproducible from a seed.
#include <cstdint>

namespace korvex {

struct SimMatrix;

// What GenerateBigBoard placed.
struct BigBoardCounts {
    int Vias = 0;
    int Loads = 0;              // current sinks from a power region to a ground plane
    int GroundConnections = 0;  // 1 uOhm resistors to net "0": regulator outputs and ground returns
    int PowerRegions = 0;
};

// `pixels` x `pixels`, 8 layers at 50 um per pixel (4000 pixels: 200 x 200 mm).
// Layers 1 and 8: pads, IC pad rings and traces; 2 and 6: ground planes with
// slots and via clearances; 4 and 5: power planes split into regions with
// cut-outs; 3 and 7: inner signal traces. Vias (about one per 5,000 pixels)
// tie either both ground planes or one power region to the outer layers and
// clear every other layer around the barrel. Each power region has a
// regulator (a ground connection) and each ground plane a few returns; the
// loads (about one per 16,000 pixels) draw current from a power region into a
// ground plane, placed only where both islands reach a ground connection, so
// the DC circuit is well posed. Same seed and size give the same board; 0 on
// success, -1 for a size under 256 pixels or a board that cannot be allocated.
int GenerateBigBoard(SimMatrix* board, uint32_t pixels, uint32_t seed = 1, BigBoardCounts* counts = nullptr);

}  // namespace korvex
