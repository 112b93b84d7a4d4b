#include "mesh/mesh_result_copy.h"

#include <algorithm>
#include <new>

#include "mesh/mesh_node_results.h"

namespace korvex {

MeshResultCopy::MeshResultCopy(const Mesh& original)
{
    try {
        nodes_.reserve(original.NodeCount);
        for (const MeshNode* n = original.FirstNode; n != nullptr; n = n->pNextNode) nodes_.push_back(*n);
        byId_.assign(static_cast<size_t>(original.IDToNodeSize > 0 ? original.IDToNodeSize : 0), nullptr);
    } catch (const std::bad_alloc&) {
        return;
    }
    for (size_t i = 0; i < nodes_.size(); ++i) {
        MeshNode& node = nodes_[i];
        node.pPrevNode = i > 0 ? &nodes_[i - 1] : nullptr;
        node.pNextNode = i + 1 < nodes_.size() ? &nodes_[i + 1] : nullptr;
        if (node.ID < byId_.size()) byId_[node.ID] = &node;
        // The original's record stays the original's: results it has are copied.
        const MeshNodeResults* original = node.Results;
        node.Results = nullptr;
        if (original != nullptr) {
            MeshNodeResults* own = NodeResults(&mesh_, &node);
            if (own == nullptr) return;
            *own = *original;
        }
    }
    mesh_.FirstNode = nodes_.empty() ? nullptr : &nodes_.front();
    mesh_.LastNode = nodes_.empty() ? nullptr : &nodes_.back();
    mesh_.LastID = original.LastID;
    mesh_.IDToNodeSize = original.IDToNodeSize;
    mesh_.IDToNode = byId_.data();
    mesh_.IDMatrix = original.IDMatrix;  // borrowed, read only
    mesh_.CountPixelX = original.CountPixelX;
    mesh_.CountPixelY = original.CountPixelY;
    mesh_.NodeCount = original.NodeCount;
    valid_ = true;
}

MeshResultCopy::~MeshResultCopy()
{
    // Of what mesh_ points to it owns only its result store: the nodes and the
    // ID table are ours, the pixel table is the original's.
    mesh_.FirstNode = mesh_.LastNode = nullptr;
    mesh_.IDToNode = nullptr;
    mesh_.IDMatrix = nullptr;
    mesh_.IDToNodeSize = 0;
    mesh_.NodeCount = 0;
    mesh_.NodePool = nullptr;
}

int MeshResultCopy::ApplyTo(Mesh* target)
{
    if (!valid_ || target == nullptr || target->NodeCount != nodes_.size() || target->LastID != mesh_.LastID)
        return -1;
    size_t i = 0;
    for (const MeshNode* n = target->FirstNode; n != nullptr; n = n->pNextNode, ++i)
        if (i >= nodes_.size() || nodes_[i].ID != n->ID) return -1;
    // The records stay where they are; the target's nodes point to them now
    // and the target's former store goes.
    MoveResultStore(&mesh_, target);
    i = 0;
    for (MeshNode* n = target->FirstNode; n != nullptr; n = n->pNextNode, ++i) {
        std::copy(std::begin(nodes_[i].Temperature), std::end(nodes_[i].Temperature), std::begin(n->Temperature));
        n->Results = nodes_[i].Results;
        nodes_[i].Results = nullptr;
    }
    return 0;
}

}  // namespace korvex
