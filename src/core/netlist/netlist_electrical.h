#pragma once
// The DC electrical netlist: one circuit node "N<layer>_<id>" per mesh node and
// copper layer, one resistor per pair of adjacent copper nodes (with the copper's
// temperature coefficient), the resistor and current-source parts and the via
// barrels, solved at the operating point.
#include "netlist/netlist_writer.h"

namespace korvex {

struct Mesh;
struct MeshNode;
struct Part;
struct SimMatrix;

// Writes the netlist to `path` (stores RdcX/RdcY into the board), numbering
// its elements from COUNTERS (null: the program-wide ones). Refused with the
// reason when the file could not be created or written (nothing is left at `path`).
Status WriteElectricalNetlist(const char* path, SimMatrix* board, Mesh* mesh, ElementCounters* counters = nullptr);
// The same as 0, or -1 when refused.
int CreateSpiceElectricalMesh(const char* path, SimMatrix* board, Mesh* mesh);
// The same text into an open writer.
void WriteSpiceElectricalMesh(korvex::NetlistWriter& out, SimMatrix* board, Mesh* mesh);

// The lines of one part; -1 for a null part, else 0.
int CreateSpiceElectricalElementMesh(korvex::NetlistWriter* file, SimMatrix* board, Mesh* mesh, Part* part);
// One copper branch from node A to its neighbour B on `layer` in `direction`
// (0, 1: B to the right; 2, 3: B below); -1 (nothing written) when a node is
// null or has no copper on the layer.
int CreateSpiceCopperMesh(korvex::NetlistWriter* file, SimMatrix* board, Mesh* mesh, MeshNode* nodeA,
                          MeshNode* nodeB, int layer, int direction);

// The lines of one part with a known via key (its position in the part list);
// CreateSpiceElectricalElementMesh looks the key up itself.
int WriteElectricalPart(korvex::NetlistWriter& out, SimMatrix* board, Mesh* mesh, Part* part, uint64_t viaKey);

}  // namespace korvex
