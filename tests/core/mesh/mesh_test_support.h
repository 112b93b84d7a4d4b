#pragma once
// Helpers for the mesh tests: the optimisation as plainly written (restart at
// the first node after every merge), a whole-mesh snapshot for comparisons,
// and a checker of the mesh invariants.
#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "mesh/mesh_model.h"

namespace korvex {

struct SimMatrix;
struct Settings;

// The optimisation as plainly written (restart at the first node after every
// merge), on its own copy of a mesh: its own nodes, pixel grid, neighbour
// look-up, merge and part test, so that it can disagree with the mesh code.
class ReferenceOptimisation {
public:
    ReferenceOptimisation(const SimMatrix* board, const Mesh* mesh);
    void Step(uint32_t size, int direction);
    void Optimize(uint32_t order);  // the size loop, then copper from the top-left pixels
    // The same rows as MeshSnapshot.
    std::vector<std::vector<uint32_t>> Snapshot() const;

private:
    struct Node {
        uint32_t id, x, y, w, h;
        std::array<uint32_t, 8> nb;  // TopL, TopR, RightT, RightB, BotL, BotR, LeftT, LeftB
        std::array<uint32_t, 8> copper;
    };
    struct PartPlace {
        bool twoTerminals, heat;
        std::vector<std::pair<uint32_t, uint32_t>> points;
        std::array<uint32_t, 4> rect;  // left, top, right, bottom
    };
    void Cover(const Node& n);
    uint32_t IDAt(int64_t x, int64_t y) const;
    void Refresh(uint32_t id);
    const Node* Find(uint32_t id) const;
    bool InPart(const PartPlace& p, const Node& n) const;
    bool KeptApart(const Node& a, const Node& b) const;
    bool MayMerge(const Node& a, const Node* b, uint32_t size, int direction) const;

    const SimMatrix* board_;
    int64_t nx_, ny_;
    uint32_t lastID_;
    std::vector<uint32_t> grid_;  // [x * ny + y]
    std::map<uint32_t, Node> nodes_;  // by ID: the list order
    std::vector<PartPlace> parts_;
};

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
