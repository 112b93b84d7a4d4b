#pragma once
// Helpers for the mesh and netlist tests: a board with a mesh built node by
// node, the optimisation as plainly written (restart at the first node after
// every merge), a whole-mesh snapshot for comparisons, and a checker of the
// mesh invariants.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "board/part_list.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"

namespace korvex {

// A mesh node: position and size in pixels, the layers with copper.
struct NodeSpec {
    int x, y, width, height;
    std::vector<int> copper;
    double temperature = 20.0;
};

// A board of pixelsX x pixelsY pixels of `pitchX` x `pitchY` metres and
// `layers` layers, all rasters allocated, no copper, the default materials of
// a new board; and its (empty) mesh.
struct TestBoard {
    SimMatrix board{};
    Mesh mesh{};

    TestBoard(int layers, int pixelsX, int pixelsY, float pitchX = 1e-3f, float pitchY = 1e-3f)
    {
        InitSimulationMatrix(&board);
        SetLayerCount(&board, layers);
        SetSize(&board, pitchX * static_cast<float>(pixelsX), pitchY * static_cast<float>(pixelsY),
                static_cast<uint32_t>(pixelsX), static_cast<uint32_t>(pixelsY), nullptr, nullptr);
        MallocAllMatrices(&board);
        InitMesh(&mesh, &board);
    }
    ~TestBoard()
    {
        FreeMesh(&mesh);
        freeSimulationMatrix(&board);
    }
    TestBoard(const TestBoard&) = delete;
    TestBoard& operator=(const TestBoard&) = delete;

    void Copper(int layer, int left, int top, int right, int bottom, float value = 1.0f)
    {
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y) board.CopperMatrix[x][y][layer] = value;
    }
    void FillCopper(int layer, float value = 1.0f)
    {
        Copper(layer, 0, 0, static_cast<int>(board.CountPixelX) - 1, static_cast<int>(board.CountPixelY) - 1, value);
    }
    // Adds a node of `width` x `height` pixels at (x, y) with copper on the
    // layers of `copperLayers` and `temperature` on every layer.
    MeshNode* Node(int x, int y, int width, int height, std::initializer_list<int> copperLayers = {},
                   double temperature = 20.0)
    {
        MeshNode t{};
        t.x = static_cast<uint32_t>(x);
        t.y = static_cast<uint32_t>(y);
        t.OrderX = static_cast<uint32_t>(width);
        t.OrderY = static_cast<uint32_t>(height);
        for (int l : copperLayers) t.bCopper[l] = 1;
        for (double& v : t.Temperature) v = temperature;
        return AddNode(&mesh, &t);
    }
    // Adds the nodes and links them.
    void Nodes(const std::vector<NodeSpec>& nodes)
    {
        for (const NodeSpec& n : nodes) {
            MeshNode* node = Node(n.x, n.y, n.width, n.height, {}, n.temperature);
            for (int l : n.copper) node->bCopper[l] = 1;
        }
        Link();
    }
    // Square 1 x 1 nodes over the whole board, copper on the given layers.
    void UniformMesh(std::initializer_list<int> copperLayers, double temperature = 20.0)
    {
        for (uint32_t y = 0; y < board.CountPixelY; ++y)
            for (uint32_t x = 0; x < board.CountPixelX; ++x)
                Node(static_cast<int>(x), static_cast<int>(y), 1, 1, copperLayers, temperature);
        Link();
    }
    // Computes the neighbours of every node (after all nodes are added).
    void Link()
    {
        for (MeshNode* n = GetFirstNode(&mesh); n != nullptr; n = GetNextNode(n)) SetNeighbour(&mesh, n);
    }
    MeshNode* At(int x, int y) { return CoordinateToAddress(&mesh, MeshPoint{x, y}); }

    template <class Record>
    Record* Add(uint32_t kind, const Record& record)
    {
        AddPart(&board, kind, &record);
        Part* last = GetFirstPart(&board);
        while (GetNextPart(last) != nullptr) last = GetNextPart(last);
        return PartRecord<Record>(last);
    }
};

// The terminals of each part (the ends of a two-terminal part together) and
// the heat rectangles, read from the part records.
struct PartPlaces {
    struct Terminals {
        std::vector<MeshPoint> ends;
        bool twoTerminals;
    };
    std::vector<Terminals> terminals;
    std::vector<MeshRect> heat;
};
PartPlaces ReadPartPlaces(const SimMatrix* board);

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
    void Cover(const Node& n);
    uint32_t IDAt(int64_t x, int64_t y) const;
    void Refresh(uint32_t id);
    const Node* Find(uint32_t id) const;
    bool KeptApart(const Node& a, const Node& b) const;
    bool MayMerge(const Node& a, const Node* b, uint32_t size, int direction) const;

    const SimMatrix* board_;
    int64_t nx_, ny_;
    uint32_t lastID_;
    std::vector<uint32_t> grid_;  // [x * ny + y]
    std::map<uint32_t, Node> nodes_;  // by ID: the list order
    PartPlaces places_;
};

// Neighbour fields by name: TopL, TopR, RightT, RightB, BotL, BotR, LeftT, LeftB.
std::array<uint32_t, 8> Neighbours(const MeshNode* n);

// ID, position, size, neighbours and copper flags of every node in list order.
std::vector<std::vector<uint32_t>> MeshSnapshot(const Mesh* mesh);

// Empty when the mesh covers the board exactly once, its tables, list and
// neighbour IDs agree, every side has at most two neighbours, part terminals
// sit on 1 x 1 nodes and no node straddles a heat rectangle's border (and, when
// `balanced`, nodes are square, neighbours differ at most 2x, copper is uniform);
// else the first violation found.
std::string CheckMesh(const SimMatrix* board, const Mesh* mesh, bool balanced = true);

}  // namespace korvex
