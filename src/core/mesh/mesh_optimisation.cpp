// Merging equal neighbours into rectangles ("Asymmetric Mesh").
//
// The rule: repeatedly merge the node of lowest ID that may merge with its
// right (bottom) neighbour, until none may. Rescanning the whole list after
// every merge costs merges x nodes. Instead the scan keeps going forward and
// only the nodes whose test can have changed through a merge are put back into
// a queue ordered by ID; the next node tested is always the lowest-ID node
// whose test may have become true, so merges happen in exactly the same order
// and the mesh comes out identical, IDs included.
#include <algorithm>
#include <functional>
#include <queue>
#include <vector>

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "util/job_observer.h"

namespace korvex {

namespace {
const Settings& Resolve(const Settings* settings)
{
    return settings != nullptr ? *settings : gSettings;
}

bool IsTwoTerminalPart(uint32_t kind)
{
    return kind == PART_CURRENT || kind == PART_RESISTOR || kind == PART_SERIESSUBCIRCUIT;
}

// The two corners of a heat source or sink as a rectangle, corners in any order.
MeshRect CornerRect(uint32_t ax, uint32_t ay, uint32_t bx, uint32_t by)
{
    const auto lo = [](uint32_t a, uint32_t b) { return static_cast<int32_t>(std::min(a, b)); };
    const auto hi = [](uint32_t a, uint32_t b) { return static_cast<int32_t>(std::max(a, b)); };
    return {lo(ax, bx), lo(ay, by), hi(ax, bx), hi(ay, by)};
}

uint64_t PointKey(uint32_t x, uint32_t y)
{
    return (uint64_t(x) << 32) | y;
}

// The part list reduced to what SplitbyPart asks, for constant-time answers:
// every terminal or position of a point part, and the heat rectangles.
// A point part keeps two distinct nodes apart exactly when one of them sits
// on one of its points (single-point parts hold at most one of two nodes;
// two-terminal parts holding both are kept apart too).
class PartPlacementIndex {
public:
    explicit PartPlacementIndex(const SimMatrix* board)
    {
        for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
            switch (p->Kind) {
            case PART_CURRENT: AddTwo(PartRecord<Current>(p)); break;
            case PART_RESISTOR: AddTwo(PartRecord<Resistor>(p)); break;
            case PART_SERIESSUBCIRCUIT: AddTwo(PartRecord<SeriesSubCircuit>(p)); break;
            case PART_VIA: points_.push_back(PointKey(PartRecord<Via>(p)->x, PartRecord<Via>(p)->y)); break;
            case PART_PORT: points_.push_back(PointKey(PartRecord<Port>(p)->x, PartRecord<Port>(p)->y)); break;
            case PART_CAP: points_.push_back(PointKey(PartRecord<Cap>(p)->x, PartRecord<Cap>(p)->y)); break;
            case PART_SUBCIRCUIT:
                points_.push_back(PointKey(PartRecord<SubCircuit>(p)->x, PartRecord<SubCircuit>(p)->y));
                break;
            case PART_HEATSOURCE: AddRect(PartRecord<HeatSource>(p)); break;
            case PART_HEATSINK: AddRect(PartRecord<HeatSink>(p)); break;
            default: break;
            }
        }
        std::sort(points_.begin(), points_.end());
        points_.erase(std::unique(points_.begin(), points_.end()), points_.end());
    }

    bool KeepsApart(const MeshNode* a, const MeshNode* b) const
    {
        if (OnPoint(a) || OnPoint(b)) return true;
        const MeshRect ra = GetRect(a), rb = GetRect(b);
        for (const MeshRect& r : rects_)
            if (IsRectInRect(ra, r) != IsRectInRect(rb, r)) return true;
        return false;
    }

private:
    template <class Record>
    void AddTwo(const Record* r)
    {
        points_.push_back(PointKey(r->Net1X, r->Net1Y));
        points_.push_back(PointKey(r->Net2X, r->Net2Y));
    }
    template <class Record>
    void AddRect(const Record* r)
    {
        rects_.push_back(CornerRect(r->RectAX, r->RectAY, r->RectBX, r->RectBY));
    }
    bool OnPoint(const MeshNode* n) const
    {
        return std::binary_search(points_.begin(), points_.end(), PointKey(n->x, n->y));
    }

    std::vector<uint64_t> points_;
    std::vector<MeshRect> rects_;
};

bool SameCopper(const MeshNode* a, const MeshNode* b, int layers)
{
    for (int l = 0; l < layers; ++l)
        if (a->bCopper[l] != b->bCopper[l]) return false;
    return true;
}

bool SameSize(const MeshNode* a, const MeshNode* b)
{
    return IsSameOrderX(a, b) && IsSameOrderY(a, b);
}

// The merge test of one node with its right neighbour (direction 0) or its
// bottom neighbour (direction 1). Returns the partner when the two may merge.
MeshNode* MergePartner(const Mesh* mesh, const MeshNode* a, uint32_t size, int direction, int layers,
                       const PartPlacementIndex& parts)
{
    const auto at = [mesh](uint32_t id) { return IDToAddress(mesh, id); };
    if (direction == 0) {
        if (a->OrderX != size || a->x % (2 * size) != 0) return nullptr;
        MeshNode* b = at(a->IDRightT);
        if (b == nullptr || !SameCopper(a, b, layers) || !SameSize(a, b)) return nullptr;
        const MeshNode* top = at(a->IDTopL);
        const MeshNode* bottom = at(a->IDBotL);
        if (IsLowerOrderX(a, top) || IsLowerOrderX(a, bottom)) return nullptr;
        if (IsHigherOrderX(a, top) && a->IDTopL != b->IDTopL) return nullptr;
        if (IsHigherOrderX(a, bottom) && a->IDBotL != b->IDBotL) return nullptr;
        if (top != nullptr && !SameSize(top, at(b->IDTopL))) return nullptr;
        if (bottom != nullptr && !SameSize(bottom, at(b->IDBotL))) return nullptr;
        if (IsLowerOrderX(a, at(a->IDLeftT)) || IsLowerOrderX(b, at(b->IDRightT))) return nullptr;
        return parts.KeepsApart(a, b) ? nullptr : b;
    }
    if (a->OrderY != size || a->y % (2 * size) != 0) return nullptr;
    MeshNode* b = at(a->IDBotL);
    if (b == nullptr || !SameCopper(a, b, layers) || !SameSize(a, b)) return nullptr;
    const MeshNode* left = at(a->IDLeftT);
    const MeshNode* right = at(a->IDRightT);
    if (IsLowerOrderY(a, left) || IsLowerOrderY(a, right)) return nullptr;
    if (IsHigherOrderY(a, left) && a->IDLeftT != b->IDLeftT) return nullptr;
    if (IsHigherOrderY(a, right) && a->IDRightT != b->IDRightT) return nullptr;
    if (left != nullptr && !SameSize(left, at(b->IDLeftT))) return nullptr;
    if (right != nullptr && !SameSize(right, at(b->IDRightT))) return nullptr;
    return parts.KeepsApart(a, b) ? nullptr : b;
}

// Calls visit(node) for every node covering a pixel of the segment from
// (x, y) to (x + dx*(length-1), y + dy*(length-1)), stepping over each node
// at once. Pixels off the board are skipped.
template <class Visit>
void ForEachNodeAlong(const Mesh* mesh, int64_t x, int64_t y, int dx, int dy, int64_t length, Visit visit)
{
    const int64_t end = (dx != 0 ? x : y) + length;
    while ((dx != 0 ? x : y) < end) {
        MeshNode* node = nullptr;
        if (x >= 0 && y >= 0 && x < mesh->CountPixelX && y < mesh->CountPixelY)
            node = IDToAddress(mesh, mesh->IDMatrix[x][y]);
        if (node == nullptr) {
            x += dx;
            y += dy;
            continue;
        }
        visit(node);
        if (dx != 0)
            x = int64_t(node->x) + node->OrderX;
        else
            y = int64_t(node->y) + node->OrderY;
    }
}

// Every node edge-adjacent to `node`.
template <class Visit>
void ForEachAdjacentNode(const Mesh* mesh, const MeshNode* node, Visit visit)
{
    const int64_t l = node->x, t = node->y, w = node->OrderX, h = node->OrderY;
    ForEachNodeAlong(mesh, l, t - 1, 1, 0, w, visit);
    ForEachNodeAlong(mesh, l, t + h, 1, 0, w, visit);
    ForEachNodeAlong(mesh, l - 1, t, 0, 1, h, visit);
    ForEachNodeAlong(mesh, l + w, t, 0, 1, h, visit);
}

// The queue of nodes still to be tested in one optimisation step. Every node
// with ID >= `cursor` is implicitly queued; nodes below the cursor are queued
// again when a merge may have changed their test.
class MergeQueue {
    static constexpr uint32_t kPrefetchDistance = 16;

public:
    explicit MergeQueue(const Mesh* mesh) : mesh_(mesh) {}

    // The queued node of lowest ID, or null when none is left.
    MeshNode* Next()
    {
        while (!requeued_.empty() && requeued_.top() < cursor_) {
            const uint32_t id = requeued_.top();
            requeued_.pop();
            queued_[id] = 0;
            if (MeshNode* node = IDToAddress(mesh_, id)) return node;
        }
        while (cursor_ <= mesh_->LastID) {
            // Nodes lie scattered in memory; fetching a few ahead hides the misses.
            const uint32_t ahead = cursor_ + kPrefetchDistance;
            if (ahead <= mesh_->LastID && mesh_->IDToNode[ahead] != nullptr)
                __builtin_prefetch(mesh_->IDToNode[ahead]);
            if (MeshNode* node = IDToAddress(mesh_, cursor_++)) return node;
        }
        return nullptr;
    }

    void Requeue(const MeshNode* node)
    {
        const uint32_t id = node->ID;
        if (id >= cursor_) return;
        if (queued_.size() <= id) queued_.resize(std::max<size_t>(id + 1, queued_.size() * 2), 0);
        if (queued_[id] != 0) return;
        queued_[id] = 1;
        requeued_.push(id);
    }

private:
    const Mesh* mesh_;
    uint32_t cursor_ = 1;
    std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> requeued_;
    std::vector<uint8_t> queued_;
};

// After a merge into `merged`: every node whose test reads a changed record.
// A test reads the node, its partner, and their neighbours' sizes and IDs.
// Records that changed: the two deleted nodes, the new node and the neighbours
// whose IDs were refreshed, all of them `merged` or adjacent to it. So the
// tests that can change are those of `merged`, of the nodes adjacent to it,
// and of the nodes whose partner is one of these (the nodes just left of, or
// just above, them).
void RequeueAround(const Mesh* mesh, MergeQueue& queue, const MeshNode* merged, int direction)
{
    std::vector<const MeshNode*> touched{merged};
    ForEachAdjacentNode(mesh, merged, [&](const MeshNode* n) { touched.push_back(n); });
    for (const MeshNode* n : touched) {
        queue.Requeue(n);
        const auto requeue = [&](const MeshNode* before) { queue.Requeue(before); };
        if (direction == 0)
            ForEachNodeAlong(mesh, int64_t(n->x) - 1, n->y, 0, 1, n->OrderY, requeue);
        else
            ForEachNodeAlong(mesh, n->x, int64_t(n->y) - 1, 1, 0, n->OrderX, requeue);
    }
}
}  // namespace

int IsNodeInPart(const Part* part, const MeshNode* node)
{
    if (part == nullptr || node == nullptr || part->pRecord == nullptr) return 0;
    const auto at = [node](uint32_t x, uint32_t y) { return node->x == x && node->y == y ? 1 : 0; };
    switch (part->Kind) {
    case PART_CURRENT: {
        const auto* r = PartRecord<Current>(part);
        return at(r->Net1X, r->Net1Y) | at(r->Net2X, r->Net2Y);
    }
    case PART_RESISTOR: {
        const auto* r = PartRecord<Resistor>(part);
        return at(r->Net1X, r->Net1Y) | at(r->Net2X, r->Net2Y);
    }
    case PART_SERIESSUBCIRCUIT: {
        const auto* r = PartRecord<SeriesSubCircuit>(part);
        return at(r->Net1X, r->Net1Y) | at(r->Net2X, r->Net2Y);
    }
    case PART_VIA: return at(PartRecord<Via>(part)->x, PartRecord<Via>(part)->y);
    case PART_PORT: return at(PartRecord<Port>(part)->x, PartRecord<Port>(part)->y);
    case PART_CAP: return at(PartRecord<Cap>(part)->x, PartRecord<Cap>(part)->y);
    case PART_SUBCIRCUIT: return at(PartRecord<SubCircuit>(part)->x, PartRecord<SubCircuit>(part)->y);
    case PART_HEATSOURCE: {
        const auto* r = PartRecord<HeatSource>(part);
        return IsRectInRect(GetRect(node), CornerRect(r->RectAX, r->RectAY, r->RectBX, r->RectBY));
    }
    case PART_HEATSINK: {
        const auto* r = PartRecord<HeatSink>(part);
        return IsRectInRect(GetRect(node), CornerRect(r->RectAX, r->RectAY, r->RectBX, r->RectBY));
    }
    default: return 0;
    }
}

int SplitbyPart(const SimMatrix* board, const Mesh*, const MeshNode* a, const MeshNode* b)
{
    if (board == nullptr || a == nullptr || b == nullptr) return 0;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
        const int inA = IsNodeInPart(p, a), inB = IsNodeInPart(p, b);
        if (inA != inB) return 1;
        // Both nodes on terminals of one two-terminal part: merging would short it.
        if (inA && inB && a != b && IsTwoTerminalPart(p->Kind)) return 1;
    }
    return 0;
}

MeshNode* MergeNode(Mesh* mesh, MeshNode* a, MeshNode* b)
{
    if (mesh == nullptr || a == nullptr || b == nullptr) return nullptr;
    MeshNode merged;
    merged.x = a->x;
    merged.y = a->y;
    if (a->IDRightT == b->ID) {
        merged.OrderX = 2 * a->OrderX;
        merged.OrderY = a->OrderY;
    } else if (a->IDBotL == b->ID) {
        merged.OrderX = a->OrderX;
        merged.OrderY = 2 * a->OrderY;
    } else {
        return nullptr;
    }
    std::copy(std::begin(a->bCopper), std::end(a->bCopper), merged.bCopper);
    DeleteNode(mesh, a);
    DeleteNode(mesh, b);
    MeshNode* node = AddNode(mesh, &merged);
    SetAllNeighbour(mesh, node);
    return node;
}

int OptimizeMeshStep(SimMatrix* board, Mesh* mesh, JobObserver*, uint32_t size, int direction)
{
    if (board == nullptr || mesh == nullptr) return -1;
    if (size == 0 || (direction != 0 && direction != 1)) return -1;
    const int layers = std::clamp(board->LayerCount, 0, kMaxLayers);
    const PartPlacementIndex parts(board);
    MergeQueue queue(mesh);
    while (MeshNode* a = queue.Next()) {
        MeshNode* b = MergePartner(mesh, a, size, direction, layers, parts);
        if (b == nullptr) continue;
        if (MeshNode* merged = MergeNode(mesh, a, b)) RequeueAround(mesh, queue, merged, direction);
    }
    return 0;
}

int OptimizeMesh(SimMatrix* board, Mesh* mesh, JobObserver* window, const Settings* settings,
                 const korvex::CancelToken* cancel)
{
    if (board == nullptr || mesh == nullptr) return -1;
    const uint32_t order = Resolve(settings).MaxMeshOrder;
    if (order > kLargestMeshOrder) return -1;
    if (window != nullptr) window->Repaint();
    // The order number itself bounds the sizes: order 5 gives sizes 1, 2 and 4.
    int passes = 0;
    for (uint64_t size = 1; size <= order; size *= 2) ++passes;
    int pass = 0;
    for (uint64_t size = 1; size <= order; size *= 2) {
        if (korvex::Cancelled(cancel)) return -1;
        OptimizeMeshStep(board, mesh, window, static_cast<uint32_t>(size), 0);
        if (korvex::Cancelled(cancel)) return -1;
        OptimizeMeshStep(board, mesh, window, static_cast<uint32_t>(size), 1);
        if (window != nullptr) {
            window->Progress("Optimize Mesh", double(++pass) / passes);
            window->Repaint();
        }
    }
    // Merging left most refined nodes deleted: give their room back (a
    // failure only keeps it).
    CompactNodes(mesh);
    UpdatebCopper(board, mesh);
    UpdateTemperature(board, mesh);
    return 0;
}

}  // namespace korvex
