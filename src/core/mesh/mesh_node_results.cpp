#include "mesh/mesh_node_results.h"

#include <new>
#include <type_traits>

#include "util/large_block.h"

namespace korvex {

static_assert(std::is_trivially_destructible_v<MeshNodeResults>);

// A node's record stays where it is until the store is released; a record whose node was
// deleted stays unused until then.
struct MeshResultStore {
    BlockArena arena;

    MeshNodeResults* Take()
    {
        void* memory = arena.Take(sizeof(MeshNodeResults));
        return memory == nullptr ? nullptr : new (memory) MeshNodeResults{};
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

bool MakeEveryNodeResults(Mesh* mesh)
{
    if (mesh == nullptr) return false;
    for (MeshNode* node = mesh->FirstNode; node != nullptr; node = node->pNextNode)
        if (NodeResults(mesh, node) == nullptr) return false;
    return true;
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
