#include "mesh/mesh_result_copy.h"

#include <cstring>
#include <new>

namespace korvex {

namespace {
// The node's result fields lie between Voltage and the list links.
constexpr size_t kResultsBegin = offsetof(MeshNode, Voltage);
constexpr size_t kResultsEnd = offsetof(MeshNode, pNextNode);
static_assert(kResultsBegin < kResultsEnd);
}  // namespace

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
    // Nothing of mesh_ is owned by it: the nodes and the ID table are ours, the
    // pixel table is the original's.
    mesh_.FirstNode = mesh_.LastNode = nullptr;
    mesh_.IDToNode = nullptr;
    mesh_.IDMatrix = nullptr;
    mesh_.IDToNodeSize = 0;
    mesh_.NodeCount = 0;
    mesh_.NodePool = nullptr;
}

int MeshResultCopy::ApplyTo(Mesh* target) const
{
    if (!valid_ || target == nullptr || target->NodeCount != nodes_.size() || target->LastID != mesh_.LastID)
        return -1;
    size_t i = 0;
    for (const MeshNode* n = target->FirstNode; n != nullptr; n = n->pNextNode, ++i)
        if (i >= nodes_.size() || nodes_[i].ID != n->ID) return -1;
    i = 0;
    for (MeshNode* n = target->FirstNode; n != nullptr; n = n->pNextNode, ++i)
        std::memcpy(reinterpret_cast<char*>(n) + kResultsBegin,
                    reinterpret_cast<const char*>(&nodes_[i]) + kResultsBegin, kResultsEnd - kResultsBegin);
    return 0;
}

}  // namespace korvex
