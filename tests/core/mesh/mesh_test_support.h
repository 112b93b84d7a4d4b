#pragma once
// Helpers for the mesh tests: the optimisation as plainly written (restart at
// the first node after every merge), a whole-mesh snapshot for comparisons,
// and a checker of the mesh invariants.
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_model.h"

namespace korvex {

struct SimMatrix;
struct Settings;

// OptimizeMesh and OptimizeMeshStep with the restarting walk, kept as the reference.
void LiteralOptimizeMesh(SimMatrix* board, Mesh* mesh, const Settings& settings);
void LiteralOptimizeMeshStep(SimMatrix* board, Mesh* mesh, uint32_t size, int direction);

// ID, position, size, neighbours and copper flags of every node in list order.
std::vector<std::vector<uint32_t>> MeshSnapshot(const Mesh* mesh);

struct InvariantOptions {
    bool balanced = true;        // neighbours differ at most 2x in size, nodes square, copper uniform
    bool squares = false;        // every node square
};
// Empty when the mesh covers the board exactly once, its tables, list and
// neighbour IDs agree, every side has at most two neighbours, part terminals
// sit on 1 x 1 nodes and no node straddles a heat rectangle's border; else the
// first violation found.
std::string CheckMesh(const SimMatrix* board, const Mesh* mesh, InvariantOptions options);

}  // namespace korvex
