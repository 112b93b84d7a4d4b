#include "mesh/mesh_node_results.h"

#include <algorithm>
#include <new>
#include <type_traits>
#include <vector>

#include "util/large_block.h"

namespace korvex {

static_assert(std::is_trivially_destructible_v<MeshNodeResults>);

// Records are carved from blocks that never move, so a node's pointer stays
// valid until the store is released. A record whose node was deleted stays
// unused until then.
struct MeshResultStore {
    std::vector<void*> blocks;
    char* next = nullptr;
    char* end = nullptr;
    // Blocks double from 64 KiB to 64 MiB, like the node blocks.
    size_t blockBytes = size_t(64) << 10;

    ~MeshResultStore()
    {
        for (void* block : blocks) FreeLarge(block);
    }

    MeshNodeResults* Take()
    {
        if (next == nullptr || size_t(end - next) < sizeof(MeshNodeResults)) {
            void* block = AllocateLarge(blockBytes);
            if (block == nullptr) return nullptr;
            try {
                blocks.push_back(block);
            } catch (const std::bad_alloc&) {
                FreeLarge(block);
                return nullptr;
            }
            next = static_cast<char*>(block);
            end = next + blockBytes;
            blockBytes = std::min(blockBytes * 2, size_t(64) << 20);
        }
        auto* record = new (next) MeshNodeResults{};
        next += sizeof(MeshNodeResults);
        return record;
    }
};

MeshNodeResults* NodeResults(Mesh* mesh, MeshNode* node)
{
    if (mesh == nullptr || node == nullptr) return nullptr;
    if (node->Results != nullptr) return node->Results;
    if (mesh->ResultStore == nullptr) mesh->ResultStore = new (std::nothrow) MeshResultStore;
    if (mesh->ResultStore == nullptr) return nullptr;
    node->Results = mesh->ResultStore->Take();
    return node->Results;
}

const MeshNodeResults& ResultsOf(const MeshNode* node)
{
    static const MeshNodeResults kNone{};
    return node != nullptr && node->Results != nullptr ? *node->Results : kNone;
}

void FreeResultStore(Mesh* mesh)
{
    if (mesh == nullptr) return;
    delete mesh->ResultStore;
    mesh->ResultStore = nullptr;
}

void MoveResultStore(Mesh* from, Mesh* into)
{
    if (from == nullptr || into == nullptr || from == into) return;
    FreeResultStore(into);
    into->ResultStore = from->ResultStore;
    from->ResultStore = nullptr;
}

}  // namespace korvex
