#include "mesh/mesh_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "board/raster.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_internal.h"
#include "mesh/mesh_node_results.h"
#include "util/debug_log.h"
#include "util/large_block.h"
#include "util/side_by_side.h"

namespace korvex {

Mesh gMesh;

static_assert(std::is_trivially_destructible_v<MeshNode>);

// Nodes are carved from large blocks, and deleted nodes are kept for reuse:
// meshes of millions of nodes are built and rebuilt without a heap allocation
// per node, and the blocks can use large pages. Fresh memory is costly to touch
// the first time (the kernel clears every page), so once blocks get large the
// next one is allocated and faulted in on the second core while the current
// one is half used; the same for the next, doubled ID table. Blocks double
// from 64 KiB (a small mesh costs little) to 64 MiB.
struct MeshNodePool {
    static constexpr size_t kFirstBlock = size_t(64) << 10;
    static constexpr size_t kLargestBlock = size_t(64) << 20;
    static constexpr size_t kPrepareFrom = size_t(2) << 20;  // huge-page blocks
    static constexpr size_t kPrepareTableFrom = size_t(256) << 10;
    // Of a larger next block only the start is faulted in ahead: the last
    // block of a mesh is seldom filled, and memory never used should not be
    // made resident.
    static constexpr size_t kPrefaultAhead = size_t(16) << 20;

    std::vector<void*> blocks;
    char* next = nullptr;
    char* end = nullptr;
    size_t blockBytes = 0;  // of the current block
    size_t nextBlockBytes = kFirstBlock;
    MeshNode* freeList = nullptr;  // linked through pNextNode
    bool prepareAhead = true;  // false for a pool whose slots are all taken at once

    // mesh_stages::StepMask of every node by ID (0 for IDs without a node), so
    // that a merge step finds its candidates without loading every node.
    std::vector<uint16_t> stepMasks;
    bool stepMasksValid = true;

    void RecordStepMask(uint32_t id, uint16_t mask)
    {
        if (!stepMasksValid) return;
        if (stepMasks.size() <= id) {
            try {
                stepMasks.resize(std::max<size_t>(size_t(id) + 1, stepMasks.size() * 2));
            } catch (const std::bad_alloc&) {
                stepMasksValid = false;
                std::vector<uint16_t>().swap(stepMasks);
                return;
            }
        }
        stepMasks[id] = mask;
    }

    // The next block, and the next ID table (its size in entries), with the
    // tasks faulting them in.
    void* spareBlock = nullptr;
    size_t spareBlockBytes = 0;
    std::unique_ptr<SideTask> spareBlockFault;
    MeshNode** spareTable = nullptr;
    int32_t spareTableSize = 0;
    std::vector<uint16_t> spareStepMasks;  // as long as the spare table
    std::unique_ptr<SideTask> spareTableFault;
    // Blocks allocated ahead (Reserve), taken before any new one, and the
    // task faulting them in.
    std::vector<std::pair<void*, size_t>> reserved;
    size_t reservedTaken = 0;
    std::unique_ptr<SideTask> reservedFault;
    // The pool CompactNodes will move the nodes into, made ahead (PrepareCompaction).
    std::unique_ptr<MeshNodePool> compaction;

    MeshNodePool() = default;
    MeshNodePool(const MeshNodePool&) = delete;
    MeshNodePool& operator=(const MeshNodePool&) = delete;
    ~MeshNodePool()
    {
        spareBlockFault.reset();
        spareTableFault.reset();
        reservedFault.reset();
        FreeLarge(spareBlock);
        FreeLarge(spareTable);
        for (size_t i = reservedTaken; i < reserved.size(); ++i) FreeLarge(reserved[i].first);
        for (void* block : blocks) FreeLarge(block);
    }

    // Allocates the blocks for `records` more nodes now and faults them in on
    // the second core. False when out of memory (the pool is still usable).
    bool Reserve(size_t records)
    {
        size_t room = size_t(end - next) / sizeof(MeshNode), bytes = nextBlockBytes;
        try {
            while (room < records) {
                reserved.emplace_back(nullptr, bytes);  // the room first: a block is never lost
                reserved.back().first = AllocateLarge(bytes);
                if (reserved.back().first == nullptr) {
                    reserved.pop_back();
                    return false;
                }
                room += bytes / sizeof(MeshNode);
                bytes = std::min(bytes * 2, kLargestBlock);
            }
            // Only as many bytes as the records need (the last block is larger).
            std::vector<std::pair<void*, size_t>> blocksToFault(reserved.begin() + reservedTaken, reserved.end());
            size_t needed = records * sizeof(MeshNode) - std::min(records * sizeof(MeshNode), size_t(end - next));
            for (auto& [block, size] : blocksToFault) {
                size = std::min(size, needed);
                needed -= size;
            }
            reservedFault = std::make_unique<SideTask>([blocksToFault] {
                for (const auto& [block, size] : blocksToFault) PrefaultPages(block, size);
            });
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void* Take()
    {
        if (freeList != nullptr) {
            MeshNode* node = freeList;
            freeList = node->pNextNode;
            // The next record handed out is written soon: fetched now.
            if (freeList != nullptr) FetchForWriting(freeList);
            return node;
        }
        // spareBlock is the side task's to write until StartBlock has waited for it, so the
        // task is looked at first.
        if (next == nullptr || size_t(end - next) < sizeof(MeshNode)) {
            if (!StartBlock()) return nullptr;
        } else if (prepareAhead && spareBlockFault == nullptr && spareBlock == nullptr &&
                   nextBlockBytes >= kPrepareFrom && size_t(end - next) < blockBytes / 2) {
            PrepareBlock();
        }
        void* record = next;
        next += sizeof(MeshNode);
        if (size_t(end - next) >= 3 * sizeof(MeshNode)) FetchForWriting(next + 2 * sizeof(MeshNode));
        return record;
    }

    void Give(MeshNode* node)
    {
        node->pNextNode = freeList;
        freeList = node;
    }

    // A table of `entries` pointers for ExpandIDToNode, null when out of
    // memory: the prepared one when it has that size (all entries 0 then,
    // `cleared` true), else fresh memory.
    MeshNode** TakeTable(int32_t entries, bool& cleared)
    {
        cleared = false;
        spareTableFault.reset();  // waits for the faulting
        MeshNode** table = spareTable;
        const bool fits = spareTableSize == entries;
        spareTable = nullptr;
        spareTableSize = 0;
        if (fits) {
            cleared = true;
            if (stepMasksValid && spareStepMasks.size() >= stepMasks.size()) {
                std::copy(stepMasks.begin(), stepMasks.end(), spareStepMasks.begin());
                stepMasks.swap(spareStepMasks);
            }
            std::vector<uint16_t>().swap(spareStepMasks);
            return table;
        }
        FreeLarge(table);
        return static_cast<MeshNode**>(AllocateLarge(sizeof(MeshNode*) * static_cast<size_t>(entries)));
    }

    // Called as IDs are handed out: the doubled table is made ready once half
    // of the current one is in use.
    void PrepareTable(uint32_t lastID, int32_t tableSize)
    {
        if (spareTable != nullptr || tableSize > std::numeric_limits<int32_t>::max() / 2) return;
        const size_t bytes = sizeof(MeshNode*) * static_cast<size_t>(tableSize) * 2;
        if (bytes < kPrepareTableFrom || static_cast<int64_t>(lastID) < tableSize / 2) return;
        spareTable = static_cast<MeshNode**>(AllocateLarge(bytes));
        if (spareTable == nullptr) return;
        spareTableSize = tableSize * 2;
        // Cleared on the other core too, with the step masks as long: nothing
        // else touches them before TakeTable.
        MeshNode** table = spareTable;
        const size_t entries = static_cast<size_t>(spareTableSize);
        try {
            spareTableFault = std::make_unique<SideTask>([this, table, bytes, entries] {
                std::memset(table, 0, bytes);
                try {
                    spareStepMasks.resize(entries);
                } catch (const std::bad_alloc&) {
                    spareStepMasks.clear();  // RecordStepMask grows the masks itself
                }
            });
        } catch (const std::bad_alloc&) {
            FreeLarge(spareTable);
            spareTable = nullptr;
            spareTableSize = 0;
        }
    }

private:
    static void FetchForWriting(void* record)
    {
        const char* bytes = static_cast<const char*>(record);
        for (size_t at = 0; at < sizeof(MeshNode); at += 64) __builtin_prefetch(bytes + at, 1);
        __builtin_prefetch(bytes + sizeof(MeshNode) - 1, 1);
    }

    // The next block is allocated on the other core too (a block kept from
    // before is cleared there), and StartBlock waits for it.
    void PrepareBlock()
    {
        const size_t bytes = nextBlockBytes;
        try {
            spareBlockFault = std::make_unique<SideTask>([this, bytes] {
                void* block = AllocateLarge(bytes);
                if (block != nullptr) PrefaultPages(block, std::min(bytes, kPrefaultAhead));
                spareBlockBytes = bytes;
                spareBlock = block;
            });
        } catch (const std::bad_alloc&) {
            // The block is allocated when it is needed.
        }
    }

    bool StartBlock()
    {
        void* block = nullptr;
        size_t bytes = 0;
        if (spareBlockFault != nullptr) spareBlockFault.reset();  // waits for the block
        if (reservedTaken < reserved.size()) {
            block = reserved[reservedTaken].first;
            bytes = reserved[reservedTaken].second;
            ++reservedTaken;
        } else if (spareBlock != nullptr) {
            block = spareBlock;
            bytes = spareBlockBytes;
            spareBlock = nullptr;
        } else {
            bytes = nextBlockBytes;
            block = AllocateLarge(bytes);
            if (block == nullptr) return false;
        }
        try {
            blocks.push_back(block);
        } catch (const std::bad_alloc&) {
            FreeLarge(block);
            return false;
        }
        next = static_cast<char*>(block);
        end = next + bytes;
        blockBytes = bytes;
        nextBlockBytes = std::min(bytes * 2, kLargestBlock);
        return true;
    }
};

namespace {
constexpr int32_t kInitialIDTableSize = 10;

using mesh_access::IDAt;

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
    FreeLarge(mesh->IDToNode);
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
    // A large block: a table of millions of entries then takes a few huge
    // pages instead of thousands of small ones.
    const size_t kept = oldSize > 0 ? static_cast<size_t>(oldSize) : 0;
    bool cleared = false;
    auto* table = mesh->NodePool != nullptr
                      ? mesh->NodePool->TakeTable(newSize, cleared)
                      : static_cast<MeshNode**>(AllocateLarge(sizeof(MeshNode*) * static_cast<size_t>(newSize)));
    if (table == nullptr) {
        printDebug("ExpandIDToNode: out of memory for %d entries\r\n", newSize);
        return -1;
    }
    if (kept > 0) std::memcpy(table, mesh->IDToNode, sizeof(MeshNode*) * kept);
    if (!cleared) std::memset(table + kept, 0, sizeof(MeshNode*) * (static_cast<size_t>(newSize) - kept));
    FreeLarge(mesh->IDToNode);
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
    if (mesh->NodePool != nullptr) mesh->NodePool->PrepareTable(mesh->LastID, mesh->IDToNodeSize);
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
    mesh->NodePool->RecordStepMask(node->ID, mesh_stages::StepMask(node));

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

namespace {
// A fresh pool with one slot for every node of the mesh, taken all at once so
// that running out of memory leaves the mesh as it was; null then.
MeshNodePool* TakeSlots(const Mesh* mesh, std::vector<MeshNode*>& slots)
{
    MeshNodePool* pool = mesh->NodePool->compaction.release();
    if (pool == nullptr) pool = new (std::nothrow) MeshNodePool;
    if (pool == nullptr) return nullptr;
    pool->prepareAhead = false;
    try {
        slots.reserve(mesh->NodeCount);
    } catch (const std::bad_alloc&) {
        delete pool;
        return nullptr;
    }
    for (uint32_t i = 0; i < mesh->NodeCount; ++i) {
        void* slot = pool->Take();
        if (slot == nullptr) break;
        slots.push_back(static_cast<MeshNode*>(slot));
    }
    if (slots.size() != mesh->NodeCount) {
        delete pool;
        return nullptr;
    }
    return pool;
}

void ReplacePool(Mesh* mesh, MeshNodePool* pool)
{
    pool->stepMasks = std::move(mesh->NodePool->stepMasks);
    pool->stepMasksValid = mesh->NodePool->stepMasksValid;
    delete mesh->NodePool;
    mesh->NodePool = pool;
}
}  // namespace

int CompactNodes(Mesh* mesh)
{
    if (mesh == nullptr) return -1;
    if (mesh->NodePool == nullptr || mesh->NodePool->freeList == nullptr) return 0;
    std::vector<MeshNode*> slots;
    MeshNodePool* pool = TakeSlots(mesh, slots);
    if (pool == nullptr) return -1;
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
    ReplacePool(mesh, pool);
    return 0;
}

bool mesh_stages::CompactNodesVisiting(Mesh* mesh, void (*visit)(const void* context, MeshNode* node),
                                       const void* context)
{
    if (mesh->NodePool == nullptr || mesh->NodePool->freeList == nullptr || mesh->IDToNode == nullptr) return false;
    // The list runs in ID order, so a node's place in it is the number of live
    // IDs below its own: the two halves of the ID range move on two cores,
    // each node straight to its slot, linked to the slots next to it.
    const uint32_t count = mesh->NodeCount;
    uint32_t live = 0, middleID = mesh->LastID + 1, middleRank = 0;
    for (uint32_t id = 1; id <= mesh->LastID; ++id) {
        if (mesh->IDToNode[id] == nullptr) continue;
        if (live == count / 2) middleID = id, middleRank = live;
        ++live;
    }
    if (live != count || count == 0) return false;
    std::vector<MeshNode*> slots;
    MeshNodePool* pool = TakeSlots(mesh, slots);
    if (pool == nullptr) return false;
    const auto move = [&](uint32_t firstID, uint32_t endID, uint32_t rank) {
        constexpr uint32_t kAhead = 16;
        for (uint32_t id = firstID; id < endID; ++id) {
            if (id + kAhead < endID && mesh->IDToNode[id + kAhead] != nullptr)
                __builtin_prefetch(mesh->IDToNode[id + kAhead]);
            const MeshNode* node = mesh->IDToNode[id];
            if (node == nullptr) continue;
            auto* moved = new (slots[rank]) MeshNode(*node);
            moved->pPrevNode = rank > 0 ? slots[rank - 1] : nullptr;
            moved->pNextNode = rank + 1 < count ? slots[rank + 1] : nullptr;
            mesh->IDToNode[id] = moved;
            if (visit != nullptr) visit(context, moved);
            ++rank;
        }
    };
    // A small mesh is not worth a thread.
    constexpr uint32_t kSplitFrom = 16384;  // nodes
    if (count >= kSplitFrom)
        RunSideBySide([&] { move(middleID, mesh->LastID + 1, middleRank); }, [&] { move(1, middleID, 0); });
    else
        move(1, mesh->LastID + 1, 0);
    mesh->FirstNode = slots.front();
    mesh->LastNode = slots.back();
    ReplacePool(mesh, pool);
    return true;
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
    return mesh == nullptr ? nullptr : mesh_access::NodeAt(mesh, id);
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
    mesh_access::ReadNeighbours(mesh, node);
    return 0;
}

int SetAllNeighbour(Mesh* mesh, MeshNode* node)
{
    if (SetNeighbour(mesh, node) != 0) return -1;
    const uint32_t ids[] = {node->IDTopL, node->IDTopR, node->IDRightT, node->IDRightB,
                            node->IDBotL, node->IDBotR, node->IDLeftT,  node->IDLeftB};
    // A neighbour's record depends on the ID matrix alone, so a node named by
    // several slots is read once. All are fetched before the first is read.
    MeshNode* neighbours[kNeighbourSlots];
    int count = 0;
    for (int i = 0; i < kNeighbourSlots; ++i) {
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j) seen = ids[j] == ids[i];
        if (seen) continue;
        if (MeshNode* neighbour = mesh_access::NodeAt(mesh, ids[i])) {
            __builtin_prefetch(neighbour);
            neighbours[count++] = neighbour;
        }
    }
    for (int i = 0; i < count; ++i) mesh_access::FetchNeighbourPixels(mesh, neighbours[i]);
    for (int i = 0; i < count; ++i) mesh_access::ReadNeighbours(mesh, neighbours[i]);
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

void mesh_stages::PrepareCompaction(Mesh* mesh)
{
    // Small meshes fault in little memory: not worth a thread.
    if (mesh == nullptr || mesh->NodePool == nullptr ||
        size_t(mesh->NodeCount) * sizeof(MeshNode) < MeshNodePool::kPrepareFrom)
        return;
    auto pool = std::unique_ptr<MeshNodePool>(new (std::nothrow) MeshNodePool);
    if (pool == nullptr) return;
    pool->prepareAhead = false;
    if (!pool->Reserve(mesh->NodeCount)) return;
    mesh->NodePool->compaction = std::move(pool);
}

const uint16_t* mesh_stages::StepMasks(const Mesh* mesh)
{
    const MeshNodePool* pool = mesh->NodePool;
    if (pool == nullptr || !pool->stepMasksValid || pool->stepMasks.size() <= mesh->LastID) return nullptr;
    return pool->stepMasks.data();
}

}  // namespace korvex
