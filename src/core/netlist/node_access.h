#pragma once
// Accessors of the per-layer copper flags and temperatures of mesh nodes, and
// of the neighbour slots by branch direction, as the netlist writers use them.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "mesh/mesh_model.h"

namespace korvex {

// 1/0 copper flag of the node on `layer`; 0 for a null node or a layer outside 0 ... 7.
inline uint32_t GetbCopper(const MeshNode* node, int layer)
{
    return node == nullptr || layer < 0 || layer >= 8 ? 0 : node->bCopper[layer];
}
// -1 for a null node or a layer outside 0 ... 7, else 0.
int SetbCopper(MeshNode* node, int layer, uint32_t flag);
// Temperature of the node on `layer` (degC); 0 for a null node or a layer outside 0 ... 7.
inline double GetTemperature(const Mesh* /*mesh*/, const MeshNode* node, int layer)
{
    return node == nullptr || layer < 0 || layer >= 8 ? 0.0 : node->Temperature[layer];
}

// Branch directions: 0 IDRightT, 1 IDRightB, 2 IDBotL, 3 IDBotR, 4 IDLeftT,
// 5 IDLeftB, 6 IDTopL, 7 IDTopR. The neighbour ID in that direction; all bits
// set for a null node or a direction outside 0 ... 7.
uint32_t GetPositionID(const MeshNode* node, int direction);

// Number of layers a netlist walks: LayerCount limited to 0 ... 8.
int NetlistLayerCount(int layerCount);

// Walks the node list a few nodes ahead of a netlist writer and prefetches the
// neighbours below and to the right of each one: their ID table entries far
// ahead (the table is larger than the caches and the IDs are scattered), the
// records themselves nearer, once those entries have arrived. The node below
// lies a whole mesh row away in memory, and the writers read the neighbours'
// IDs, sizes, copper flags and temperatures.
class BelowNodePrefetch {
public:
    explicit BelowNodePrefetch(const Mesh* mesh) : BelowNodePrefetch(mesh, GetFirstNode(mesh)) {}
    // The same for a walk that starts at `from` (null: an empty walk).
    BelowNodePrefetch(const Mesh* mesh, const MeshNode* from) : mesh_(mesh), near_(from), far_(from)
    {
        for (int i = 0; i < kNear && near_ != nullptr; ++i) near_ = GetNextNode(near_);
        for (int i = 0; i < kFar && far_ != nullptr; ++i) {
            if (i >= kNear) TableEntries(far_);
            far_ = GetNextNode(far_);
        }
    }
    // Call once per node written.
    void Advance()
    {
        if (far_ != nullptr) {
            TableEntries(far_);
            far_ = GetNextNode(far_);
        }
        if (near_ == nullptr) return;
        Record(IDToAddress(mesh_, near_->IDBotL));
        if (near_->IDBotR != near_->IDBotL) Record(IDToAddress(mesh_, near_->IDBotR));
        Record(IDToAddress(mesh_, near_->IDRightT));
        if (near_->IDRightB != near_->IDRightT) Record(IDToAddress(mesh_, near_->IDRightB));
        near_ = GetNextNode(near_);
    }

private:
    static constexpr int kNear = 16;
    static constexpr int kFar = 32;

    void TableEntries(const MeshNode* node) const
    {
        if (mesh_->IDToNode == nullptr) return;
        for (const uint32_t id : {node->IDBotL, node->IDBotR, node->IDRightT, node->IDRightB})
            if (static_cast<int64_t>(id) < mesh_->IDToNodeSize) __builtin_prefetch(&mesh_->IDToNode[id]);
    }
    // The record up to the temperature of layer 4, one touch per cache line.
    static void Record(const MeshNode* node)
    {
        if (node == nullptr) return;
        const char* bytes = reinterpret_cast<const char*>(node);
        static_assert(offsetof(MeshNode, Temperature) + 4 * sizeof(double) <= 128);
        __builtin_prefetch(bytes);
        __builtin_prefetch(bytes + 64);
        __builtin_prefetch(bytes + 127);
    }

    const Mesh* mesh_;
    const MeshNode* near_;
    const MeshNode* far_;
};

}  // namespace korvex
