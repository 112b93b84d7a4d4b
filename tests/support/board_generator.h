#pragma once
// Boards made in code, for tests and benchmarks: reproducible from a seed.
#include <cstdint>

namespace korvex {

struct SimMatrix;

// A small board for property tests: random copper rectangles and noise on
// every layer, `partCount` parts of every kind at random places (on or off
// copper, terminals possibly adjacent), random temperatures. The board must be
// freshly initialised (no rasters, no parts). 0 on success, -1 otherwise.
int GenerateRandomBoard(SimMatrix* board, uint32_t seed, uint32_t countX, uint32_t countY, int layers,
                        int partCount);

// "The benchmark board": `pixels` x `pixels`, 4 layers at 100 um per pixel.
// Top and bottom: pads and traces; layer 2: ground plane with clearance holes
// and slots; layer 3: power plane split into regions. Parts (about one per
// 10,000 pixels, at least 20): vias at pads, load current sources, ground
// resistors, decoupling capacitors, ports, heat sources over the ICs and a
// heat sink. Same seed and size give the same board. 0 on success.
int GenerateBenchmarkBoard(SimMatrix* board, uint32_t pixels, uint32_t seed = 1);

}  // namespace korvex
