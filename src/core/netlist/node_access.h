#pragma once
// Accessors of the per-layer copper flags and temperatures of mesh nodes, and
// of the neighbour slots by branch direction, as the netlist writers use them.
#include <cstdint>

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
// node below each one: that node lies a whole mesh row away in memory, and the
// writers read its ID, sizes, copper flags and temperatures.
class BelowNodePrefetch {
public:
    explicit BelowNodePrefetch(const Mesh* mesh) : mesh_(mesh), ahead_(GetFirstNode(mesh))
    {
        for (int i = 0; i < kDistance && ahead_ != nullptr; ++i) ahead_ = GetNextNode(ahead_);
    }
    // Call once per node written.
    void Advance()
    {
        if (ahead_ == nullptr) return;
        if (const MeshNode* below = IDToAddress(mesh_, ahead_->IDBotL); below != nullptr) {
            __builtin_prefetch(below);
            __builtin_prefetch(&below->bCopper[7]);
            __builtin_prefetch(&below->Temperature[0]);
        }
        ahead_ = GetNextNode(ahead_);
    }

private:
    static constexpr int kDistance = 16;
    const Mesh* mesh_;
    const MeshNode* ahead_;
};

}  // namespace korvex
