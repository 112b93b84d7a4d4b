#pragma once
// Accessors of the per-layer copper flags and temperatures of mesh nodes, and
// of the neighbour slots by branch direction, as the netlist writers use them.
#include <cstdint>

#include "mesh/mesh_model.h"

// 1/0 copper flag of the node on `layer`; 0 for a null node or a layer outside 0 ... 7.
uint32_t GetbCopper(const MeshNode* node, int layer);
// -1 for a null node or a layer outside 0 ... 7, else 0.
int SetbCopper(MeshNode* node, int layer, uint32_t flag);
// Temperature of the node on `layer` (degC); 0 for a null node or a layer outside 0 ... 7.
double GetTemperature(const Mesh* mesh, const MeshNode* node, int layer);

// Branch directions: 0 IDRightT, 1 IDRightB, 2 IDBotL, 3 IDBotR, 4 IDLeftT,
// 5 IDLeftB, 6 IDTopL, 7 IDTopR. The neighbour ID in that direction; all bits
// set for a null node or a direction outside 0 ... 7.
uint32_t GetPositionID(const MeshNode* node, int direction);

// Number of layers a netlist walks: LayerCount limited to 0 ... 8.
int NetlistLayerCount(int layerCount);
