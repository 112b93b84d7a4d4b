#pragma once
// The plane transmission-line model of the AC netlist: every pair of copper
// planes is a grid of lossless lines, mesh node by mesh node, each behind a
// frequency-dependent copper resistance. Where a neighbour is missing (board
// edge) or has other copper (copper edge) a half-length stub with an open far
// end is written instead. 2-layer boards may add the fringing of microstrip
// edges (stray correction).
#include <cstdint>

#include "mesh/mesh_model.h"
#include "netlist/netlist_writer.h"

namespace korvex {

struct AcJob;
struct Settings;
struct SimMatrix;

// The plane pair under a node at a layer.
struct LayerPair {
    int32_t UpperLayer = -1;  // the layer asked for; -1 when the node has no copper there
    int32_t LowerLayer = -1;  // the next layer below with copper in this node; -1 when none
    float Distance = 0;       // dielectric thickness between them (m)
    int32_t HasDielectric = 0;
};

struct StrayParameter {
    int32_t Valid = 0;
    float LStray = 0;  // H/m
    float CStray = 0;  // F/m
};

// The strip (pixels, bounds inclusive) along which two neighbouring nodes touch.
struct ConnectionRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

LayerPair GetDistance(const SimMatrix* board, const MeshNode* node, int layer);

// One branch of `node` towards `neighbour` (null at the board edge) for the
// plane pair at `layer`, direction 0 ... 7 (see GetPositionID). 0 when a branch
// was written, -1 when nothing was.
int CreateSpiceTLINEMatrix(korvex::NetlistWriter* file, const SimMatrix* board, const Mesh* mesh,
                           const Settings* acSettings, const MeshNode* node, const MeshNode* neighbour, int layer,
                           int direction, const AcJob* job);

// The stray correction of the strip between node and neighbour; writes one
// comment line when it applies.
StrayParameter GetStrayParameter(const SimMatrix* board, const Mesh* mesh, const MeshNode* node,
                                 const MeshNode* neighbour, int layer, int direction, korvex::NetlistWriter* file);

ConnectionRect GetRectofConnection(const SimMatrix* board, const Mesh* mesh, const MeshNode* node,
                                   const MeshNode* neighbour);

// Edge codes: 0 none, 1 top (left) side open, 2 bottom (right) side open, 3 both.
// Pixels off the board count as open.
int IsCopperEdgeHoz(const SimMatrix* board, ConnectionRect rect, int layer);
int IsCopperEdgeVert(const SimMatrix* board, ConnectionRect rect, int layer);
// Both codes: horizontal in the low 32 bits, vertical in the high 32 bits.
uint64_t IsCopperEdge(const SimMatrix* board, ConnectionRect rect, int layer);

// Width in pixels of the copper strip from an open edge into the plane.
int GetMicrostripWidthHoz(const SimMatrix* board, ConnectionRect rect, int edgeCode, int layer);
int GetMicrostripWidthVert(const SimMatrix* board, ConnectionRect rect, int edgeCode, int layer);

}  // namespace korvex
