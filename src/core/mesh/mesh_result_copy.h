#pragma once
// A copy of a mesh's nodes that a job maps its results into while the mesh
// itself stays as it was (the desktop paints from it meanwhile). The copy is
// a mesh of its own for every reader and result function: same IDs, same
// order, same neighbours, the original's results in a result store of its
// own; it borrows the original's pixel table, which neither side changes while
// a job runs. ApplyTo then hands the results over in one pass on the owner's
// thread.
#include <cstddef>
#include <vector>

#include "mesh/mesh_model.h"
#include "util/large_block.h"

namespace korvex {

class MeshResultCopy {
public:
    explicit MeshResultCopy(const Mesh& original);
    ~MeshResultCopy();
    MeshResultCopy(const MeshResultCopy&) = delete;
    MeshResultCopy& operator=(const MeshResultCopy&) = delete;

    // False when the copy could not be made (out of memory).
    bool Valid() const { return valid_; }
    Mesh* Get() { return &mesh_; }

    // Gives `target`, which must still have the original's nodes, every
    // node's results (voltages, currents, temperatures, impedances): the
    // temperatures are copied, the result store is handed over (the copy keeps
    // none). 0, or -1 (nothing changed) when the node lists differ.
    int ApplyTo(Mesh* target);

private:
    std::vector<MeshNode, LargeBlockAllocator<MeshNode>> nodes_;
    std::vector<MeshNode*, LargeBlockAllocator<MeshNode*>> byId_;
    Mesh mesh_;
    bool valid_ = false;
};

}  // namespace korvex
