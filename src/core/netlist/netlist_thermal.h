#pragma once
// The thermal netlist: temperature as voltage, heat flow as current. One node
// per mesh node and layer with lateral conduction in copper and board material,
// vertical conduction through the dielectric, convection and radiation from the
// outer layers to the ambient node "NAMB", heat sources with solder and
// junction, heat sinks, via barrels, and optionally the Joule heat of copper
// and vias from the last electrical result.
#include "netlist/netlist_writer.h"

namespace korvex {

struct Mesh;
struct MeshNode;
struct Part;
struct Settings;
struct SimMatrix;

// Writes the netlist to `path` (stores RthCopper, RthDielectric, RthLayer into
// the board). The heating options come from `settings` (gSettings when null).
// Elements are numbered from COUNTERS (null: the program-wide ones). Refused
// with the reason when the file could not be created or written (nothing is
// left at `path`).
Status WriteThermalNetlist(const char* path, SimMatrix* board, Mesh* mesh, const Settings* settings,
                           ElementCounters* counters = nullptr);
// The same as 0, or -1 when refused.
int CreateSpiceThermalMesh(const char* path, SimMatrix* board, Mesh* mesh, const Settings* settings = nullptr);
// The same text into an open writer.
void WriteSpiceThermalMesh(korvex::NetlistWriter& out, SimMatrix* board, Mesh* mesh, const Settings* settings);

// The lines of one part; adds the heat it injects to the two totals (W).
// -1 for a null part, else 0.
int CreateSpiceThermalElementMesh(korvex::NetlistWriter* file, SimMatrix* board, Mesh* mesh, Part* part,
                                  float* viaPower, float* heatSourcePower, const Settings* settings = nullptr);
// One lateral thermal resistor from node A to its neighbour B; -1 if a node is missing.
int CreateSpiceThermalResistorMesh(korvex::NetlistWriter* file, SimMatrix* board, Mesh* mesh, MeshNode* nodeA,
                                   MeshNode* nodeB, int layer, int direction);

}  // namespace korvex
