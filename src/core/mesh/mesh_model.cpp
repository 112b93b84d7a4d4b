#include "mesh/mesh_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "board/raster.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_node_results.h"
#include "util/debug_log.h"
#include "util/large_block.h"

namespace korvex {

Mesh gMesh;

static_assert(std::is_trivially_destructible_v<MeshNode>);

// Nodes are carved from large blocks, and deleted nodes are kept for reuse:
// meshes of millions of nodes are built and rebuilt without a heap allocation
// per node, and the blocks can use large pages.
struct MeshNodePool {
    BlockArena arena;
    MeshNode* freeList = nullptr;  // linked through pNextNode

    void* Take()
    {
        if (freeList == nullptr) return arena.Take(sizeof(MeshNode));
        MeshNode* node = freeList;
        freeList = node->pNextNode;
        return node;
    }

    void Give(MeshNode* node)
    {
        node->pNextNode = freeList;
        freeList = node;
    }
};

namespace {
constexpr int32_t kInitialIDTableSize = 10;

// ID of the node covering (x, y); 0 off the board. Wide arithmetic so that
// neighbour pixels of nodes at the board's far edge cannot wrap around.
uint32_t IDAt(const Mesh* mesh, int64_t x, int64_t y)
{
    if (x < 0 || y < 0 || x >= mesh->CountPixelX || y >= mesh->CountPixelY) return 0;
    return mesh->IDMatrix[x][y];
}

uint32_t Low32(const void* address)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
}
}  // namespace

uint32_t NeighbourID(const MeshNode* node, int slot)
{
    if (node == nullptr) return 0;
    switch (slot) {
    case 0: return node->IDTopL;
    case 1: return node->IDTopR;
    case 2: return node->IDRightT;
    case 3: return node->IDRightB;
    case 4: return node->IDBotL;
    case 5: return node->IDBotR;
    case 6: return node->IDLeftT;
    case 7: return node->IDLeftB;
    default: return 0;
    }
}

int InitMesh(Mesh* mesh, const SimMatrix* board)
{
    if (mesh == nullptr || board == nullptr) return -1;
    if (mesh->IDToNodeSize != 0) FreeMesh(mesh);
    if (board->CountPixelX > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) ||
        board->CountPixelY > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
        printDebug("InitMesh: board of %u x %u pixels is too large\r\n", board->CountPixelX, board->CountPixelY);
        return -1;
    }
    mesh->FirstNode = nullptr;
    mesh->LastNode = nullptr;
    mesh->LastID = 0;
    mesh->NodeCount = 0;
    mesh->IDToNode = static_cast<MeshNode**>(std::calloc(kInitialIDTableSize, sizeof(MeshNode*)));
    mesh->IDToNodeSize = mesh->IDToNode == nullptr ? 0 : kInitialIDTableSize;
    mesh->CountPixelX = static_cast<int32_t>(board->CountPixelX);
    mesh->CountPixelY = static_cast<int32_t>(board->CountPixelY);
    mesh->IDMatrix = reinterpret_cast<uint32_t**>(malloc2D(mesh->CountPixelX, mesh->CountPixelY, sizeof(uint32_t)));
    if (mesh->IDToNode == nullptr || mesh->IDMatrix == nullptr) {
        FreeMesh(mesh);
        return -1;
    }
    const size_t columnBytes = sizeof(uint32_t) * static_cast<size_t>(mesh->CountPixelY);
    for (int32_t x = 0; x < mesh->CountPixelX; ++x) std::memset(mesh->IDMatrix[x], 0, columnBytes);
    return 0;
}

Mesh::~Mesh()
{
    FreeMesh(this);
}

Mesh::Mesh(Mesh&& other) noexcept : MeshFields(other)
{
    static_cast<MeshFields&>(other) = MeshFields{};
}

Mesh& Mesh::operator=(Mesh&& other) noexcept
{
    if (this != &other) {
        FreeMesh(this);
        static_cast<MeshFields&>(*this) = other;
        static_cast<MeshFields&>(other) = MeshFields{};
    }
    return *this;
}

void FreeMesh(Mesh* mesh)
{
    if (mesh == nullptr) return;
    // Nodes are trivially destructible; releasing the pool releases them all.
    delete mesh->NodePool;
    mesh->NodePool = nullptr;
    FreeResultStore(mesh);
    mesh->FirstNode = nullptr;
    mesh->LastNode = nullptr;
    mesh->NodeCount = 0;
    std::free(mesh->IDToNode);
    mesh->IDToNode = nullptr;
    if (mesh->IDMatrix != nullptr) free2D(mesh->IDMatrix, mesh->CountPixelX);
    mesh->IDMatrix = nullptr;
    mesh->IDToNodeSize = 0;
    mesh->CountPixelX = 0;
    mesh->CountPixelY = 0;
}

int ExpandIDToNode(Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    const int32_t oldSize = mesh->IDToNodeSize;
    if (oldSize > std::numeric_limits<int32_t>::max() / 2) {
        printDebug("ExpandIDToNode: ID table cannot grow beyond %d entries\r\n", oldSize);
        return -1;
    }
    const int32_t newSize = oldSize < 1 ? kInitialIDTableSize : oldSize * 2;
    auto* table = static_cast<MeshNode**>(std::calloc(static_cast<size_t>(newSize), sizeof(MeshNode*)));
    if (table == nullptr) {
        printDebug("ExpandIDToNode: out of memory for %d entries\r\n", newSize);
        return -1;
    }
    if (oldSize > 0) std::memcpy(table, mesh->IDToNode, sizeof(MeshNode*) * static_cast<size_t>(oldSize));
    std::free(mesh->IDToNode);
    mesh->IDToNode = table;
    mesh->IDToNodeSize = newSize;
    return 0;
}

MeshNode* AddNode(Mesh* mesh, MeshNode* nodeTemplate)
{
    if (mesh == nullptr || nodeTemplate == nullptr || mesh->IDMatrix == nullptr) return nullptr;
    if (mesh->LastID == std::numeric_limits<uint32_t>::max()) return nullptr;
    ++mesh->LastID;
    // Normally one doubling suffices (IDs grow by one); loop in case LastID was
    // moved on by hand.
    while (static_cast<int64_t>(mesh->LastID) >= mesh->IDToNodeSize) {
        if (ExpandIDToNode(mesh) != 0) {
            --mesh->LastID;
            return nullptr;
        }
    }
    nodeTemplate->ID = mesh->LastID;
    if (mesh->NodePool == nullptr) mesh->NodePool = new (std::nothrow) MeshNodePool;
    void* memory = mesh->NodePool != nullptr ? mesh->NodePool->Take() : nullptr;
    if (memory == nullptr) {
        printDebug("AddNode: out of memory\r\n");
        --mesh->LastID;
        return nullptr;
    }
    auto* node = new (memory) MeshNode(*nodeTemplate);
    // The template's record belongs to its own node (maybe of another mesh).
    node->Results = nullptr;
    if (nodeTemplate->Results != nullptr)
        if (MeshNodeResults* results = NodeResults(mesh, node); results != nullptr) *results = *nodeTemplate->Results;
    node->pPrevNode = mesh->LastNode;
    node->pNextNode = nullptr;
    if (mesh->LastNode != nullptr)
        mesh->LastNode->pNextNode = node;
    else
        mesh->FirstNode = node;
    mesh->LastNode = node;
    mesh->IDToNode[node->ID] = node;
    ++mesh->NodeCount;

    // Only the part of the rectangle that lies on the board is recorded.
    const int64_t x0 = std::max<int64_t>(node->x, 0);
    const int64_t y0 = std::max<int64_t>(node->y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(node->x) + node->OrderX, mesh->CountPixelX);
    const int64_t y1 = std::min<int64_t>(int64_t(node->y) + node->OrderY, mesh->CountPixelY);
    for (int64_t px = x0; px < x1; ++px) {
        uint32_t* column = mesh->IDMatrix[px];
        std::fill(column + y0, column + std::max(y0, y1), node->ID);
    }
    return node;
}

int CompactNodes(Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    if (mesh->NodePool == nullptr || mesh->NodePool->freeList == nullptr) return 0;
    auto* pool = new (std::nothrow) MeshNodePool;
    std::vector<void*> slots;
    try {
        slots.reserve(mesh->NodeCount);
    } catch (const std::bad_alloc&) {
        delete pool;
        return -1;
    }
    // Every slot first, so that running out of memory leaves the mesh as it was.
    for (uint32_t i = 0; pool != nullptr && i < mesh->NodeCount; ++i) {
        void* slot = pool->Take();
        if (slot == nullptr) break;
        slots.push_back(slot);
    }
    if (pool == nullptr || slots.size() != mesh->NodeCount) {
        delete pool;
        return -1;
    }
    MeshNode* previous = nullptr;
    size_t i = 0;
    for (const MeshNode* node = mesh->FirstNode; node != nullptr; node = node->pNextNode) {
        auto* moved = new (slots[i++]) MeshNode(*node);
        moved->pPrevNode = previous;
        if (previous != nullptr)
            previous->pNextNode = moved;
        else
            mesh->FirstNode = moved;
        mesh->IDToNode[moved->ID] = moved;
        previous = moved;
    }
    if (previous != nullptr) previous->pNextNode = nullptr;
    mesh->LastNode = previous;
    delete mesh->NodePool;
    mesh->NodePool = pool;
    return 0;
}

int DeleteNode(Mesh* mesh, MeshNode* node)
{
    if (mesh == nullptr || node == nullptr || mesh->FirstNode == nullptr) return -1;
    if (node->pPrevNode != nullptr)
        node->pPrevNode->pNextNode = node->pNextNode;
    else
        mesh->FirstNode = node->pNextNode;
    if (node->pNextNode != nullptr)
        node->pNextNode->pPrevNode = node->pPrevNode;
    else
        mesh->LastNode = node->pPrevNode;
    if (static_cast<int64_t>(node->ID) < mesh->IDToNodeSize && mesh->IDToNode[node->ID] == node)
        mesh->IDToNode[node->ID] = nullptr;
    mesh->NodePool->Give(node);
    --mesh->NodeCount;
    return 0;
}

MeshNode* GetFirstNode(const Mesh* mesh)
{
    return mesh == nullptr ? nullptr : mesh->FirstNode;
}

MeshNode* GetNextNode(const MeshNode* node)
{
    return node == nullptr ? nullptr : node->pNextNode;
}

int CountNodes(const Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    return static_cast<int>(mesh->NodeCount);
}

MeshPoint GetPosition(const MeshNode* node)
{
    if (node == nullptr) return {};
    return {static_cast<int32_t>(node->x), static_cast<int32_t>(node->y)};
}

uint32_t GetOrderX(const MeshNode* node)
{
    return node == nullptr ? 0 : node->OrderX;
}

uint32_t GetOrderY(const MeshNode* node)
{
    return node == nullptr ? 0 : node->OrderY;
}

MeshRect GetRect(const MeshNode* node)
{
    if (node == nullptr) return {};
    return {static_cast<int32_t>(node->x), static_cast<int32_t>(node->y),
            static_cast<int32_t>(node->x + node->OrderX - 1), static_cast<int32_t>(node->y + node->OrderY - 1)};
}

uint32_t CoordinateToID(const Mesh* mesh, MeshPoint point)
{
    if (mesh == nullptr || mesh->IDMatrix == nullptr) return 0;
    return IDAt(mesh, point.x, point.y);
}

MeshNode* IDToAddress(const Mesh* mesh, uint32_t id)
{
    if (mesh == nullptr || id == 0 || mesh->FirstNode == nullptr) return nullptr;
    if (static_cast<int64_t>(id) >= mesh->IDToNodeSize) return nullptr;
    return mesh->IDToNode[id];
}

MeshNode* CoordinateToAddress(const Mesh* mesh, MeshPoint point)
{
    return IDToAddress(mesh, CoordinateToID(mesh, point));
}

int SetIDMatrix(Mesh* mesh, int32_t x, int32_t y, uint32_t id)
{
    if (mesh == nullptr || mesh->IDMatrix == nullptr) return -1;
    if (x < 0 || y < 0 || x >= mesh->CountPixelX || y >= mesh->CountPixelY) return -1;
    mesh->IDMatrix[x][y] = id;
    return 0;
}

int IsSameNode(const Mesh* mesh, MeshPoint p1, MeshPoint p2)
{
    return CoordinateToID(mesh, p1) == CoordinateToID(mesh, p2) ? 1 : 0;
}

int SetNeighbour(Mesh* mesh, MeshNode* node)
{
    if (mesh == nullptr || node == nullptr || mesh->IDMatrix == nullptr) return -1;
    const int64_t l = node->x, t = node->y;
    const int64_t r = l + node->OrderX - 1, b = t + node->OrderY - 1;
    node->IDTopL = IDAt(mesh, l, t - 1);
    node->IDTopR = IDAt(mesh, r, t - 1);
    node->IDRightT = IDAt(mesh, r + 1, t);
    node->IDRightB = IDAt(mesh, r + 1, b);
    node->IDBotL = IDAt(mesh, l, b + 1);
    node->IDBotR = IDAt(mesh, r, b + 1);
    node->IDLeftT = IDAt(mesh, l - 1, t);
    node->IDLeftB = IDAt(mesh, l - 1, b);
    return 0;
}

int SetAllNeighbour(Mesh* mesh, MeshNode* node)
{
    if (SetNeighbour(mesh, node) != 0) return -1;
    const uint32_t ids[] = {node->IDTopL, node->IDTopR, node->IDRightT, node->IDRightB,
                            node->IDBotL, node->IDBotR, node->IDLeftT,  node->IDLeftB};
    for (uint32_t id : ids) SetNeighbour(mesh, IDToAddress(mesh, id));
    return 0;
}

// Orders are compared as signed numbers.
namespace {
int32_t SignedX(const MeshNode* n)
{
    return static_cast<int32_t>(n->OrderX);
}
int32_t SignedY(const MeshNode* n)
{
    return static_cast<int32_t>(n->OrderY);
}
}  // namespace

int IsHigherOrderX(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedX(b) > SignedX(a) ? 1 : 0;
}
int IsSameOrderX(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedX(b) == SignedX(a) ? 1 : 0;
}
int IsLowerOrderX(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedX(b) < SignedX(a) ? 1 : 0;
}
int IsHigherOrderY(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedY(b) > SignedY(a) ? 1 : 0;
}
int IsSameOrderY(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedY(b) == SignedY(a) ? 1 : 0;
}
int IsLowerOrderY(const MeshNode* a, const MeshNode* b)
{
    return a != nullptr && b != nullptr && SignedY(b) < SignedY(a) ? 1 : 0;
}

int IsRectInRect(MeshRect a, MeshRect b)
{
    return a.left >= b.left && a.left <= b.right && a.right >= b.left && a.right <= b.right && a.top >= b.top &&
                   a.top <= b.bottom && a.bottom >= b.top && a.bottom <= b.bottom
               ? 1
               : 0;
}

int IsCoordinateInRect(MeshRect rect, const MeshPoint& point)
{
    return IsPointInRect(rect, point);
}

int IsPointInRect(MeshRect rect, MeshPoint point)
{
    return rect.left <= point.x && point.x <= rect.right && rect.top <= point.y && point.y <= rect.bottom ? 1 : 0;
}

float Getsx(const SimMatrix* board)
{
    if (board == nullptr || board->CountPixelX == 0) return 0.0f;
    return board->SizeX / static_cast<float>(board->CountPixelX);
}

float Getsy(const SimMatrix* board)
{
    if (board == nullptr || board->CountPixelY == 0) return 0.0f;
    return board->SizeY / static_cast<float>(board->CountPixelY);
}

float NodeGetArea(const SimMatrix* board, const MeshNode* node)
{
    if (board == nullptr || node == nullptr) return 0.0f;
    return static_cast<float>(node->OrderX) * Getsx(board) * static_cast<float>(node->OrderY) * Getsy(board);
}

int PrintNodes(const Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    if (mesh->FirstNode == nullptr) {
        printDebug("Keine Nodes vorhanden\r\n");
        return 0;
    }
    for (const MeshNode* n = mesh->FirstNode; n != nullptr; n = n->pNextNode)
        printDebug("pNode=%X ID:%u Orderx:%u Ordery:%u Position x:%u y:%u IDTop:L%u R%u IDRight:T%u B%u IDBot:L%u "
                   "R%u IDLeft:T%u B%u pNextNode:%X\r\n",
                   Low32(n), n->ID, n->OrderX, n->OrderY, n->x, n->y, n->IDTopL, n->IDTopR, n->IDRightT, n->IDRightB,
                   n->IDBotL, n->IDBotR, n->IDLeftT, n->IDLeftB, Low32(n->pNextNode));
    return 0;
}

int PrintIDToNode(const Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    for (int32_t i = 0; i < mesh->IDToNodeSize; ++i)
        printDebug("IDToNode[%u]=%X\r\n", static_cast<unsigned>(i), Low32(mesh->IDToNode[i]));
    return 0;
}

}  // namespace korvex
