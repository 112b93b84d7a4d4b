#pragma once
// Per-node results (voltages, branch currents, temperatures, impedances), the
// currents a node exchanges through its top and left sides (stored by the
// neighbours there), the derived current density, and the painting of node
// values into the board's per-pixel result rasters. Apart from the temperature,
// the results live in the mesh's result store (mesh_node_results.h), so the
// setters take the mesh.
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"

namespace korvex {

struct SimMatrix;

// Branch slots of SetCurrent.
enum MeshCurrentDirection : int {
    kCurrentRightTop = 0,     // CurrentRT
    kCurrentRightBottom = 1,  // CurrentRB
    kCurrentBottomLeft = 2,   // CurrentBL
    kCurrentBottomRight = 3,  // CurrentBR
};

// Setters: -1 for a null mesh or node, a layer outside 0 ... 7 or no memory
// for the node's record (nothing written).
int SetVoltage(Mesh* mesh, MeshNode* node, int layer, double value);
int SetTemperature(MeshNode* node, int layer, double value);
int SetNodeZin(Mesh* mesh, MeshNode* node, int layer, float value);
// Direction 0 ... 3 as above; any other direction writes nothing and gives 0.
int SetCurrent(Mesh* mesh, MeshNode* node, int direction, int layer, double value);
// Resets write zeros only where the node has a record (without one it reads 0).
int ResetCurrent(MeshNode* node);
int ResetVoltage(MeshNode* node);
int ResetTemperature(MeshNode* node, double value);

// Current flowing into the node through its top side (downwards) or its left
// side (rightwards), read from the neighbours there. 0 for a null mesh or node,
// a missing neighbour or a layer outside 0 ... 7.
double GetCurrentTL(const Mesh* mesh, const MeshNode* node, int layer);
double GetCurrentTR(const Mesh* mesh, const MeshNode* node, int layer);
double GetCurrentLT(const Mesh* mesh, const MeshNode* node, int layer);
double GetCurrentLB(const Mesh* mesh, const MeshNode* node, int layer);

// Painting node values into the rasters: 0, or -1 for a null argument or a
// missing raster.
int MeshToVoltageMatrix(const Mesh* mesh, SimMatrix* board);
int MeshToTemperatureMatrix(const Mesh* mesh, SimMatrix* board);
int MeshToZinMatrix(const Mesh* mesh, SimMatrix* board);
int ClearMatrix3D(const SimMatrix* board, float*** matrix);

// CurrentX, CurrentY and CurrentDensity of every node and layer from the branch
// currents, painted into CurrentXMatrix, CurrentYMatrix, CurrentDensityMatrix.
int MeshToCurrentDensity(SimMatrix* board, Mesh* mesh);

// The same painting into rasters of the board's size that the caller holds, so
// a job paints its results apart from the board that is shown meanwhile.
int MeshToVoltageRaster(const Mesh* mesh, const SimMatrix* board, float*** raster);
int MeshToTemperatureRaster(const Mesh* mesh, const SimMatrix* board, float*** raster);
int MeshToZinRaster(const Mesh* mesh, const SimMatrix* board, float*** raster);
int MeshToCurrentDensityRasters(const SimMatrix* board, Mesh* mesh, float*** currentX, float*** currentY,
                                float*** density);
// MeshToVoltageRaster and MeshToCurrentDensityRasters in one pass over the nodes.
int MeshToElectricalRasters(const SimMatrix* board, Mesh* mesh, float*** voltage, float*** currentX,
                            float*** currentY, float*** density);
}  // namespace korvex
