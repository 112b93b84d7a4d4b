#pragma once
// The adaptive mesh: axis-aligned rectangles of pixels (nodes) whose sides are
// powers of two, one rectangle for all copper layers at once. Nodes live in a
// doubly linked list in order of creation; two tables give constant-time
// look-ups from pixel to node ID (IDMatrix) and from ID to node (IDToNode).
// IDs start at 1, are never reused, and 0 means "no node".
#include <cstdint>

namespace korvex {

struct SimMatrix;

// A pixel position (x to the right, y downwards).
struct MeshPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// A pixel position on one copper layer.
struct MeshPoint3 {
    int32_t x = 0;
    int32_t y = 0;
    int32_t layer = 0;
};

// A pixel rectangle, all bounds inclusive.
struct MeshRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// What an analysis maps onto a node: voltages, branch currents, current
// density, impedance, per layer. Held by the mesh apart from its nodes and made
// only when results are mapped (NodeResults in mesh_node_results.h), so that
// building a mesh touches a fraction of the memory.
struct MeshNodeResults {
    double Voltage[8] = {};
    double CurrentRT[8] = {};  // to IDRightT, positive leaving this node
    double CurrentRB[8] = {};  // to IDRightB when the right side has two neighbours
    double CurrentBL[8] = {};  // to IDBotL
    double CurrentBR[8] = {};  // to IDBotR when the bottom side has two neighbours
    double CurrentDensity[8] = {};
    double CurrentX[8] = {};
    double CurrentY[8] = {};
    float Zin[8] = {};
};

struct MeshNode {
    uint32_t ID = 0;
    uint32_t OrderX = 0;  // width in pixels, a power of two
    uint32_t OrderY = 0;  // height in pixels, a power of two
    uint32_t x = 0;       // top-left pixel
    uint32_t y = 0;
    // Neighbour IDs: the nodes covering the pixels just outside both ends of
    // each side (0 off the board).
    uint32_t IDTopL = 0;    // (left, top - 1)
    uint32_t IDTopR = 0;    // (right, top - 1)
    uint32_t IDRightT = 0;  // (right + 1, top)
    uint32_t IDRightB = 0;  // (right + 1, bottom)
    uint32_t IDBotL = 0;    // (left, bottom + 1)
    uint32_t IDBotR = 0;    // (right, bottom + 1)
    uint32_t IDLeftT = 0;   // (left - 1, top)
    uint32_t IDLeftB = 0;   // (left - 1, bottom)
    uint32_t bCopper[8] = {};
    // The board's temperature at the node, taken when the mesh is made (the DC
    // netlist scales the copper resistance with it), or the thermal result.
    double Temperature[8] = {};
    // The node's record in the mesh's result store; null until results are
    // mapped onto it (every result then reads 0).
    MeshNodeResults* Results = nullptr;
    MeshNode* pNextNode = nullptr;
    MeshNode* pPrevNode = nullptr;
};

// Storage of the nodes of one mesh (large blocks with a free list); private to
// mesh_model.cpp.
struct MeshNodePool;
// Storage of the nodes' result records; private to mesh_node_results.cpp.
struct MeshResultStore;

// The mesh's fields; Mesh adds the ownership of its nodes and tables.
struct MeshFields {
    MeshNode* FirstNode = nullptr;
    MeshNode* LastNode = nullptr;
    uint32_t LastID = 0;
    int32_t IDToNodeSize = 0;
    MeshNode** IDToNode = nullptr;
    uint32_t** IDMatrix = nullptr;  // [x][y]
    int32_t CountPixelX = 0;
    int32_t CountPixelY = 0;
    MeshNodePool* NodePool = nullptr;  // created by the first AddNode, released by FreeMesh
    uint32_t NodeCount = 0;            // nodes in the list, kept by AddNode and DeleteNode
    MeshResultStore* ResultStore = nullptr;  // created by the first NodeResults, released by FreeMesh
};

// Owns its nodes and tables: it can be moved (the source is left empty) but
// not copied (CopyMeshResults and the scratch records copy what a job needs),
// and frees what it holds when destroyed.
struct Mesh : MeshFields {
    Mesh() = default;
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    Mesh(Mesh&& other) noexcept;
    Mesh& operator=(Mesh&& other) noexcept;
};

extern Mesh gMesh;

// The eight neighbour slots of a node, in record order
// (IDTopL, IDTopR, IDRightT, IDRightB, IDBotL, IDBotR, IDLeftT, IDLeftB).
constexpr int kNeighbourSlots = 8;
uint32_t NeighbourID(const MeshNode* node, int slot);

// Life cycle.
int InitMesh(Mesh* mesh, const SimMatrix* board);
void FreeMesh(Mesh* mesh);
int ExpandIDToNode(Mesh* mesh);

// Nodes. AddNode copies the template; a template with results gets a record
// of its own in this mesh with a copy of them.
MeshNode* AddNode(Mesh* mesh, MeshNode* nodeTemplate);
int DeleteNode(Mesh* mesh, MeshNode* node);
// Moves the nodes into fresh blocks in list order and releases the former
// ones, with the room of every deleted node: after the optimisation has merged
// most of the refined nodes. Node addresses change (IDs, order and results
// stay). 0, or -1 (nothing changed) when out of memory.
int CompactNodes(Mesh* mesh);
MeshNode* GetFirstNode(const Mesh* mesh);
MeshNode* GetNextNode(const MeshNode* node);
int CountNodes(const Mesh* mesh);
MeshPoint GetPosition(const MeshNode* node);
uint32_t GetOrderX(const MeshNode* node);
uint32_t GetOrderY(const MeshNode* node);
MeshRect GetRect(const MeshNode* node);

// Look-ups.
uint32_t CoordinateToID(const Mesh* mesh, MeshPoint point);
MeshNode* IDToAddress(const Mesh* mesh, uint32_t id);
MeshNode* CoordinateToAddress(const Mesh* mesh, MeshPoint point);
int SetIDMatrix(Mesh* mesh, int32_t x, int32_t y, uint32_t id);
int IsSameNode(const Mesh* mesh, MeshPoint p1, MeshPoint p2);

// Neighbours.
int SetNeighbour(Mesh* mesh, MeshNode* node);
int SetAllNeighbour(Mesh* mesh, MeshNode* node);

// Size comparisons: 1 when b is wider / as wide / narrower (higher / as high /
// lower) than a; 0 otherwise or when either is null.
int IsHigherOrderX(const MeshNode* a, const MeshNode* b);
int IsSameOrderX(const MeshNode* a, const MeshNode* b);
int IsLowerOrderX(const MeshNode* a, const MeshNode* b);
int IsHigherOrderY(const MeshNode* a, const MeshNode* b);
int IsSameOrderY(const MeshNode* a, const MeshNode* b);
int IsLowerOrderY(const MeshNode* a, const MeshNode* b);

// Rectangle tests, bounds inclusive.
int IsRectInRect(MeshRect a, MeshRect b);
int IsCoordinateInRect(MeshRect rect, const MeshPoint& point);
int IsPointInRect(MeshRect rect, MeshPoint point);

// Pixel pitch in metres and node area in square metres.
float Getsx(const SimMatrix* board);
float Getsy(const SimMatrix* board);
float NodeGetArea(const SimMatrix* board, const MeshNode* node);

// Diagnostics on the debug log.
int PrintNodes(const Mesh* mesh);
int PrintIDToNode(const Mesh* mesh);

}  // namespace korvex
