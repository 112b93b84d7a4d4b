#pragma once
// What the mesh sources share among themselves (private to src/core/mesh):
// inline look-ups on the mesh tables for the inner loops of building,
// refining and merging (the same answers as CoordinateToID, IDToAddress and
// SetNeighbour in mesh_model.h, which are defined through them, without a call
// per look-up), and the stages as CreateMesh runs them.
#include <cstdint>

#include "mesh/mesh_model.h"
#include "util/cancel_token.h"

namespace korvex {
struct SimMatrix;
struct Settings;
class JobObserver;
}  // namespace korvex

namespace korvex::mesh_access {

// ID of the node covering (x, y); 0 off the board. Wide arithmetic so that
// neighbour pixels of nodes at the board's far edge cannot wrap around.
inline uint32_t IDAt(const Mesh* mesh, int64_t x, int64_t y)
{
    if (x < 0 || y < 0 || x >= mesh->CountPixelX || y >= mesh->CountPixelY) return 0;
    return mesh->IDMatrix[x][y];
}

inline MeshNode* NodeAt(const Mesh* mesh, uint32_t id)
{
    if (id == 0 || mesh->FirstNode == nullptr) return nullptr;
    if (static_cast<int64_t>(id) >= mesh->IDToNodeSize) return nullptr;
    return mesh->IDToNode[id];
}

// Starts loading the ID matrix entries ReadNeighbours reads (away from the
// board's edges), so that several nodes' look-ups overlap.
inline void FetchNeighbourPixels(const Mesh* mesh, const MeshNode* node)
{
    const int64_t l = node->x, t = node->y;
    const int64_t r = l + node->OrderX - 1, b = t + node->OrderY - 1;
    if (l < 1 || t < 1 || r + 1 >= mesh->CountPixelX || b + 1 >= mesh->CountPixelY) return;
    __builtin_prefetch(mesh->IDMatrix[l - 1] + t);
    __builtin_prefetch(mesh->IDMatrix[l - 1] + b);
    __builtin_prefetch(mesh->IDMatrix[l] + t - 1);
    __builtin_prefetch(mesh->IDMatrix[l] + b + 1);
    __builtin_prefetch(mesh->IDMatrix[r] + t - 1);
    __builtin_prefetch(mesh->IDMatrix[r] + b + 1);
    __builtin_prefetch(mesh->IDMatrix[r + 1] + t);
    __builtin_prefetch(mesh->IDMatrix[r + 1] + b);
}

// The eight neighbour IDs from the ID matrix (the matrix must exist).
inline void ReadNeighbours(const Mesh* mesh, MeshNode* node)
{
    const int64_t l = node->x, t = node->y;
    const int64_t r = l + node->OrderX - 1, b = t + node->OrderY - 1;
    if (l >= 1 && t >= 1 && r + 1 < mesh->CountPixelX && b + 1 < mesh->CountPixelY) {
        // Away from the board's edges: no pixel to test.
        const uint32_t* left = mesh->IDMatrix[l - 1];
        const uint32_t* first = mesh->IDMatrix[l];
        const uint32_t* last = mesh->IDMatrix[r];
        const uint32_t* right = mesh->IDMatrix[r + 1];
        node->IDTopL = first[t - 1];
        node->IDTopR = last[t - 1];
        node->IDRightT = right[t];
        node->IDRightB = right[b];
        node->IDBotL = first[b + 1];
        node->IDBotR = last[b + 1];
        node->IDLeftT = left[t];
        node->IDLeftB = left[b];
        return;
    }
    node->IDTopL = IDAt(mesh, l, t - 1);
    node->IDTopR = IDAt(mesh, r, t - 1);
    node->IDRightT = IDAt(mesh, r + 1, t);
    node->IDRightB = IDAt(mesh, r + 1, b);
    node->IDBotL = IDAt(mesh, l, b + 1);
    node->IDBotR = IDAt(mesh, r, b + 1);
    node->IDLeftT = IDAt(mesh, l - 1, t);
    node->IDLeftB = IDAt(mesh, l - 1, b);
}

// Orders compare as signed numbers (as IsHigherOrderX and friends do); null
// compares as neither higher nor lower.
inline bool WiderThan(const MeshNode* a, const MeshNode* b)  // b wider than a
{
    return b != nullptr && static_cast<int32_t>(b->OrderX) > static_cast<int32_t>(a->OrderX);
}
inline bool NarrowerThan(const MeshNode* a, const MeshNode* b)  // b narrower than a
{
    return b != nullptr && static_cast<int32_t>(b->OrderX) < static_cast<int32_t>(a->OrderX);
}
inline bool TallerThan(const MeshNode* a, const MeshNode* b)  // b higher than a
{
    return b != nullptr && static_cast<int32_t>(b->OrderY) > static_cast<int32_t>(a->OrderY);
}
inline bool LowerThan(const MeshNode* a, const MeshNode* b)  // b lower than a
{
    return b != nullptr && static_cast<int32_t>(b->OrderY) < static_cast<int32_t>(a->OrderY);
}
inline bool SameSize(const MeshNode* a, const MeshNode* b)
{
    return b != nullptr && a->OrderX == b->OrderX && a->OrderY == b->OrderY;
}

}  // namespace korvex::mesh_access

namespace korvex::mesh_stages {

// The merge steps a node may take part in, by the step's first condition: bit
// 2k (2k + 1) set when the node is 2^k wide (high) and starts at a multiple of
// 2^(k + 1) in x (y), for the steps of size 2^k to the right (downwards).
// Sizes up to 2^(kStepMaskSizes - 1).
constexpr uint32_t kStepMaskSizes = 8;
inline uint16_t StepMask(const MeshNode* node)
{
    const auto bit = [](uint32_t size, uint32_t start, int direction) -> uint16_t {
        if (size == 0 || (size & (size - 1)) != 0 || size >= (uint32_t(1) << kStepMaskSizes)) return 0;
        if ((start & (2 * size - 1)) != 0) return 0;
        return static_cast<uint16_t>(1u << (2 * __builtin_ctz(size) + direction));
    };
    return bit(node->OrderX, node->x, 0) | bit(node->OrderY, node->y, 1);
}
// The masks of the mesh's nodes by ID, up to LastID at least; null when the
// mesh does not keep them.
const uint16_t* StepMasks(const Mesh* mesh);

// RefineMesh without the closing temperature pass (the nodes take their
// copper flags as the refinement leaves them). `fromInitialMesh`: the mesh is
// CreateInitialMesh's, so its records agree with the ID matrix and the splits
// may keep them so from the records alone.
int RefineNodes(SimMatrix* board, Mesh* mesh, JobObserver* window, const korvex::CancelToken* cancel,
                bool fromInitialMesh = false);

// A node's temperatures from its top-left pixel (as UpdateTemperature sets them).
void TakeTemperature(const SimMatrix* board, MeshNode* node);

// CompactNodes for a mesh whose list runs in ID order (as AddNode makes it),
// on both cores, handing every node to visit(context, node) at its new place:
// from two threads at once, each with nodes of its own. False when it moved
// nothing (no node was deleted, or out of memory) and so visited none.
bool CompactNodesVisiting(Mesh* mesh, void (*visit)(const void* context, MeshNode* node), const void* context);

// Makes the room CompactNodes will move the nodes into, for as many nodes as
// the mesh has now, and has the second core fault it in meanwhile: called a
// little before the compaction, while merges go on.
void PrepareCompaction(Mesh* mesh);

// OptimizeMesh for a mesh that RefineNodes has just made from the initial
// mesh (balanced, its records agreeing with the ID matrix), whose copper
// flags it has set: merged
// nodes take them from their top-left half, so only the temperatures are
// taken from the board at the end.
int MergeNodes(SimMatrix* board, Mesh* mesh, JobObserver* window, const Settings& settings,
               const korvex::CancelToken* cancel);

}  // namespace korvex::mesh_stages
