#pragma once
// A small complete board for demonstrations and tests: two layers of 160 x 100
// pixels, a full plane on the bottom layer, a top pour with cut-outs, ground
// islands and feed traces, a current source with its ground connections, vias,
// a heat source and a heat sink, port 0 and three capacitors.
#include "board/sim_matrix.h"

namespace korvex {

// Replaces whatever `board` held. 0, or -1 when the rasters cannot be allocated.
int CreateExampleBoard(SimMatrix* board);

}  // namespace korvex
