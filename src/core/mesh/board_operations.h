#pragma once
// Operations on the board that the edit window uses next to the mesh: painting
// copper rectangles, clamping points to the board, moving parts, copper tests.
#include "mesh/mesh_model.h"

namespace korvex {

struct SimMatrix;
struct Part;

// Sets (fill != 0: 1.0) or clears (0.0) copper on one layer in the rectangle
// spanned by p1 and p2 (any corner order, bounds inclusive, clipped to the
// board). -1 for a null board, a missing copper raster or a bad layer.
int DrawRectangleCopper(SimMatrix* board, MeshPoint p1, MeshPoint p2, int layer, int fill);
// Clamps the point to 0 ... CountPixelX-1, 0 ... CountPixelY-1. -1 for null.
int ClippToOutline(const SimMatrix* board, MeshPoint* point);
// Copies coordinates and layers (not values, names or identity numbers) from
// source to destination; -1 if the kinds differ or an argument is null.
int CopyPartCoordinates(Part* destination, const Part* source);
// 1 if no pixel of the layer has a copper value of exactly 0.
int IsFullCopperOnLayer(const SimMatrix* board, int layer);
// 1 if (x, y, layer) is on the board and its copper value is not exactly 0.
int IsCopperatCoordinate(const SimMatrix* board, MeshPoint3 point);

}  // namespace korvex
