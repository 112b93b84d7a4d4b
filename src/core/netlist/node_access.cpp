#include "netlist/node_access.h"

namespace korvex {

int SetbCopper(MeshNode* node, int layer, uint32_t flag)
{
    if (node == nullptr || layer < 0 || layer >= 8) return -1;
    node->bCopper[layer] = flag;
    return 0;
}

uint32_t GetPositionID(const MeshNode* node, int direction)
{
    if (node == nullptr) return 0xFFFFFFFFu;
    switch (direction) {
    case 0: return node->IDRightT;
    case 1: return node->IDRightB;
    case 2: return node->IDBotL;
    case 3: return node->IDBotR;
    case 4: return node->IDLeftT;
    case 5: return node->IDLeftB;
    case 6: return node->IDTopL;
    case 7: return node->IDTopR;
    default: return 0xFFFFFFFFu;
    }
}

int NetlistLayerCount(int layerCount)
{
    return layerCount < 0 ? 0 : (layerCount > 8 ? 8 : layerCount);
}

}  // namespace korvex
