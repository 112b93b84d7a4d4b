#pragma once
// Building the mesh over a board: square nodes of 2^MaxMeshOrder pixels,
// refined down to single pixels where copper changes and at every part
// terminal (neighbours differ at most 2x in size), then optionally merged into
// rectangles where neighbours are equal ("Asymmetric Mesh").
//
// `window` is the progress observer: it gets Repaint() wherever the edit
// window should redraw the partial mesh, and Progress() per stage. It may be
// null. `settings` null means gSettings.
#include <cstdint>

#include "mesh/mesh_model.h"
#include "util/cancel_token.h"

namespace korvex {

struct SimMatrix;
struct Settings;
struct Part;
class JobObserver;

// Largest accepted MaxMeshOrder: the initial node side 2^order must fit a
// signed 32-bit width.
constexpr uint32_t kLargestMeshOrder = 30;

// Node counts and times of one CreateMesh run (for the command line and benchmarks).
struct MeshBuildReport {
    int InitialNodes = 0;
    int RefinedNodes = 0;
    int OptimisedNodes = 0;  // equals RefinedNodes when the optimisation is off
    double InitialSeconds = 0;
    double RefineSeconds = 0;
    double OptimiseSeconds = 0;
};

// The whole pipeline. -1 for a null board or mesh, a board without copper
// raster, or a MaxMeshOrder above kLargestMeshOrder (the mesh is then left as
// it was); else 0. A cancel request stops the refinement and optimisation
// loops and gives -1 with an unfinished mesh (build into a mesh of your own
// and swap it in on success).
int CreateMesh(SimMatrix* board, Mesh* mesh, JobObserver* window = nullptr, const Settings* settings = nullptr,
               MeshBuildReport* report = nullptr, const korvex::CancelToken* cancel = nullptr);

// The stages; the two loops stop early (-1) on a cancel request.
int CreateInitialMesh(SimMatrix* board, Mesh* mesh, const Settings* settings = nullptr);
int RefineMesh(SimMatrix* board, Mesh* mesh, JobObserver* window = nullptr,
               const korvex::CancelToken* cancel = nullptr);
int OptimizeMesh(SimMatrix* board, Mesh* mesh, JobObserver* window = nullptr, const Settings* settings = nullptr,
                 const korvex::CancelToken* cancel = nullptr);
int OptimizeMeshStep(SimMatrix* board, Mesh* mesh, JobObserver* window, uint32_t size, int direction);

// Mesh edits. SplitNode first splits every wider neighbour (so neighbours of the
// children are at most twice their size), then replaces the node by its four
// quarters. MergeNode replaces a and its right (or bottom) neighbour b by one
// node; null if b is neither.
int SplitNode(Mesh* mesh, MeshNode* node);
MeshNode* MergeNode(Mesh* mesh, MeshNode* a, MeshNode* b);

// Forced refinement: a single-pixel node at the point; node borders along the
// rectangle's outline.
int SplitToOrderOne(Mesh* mesh, MeshPoint point);
int SplitToRect(Mesh* mesh, MeshPoint p1, MeshPoint p2);

// Predicates.
int IsUniform(const SimMatrix* board, const MeshNode* node);
// 1 when a part keeps the two nodes apart: some part holds exactly one of them,
// or they hold the two terminals of one two-terminal part.
int SplitbyPart(const SimMatrix* board, const Mesh* mesh, const MeshNode* a, const MeshNode* b);
int IsNodeInPart(const Part* part, const MeshNode* node);

// Per-node copper flags and temperatures from the top-left pixel.
int UpdatebCopper(const SimMatrix* board, Mesh* mesh);
int UpdateTemperature(const SimMatrix* board, Mesh* mesh);

}  // namespace korvex
