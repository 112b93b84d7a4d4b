#pragma once
// Which part lies under a probe (x, y, layer), searched in list order.
#include <cstdint>

#include "board/sim_matrix.h"

namespace korvex::gui {

struct Probe {
    int x = 0, y = 0, layer = 0;
};

// True when all three layers are equal and the probe lies within the corners
// (corner1 low, corner2 high, bounds inclusive).
bool IsPointinRect(Probe corner1, Probe corner2, Probe probe);
// True when the part is hit by the probe (the rules per kind).
bool IsPartHit(const SimMatrix& board, const Part& part, Probe probe);
// The first part hit, searching after `start` when it is a part of the board,
// else from the head; null when none is hit.
Part* SearchPart(const SimMatrix& board, Probe probe, const Part* start);

}  // namespace korvex::gui
