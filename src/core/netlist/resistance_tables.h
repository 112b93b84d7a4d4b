#pragma once
// Per-layer resistance tables and the small resistance formulas shared by the
// DC and thermal netlists. All values in single precision, as stored in the board.
#include <cstdint>

namespace korvex {

struct SimMatrix;

// RdcX[l] = dx / (t[l] dy sigma), RdcY[l] = dy / (t[l] dx sigma): the electrical
// resistance of one copper pixel along x and along y, stored into the board
// for every layer below LayerCount. -1 for a null board.
int ComputeCopperResistances(SimMatrix* board);

// RthCopper[l] = dx / (kCu t[l] dy), RthDielectric[l] = dx / (kxy h[l] dy) and
// RthLayer[l] (both in parallel): the lateral thermal resistance of one pixel
// along x, stored into the board. h[l] is the board material of the layer, half
// the spacing to each neighbouring layer; a board of one layer has the whole
// board thickness SizeZ[0] below its copper. -1 for a null board.
int ComputeThermalResistances(SimMatrix* board);

// Factor from the x tables to the y tables, (dy / dx)^2: the y value of a pixel
// is dy over dx where the x value is dx over dy. Exactly 1 for square pixels
// (pitches equal within 1 ppm), so those boards use the x tables unchanged.
float ThermalAlongYFactor(const SimMatrix* board);

// Base resistance of a branch between node A and its neighbour B, from each
// node's centre to the shared edge: half of each node's length in pixel units,
// except that the larger of two unequal nodes counts its full length, since it
// feeds two parallel branches. `perPixel` is the resistance of one pixel along
// the branch; `horizontal` is true for directions 0 and 1 (B to the right).
float BranchBaseResistance(float perPixel, bool horizontal, uint32_t widthA, uint32_t heightA, uint32_t widthB,
                           uint32_t heightB);

// Cross-section of a via's plating: 3.1415 (D + 2t)^2 / 4 - 3.1415 D^2 / 4.
float ViaBarrelArea(float diameter, float platingThickness);

// Convection and linearised radiation of a surface of `area` at temperature
// `temperature` to the ambient, in parallel (K/W). The radiation term is
// linearised between T + 0.1 K and the ambient so it stays finite at ambient
// temperature. A surface without convection (alpha 0) or radiation (epsilon 0)
// uses the other path alone.
float SurfaceToAmbientResistance(float alpha, float epsilon, float area, double temperature, float ambient);

}  // namespace korvex
