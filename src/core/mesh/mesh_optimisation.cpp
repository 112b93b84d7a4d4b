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
#include <iterator>
#include <functional>
#include <vector>

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_internal.h"
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
        for (const MeshRect& r : rects_)
            if (Inside(a, r) != Inside(b, r)) return true;
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
    // IsRectInRect(GetRect(n), r).
    static bool Inside(const MeshNode* n, const MeshRect& r)
    {
        const auto left = static_cast<int32_t>(n->x), top = static_cast<int32_t>(n->y);
        const auto right = static_cast<int32_t>(n->x + n->OrderX - 1);
        const auto bottom = static_cast<int32_t>(n->y + n->OrderY - 1);
        return left >= r.left && left <= r.right && right >= r.left && right <= r.right && top >= r.top &&
               top <= r.bottom && bottom >= r.top && bottom <= r.bottom;
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

// The merge test of one node with its right neighbour (direction 0) or its
// bottom neighbour (direction 1). Returns the partner when the two may merge.
MeshNode* MergePartner(const Mesh* mesh, const MeshNode* a, uint32_t size, int direction, int layers,
                       const PartPlacementIndex& parts)
{
    using namespace mesh_access;
    const auto at = [mesh](uint32_t id) { return NodeAt(mesh, id); };
    if (direction == 0) {
        if (a->OrderX != size || a->x % (2 * size) != 0) return nullptr;
        MeshNode* b = at(a->IDRightT);
        if (b == nullptr || !SameCopper(a, b, layers) || !SameSize(a, b)) return nullptr;
        const MeshNode* top = at(a->IDTopL);
        const MeshNode* bottom = at(a->IDBotL);
        if (NarrowerThan(a, top) || NarrowerThan(a, bottom)) return nullptr;
        if (WiderThan(a, top) && a->IDTopL != b->IDTopL) return nullptr;
        if (WiderThan(a, bottom) && a->IDBotL != b->IDBotL) return nullptr;
        if (top != nullptr && !SameSize(top, at(b->IDTopL))) return nullptr;
        if (bottom != nullptr && !SameSize(bottom, at(b->IDBotL))) return nullptr;
        if (NarrowerThan(a, at(a->IDLeftT)) || NarrowerThan(b, at(b->IDRightT))) return nullptr;
        return parts.KeepsApart(a, b) ? nullptr : b;
    }
    if (a->OrderY != size || a->y % (2 * size) != 0) return nullptr;
    MeshNode* b = at(a->IDBotL);
    if (b == nullptr || !SameCopper(a, b, layers) || !SameSize(a, b)) return nullptr;
    const MeshNode* left = at(a->IDLeftT);
    const MeshNode* right = at(a->IDRightT);
    if (LowerThan(a, left) || LowerThan(a, right)) return nullptr;
    if (TallerThan(a, left) && a->IDLeftT != b->IDLeftT) return nullptr;
    if (TallerThan(a, right) && a->IDRightT != b->IDRightT) return nullptr;
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
            node = mesh_access::NodeAt(mesh, mesh->IDMatrix[x][y]);
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
    // Nodes lie scattered in memory. Ahead of the cursor the queue fetches the
    // nodes, then for those of the step's size the table entries of the nodes
    // their test reads, then these nodes, each stage nearer to the cursor.
    static constexpr uint32_t kFetchNode = 64;
    static constexpr uint32_t kFetchEntries = 24;
    static constexpr uint32_t kFetchNeighbours = 10;

public:
    // The flags and the heap are kept from step to step (a mesh is optimised
    // in several steps over hundreds of thousands of IDs) and cleared here.
    MergeQueue(const Mesh* mesh, uint32_t size, int direction)
        : mesh_(mesh), size_(size), direction_(direction), requeued_(Scratch().heap), queued_(Scratch().flags)
    {
        // Nodes the step makes are twice the size and never candidates, so
        // the masks of the IDs there are now tell every candidate.
        if (size != 0 && (size & (size - 1)) == 0 && size < (uint32_t(1) << mesh_stages::kStepMaskSizes) &&
            mesh_stages::StepMasks(mesh) != nullptr) {
            maskEnd_ = mesh->LastID + 1;
            maskBit_ = static_cast<uint16_t>(1u << (2 * __builtin_ctz(size) + direction));
        }
        requeued_.clear();
        std::fill(queued_.begin(), queued_.end(), 0);
    }

    // The queued node of lowest ID, or null when none is left.
    MeshNode* Next()
    {
        while (!requeued_.empty() && requeued_.front() < cursor_) {
            const uint32_t id = requeued_.front();
            std::pop_heap(requeued_.begin(), requeued_.end(), std::greater<uint32_t>());
            requeued_.pop_back();
            queued_[id] = 0;
            if (MeshNode* node = mesh_access::NodeAt(mesh_, id)) return node;
        }
        // The masks move as merges add IDs: looked up afresh on every call.
        if (const uint16_t* masks = maskBit_ != 0 ? mesh_stages::StepMasks(mesh_) : nullptr) {
            // Only the candidates, in ID order, from the IDs found ahead.
            for (;;) {
                FindCandidates(masks);
                if (found_ == 0) break;
                const uint32_t id = ahead_[taken_ % kAhead];
                ++taken_;
                --found_;
                cursor_ = id + 1;
                FetchCandidates();
                if (MeshNode* node = mesh_access::NodeAt(mesh_, id)) return node;
            }
            cursor_ = std::max(cursor_, maskEnd_);
            return nullptr;
        }
        while (cursor_ <= mesh_->LastID) {
            FetchAhead();
            if (MeshNode* node = mesh_access::NodeAt(mesh_, cursor_++)) return node;
        }
        return nullptr;
    }

    void Requeue(const MeshNode* node)
    {
        // A node's size and place never change: one that fails the step's
        // first condition now fails it whenever it would be tested.
        if (node->ID < cursor_ && Candidate(node)) Push(node->ID);
    }

    // The same for the node of an ID from the ID matrix (a live node),
    // answered from the step masks where the mesh keeps them.
    void RequeueID(uint32_t id, const uint16_t* masks)
    {
        if (id == 0 || id >= cursor_) return;
        if (masks != nullptr && maskBit_ != 0) {
            if ((masks[id] & maskBit_) == 0) return;
            // Tested soon after: fetched now.
            if (const MeshNode* node = mesh_access::NodeAt(mesh_, id)) FetchRecord(node);
            Push(id);
        } else if (const MeshNode* node = mesh_access::NodeAt(mesh_, id)) {
            Requeue(node);
        }
    }

private:
    // A node's sizes, neighbour IDs and copper flags (its first two cache lines).
    static void FetchRecord(const MeshNode* n)
    {
        __builtin_prefetch(n);
        __builtin_prefetch(reinterpret_cast<const char*>(n) + 64);
    }

    void Push(uint32_t id)
    {
        if (queued_.size() <= id) queued_.resize(std::max<size_t>(id + 1, queued_.size() * 2), 0);
        if (queued_[id] != 0) return;
        queued_[id] = 1;
        requeued_.push_back(id);
        std::push_heap(requeued_.begin(), requeued_.end(), std::greater<uint32_t>());
    }

    // Whether the node is of the size and place that the step's test goes on with.
    bool Candidate(const MeshNode* n) const
    {
        return direction_ == 0 ? n->OrderX == size_ && n->x % (2 * size_) == 0
                               : n->OrderY == size_ && n->y % (2 * size_) == 0;
    }

    // Fills the ring of candidate IDs ahead of the cursor, fetching each node
    // as it is found.
    void FindCandidates(const uint16_t* masks)
    {
        while (found_ < kAhead && scan_ < maskEnd_) {
            const uint32_t id = scan_++;
            if ((masks[id] & maskBit_) == 0) continue;
            ahead_[(taken_ + found_) % kAhead] = id;
            ++found_;
            if (const MeshNode* n = mesh_->IDToNode[id]) FetchRecord(n);
        }
    }

    // For the candidates some places ahead: the table entries of the nodes
    // their test reads, and nearer still these nodes.
    void FetchCandidates() const
    {
        MeshNode* const* table = mesh_->IDToNode;
        const auto valid = [&](uint32_t id) { return id != 0 && static_cast<int64_t>(id) < mesh_->IDToNodeSize; };
        if (found_ > kFetchEntriesAt)
            if (const MeshNode* n = table[ahead_[(taken_ + kFetchEntriesAt) % kAhead]])
                for (uint32_t id : {n->IDRightT, n->IDBotL, n->IDTopL, n->IDLeftT})
                    if (valid(id)) __builtin_prefetch(table + id);
        if (found_ > kFetchNodesAt)
            if (const MeshNode* n = table[ahead_[(taken_ + kFetchNodesAt) % kAhead]]) {
                for (uint32_t id : {n->IDRightT, n->IDBotL, n->IDTopL, n->IDLeftT})
                    if (valid(id) && table[id] != nullptr) __builtin_prefetch(table[id]);
                // The partner's copper flags lie further in.
                const uint32_t partner = direction_ == 0 ? n->IDRightT : n->IDBotL;
                if (valid(partner) && table[partner] != nullptr)
                    __builtin_prefetch(reinterpret_cast<const char*>(table[partner]) + 64);
            }
        // The partner's neighbours that the test reads: their table entries,
        // then nearer still their records.
        const auto partnerOf = [&](uint32_t at) -> const MeshNode* {
            const MeshNode* n = table[ahead_[(taken_ + at) % kAhead]];
            if (n == nullptr) return nullptr;
            const uint32_t partner = direction_ == 0 ? n->IDRightT : n->IDBotL;
            return valid(partner) ? table[partner] : nullptr;
        };
        if (found_ > kFetchPartnerEntriesAt)
            if (const MeshNode* b = partnerOf(kFetchPartnerEntriesAt))
                for (uint32_t id : {b->IDTopL, b->IDBotL, b->IDRightT, b->IDLeftT})
                    if (valid(id)) __builtin_prefetch(table + id);
        if (found_ > kFetchPartnerNodesAt)
            if (const MeshNode* b = partnerOf(kFetchPartnerNodesAt))
                for (uint32_t id : {b->IDTopL, b->IDBotL, b->IDRightT, b->IDLeftT})
                    if (valid(id) && table[id] != nullptr) __builtin_prefetch(table[id]);
    }

    void FetchAhead() const
    {
        const uint32_t last = mesh_->LastID;
        MeshNode* const* table = mesh_->IDToNode;
        const auto entry = [&](uint32_t id) {
            if (static_cast<int64_t>(id) < mesh_->IDToNodeSize) __builtin_prefetch(table + id);
        };
        const auto node = [&](uint32_t id) {
            if (id != 0 && static_cast<int64_t>(id) < mesh_->IDToNodeSize && table[id] != nullptr)
                __builtin_prefetch(table[id]);
        };
        if (cursor_ + kFetchNode <= last && table[cursor_ + kFetchNode] != nullptr)
            __builtin_prefetch(table[cursor_ + kFetchNode]);
        if (cursor_ + kFetchEntries <= last)
            if (const MeshNode* n = table[cursor_ + kFetchEntries]; n != nullptr && Candidate(n)) {
                entry(n->IDRightT);
                entry(n->IDBotL);
                entry(n->IDTopL);
                entry(n->IDLeftT);
            }
        if (cursor_ + kFetchNeighbours <= last)
            if (const MeshNode* n = table[cursor_ + kFetchNeighbours]; n != nullptr && Candidate(n)) {
                node(n->IDRightT);
                node(n->IDBotL);
                node(n->IDTopL);
                node(n->IDLeftT);
                // The partner's copper flags lie further in.
                const uint32_t partner = direction_ == 0 ? n->IDRightT : n->IDBotL;
                if (partner != 0 && static_cast<int64_t>(partner) < mesh_->IDToNodeSize && table[partner] != nullptr)
                    __builtin_prefetch(reinterpret_cast<const char*>(table[partner]) + 64);
            }
    }

    struct Buffers {
        std::vector<uint32_t> heap;
        std::vector<uint8_t> flags;
    };
    static Buffers& Scratch()
    {
        thread_local Buffers buffers;
        return buffers;
    }

    static constexpr uint32_t kAhead = 8;  // candidate IDs kept ahead of the cursor
    static constexpr uint32_t kFetchEntriesAt = 6;
    static constexpr uint32_t kFetchNodesAt = 4;
    static constexpr uint32_t kFetchPartnerEntriesAt = 2;
    static constexpr uint32_t kFetchPartnerNodesAt = 1;

    const Mesh* mesh_;
    uint32_t size_;
    int direction_;
    uint32_t cursor_ = 1;
    // The end of the IDs there were at the start and the step's bit in the
    // step masks (0: every node is loaded and tested); the scan for
    // candidates ahead and the ring of those found (`found_` from `taken_`).
    uint32_t maskEnd_ = 0;
    uint16_t maskBit_ = 0;
    uint32_t scan_ = 1;
    uint32_t ahead_[kAhead] = {};
    uint32_t taken_ = 0;
    uint32_t found_ = 0;
    std::vector<uint32_t>& requeued_;  // min-heap of IDs below the cursor
    std::vector<uint8_t>& queued_;     // [ID] 1 while in the heap
};

// After a merge into `merged`: every node whose test reads a changed record.
// A test reads the node, its partner, and their neighbours' sizes and IDs.
// Records that changed: the two deleted nodes, the new node and the neighbours
// whose IDs were refreshed, all of them `merged` or adjacent to it. So the
// tests that can change are those of `merged`, of the nodes adjacent to it,
// and of the nodes whose partner is one of these (the nodes just left of, or
// just above, them).
void RequeueAround(const Mesh* mesh, MergeQueue& queue, const MeshNode* merged, int direction,
                   std::vector<const MeshNode*>& touched)
{
    touched.assign(1, merged);
    ForEachAdjacentNode(mesh, merged, [&](const MeshNode* n) { touched.push_back(n); });
    // The nodes before a touched one are taken pixel by pixel from the ID
    // matrix, by ID alone: their records need not be loaded.
    const uint16_t* masks = mesh_stages::StepMasks(mesh);
    for (const MeshNode* n : touched) {
        queue.Requeue(n);
        if (direction == 0) {
            const int64_t x = int64_t(n->x) - 1;
            if (x < 0 || x >= mesh->CountPixelX) continue;
            const uint32_t* column = mesh->IDMatrix[x];
            const int64_t y0 = std::max<int64_t>(n->y, 0);
            const int64_t y1 = std::min<int64_t>(int64_t(n->y) + n->OrderY, mesh->CountPixelY);
            for (int64_t y = y0; y < y1; ++y)
                if (y == y0 || column[y] != column[y - 1]) queue.RequeueID(column[y], masks);
        } else {
            const int64_t y = int64_t(n->y) - 1;
            if (y < 0 || y >= mesh->CountPixelY) continue;
            const int64_t x0 = std::max<int64_t>(n->x, 0);
            const int64_t x1 = std::min<int64_t>(int64_t(n->x) + n->OrderX, mesh->CountPixelX);
            uint32_t previous = 0;
            for (int64_t x = x0; x < x1; ++x) {
                const uint32_t id = mesh->IDMatrix[x][y];
                if (id != previous) queue.RequeueID(id, masks);
                previous = id;
            }
        }
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

namespace {
// MergeNode for a pair the step's test accepted, whose neighbour records agree
// with the ID matrix (as building and merging keep them: no side of a node has
// more than two neighbours, so every node adjacent to one is named by its
// slots). The merged node's slots are those of the halves at its corners, and a
// neighbour's slot changes only where it named a half: both without reading
// the ID matrix again, the same records as SetAllNeighbour makes.
MeshNode* MergeAccepted(Mesh* mesh, MeshNode* a, MeshNode* b, int direction,
                        MeshNode* (&neighbours)[kNeighbourSlots], int& count)
{
    MeshNode merged;
    merged.x = a->x;
    merged.y = a->y;
    merged.IDTopL = a->IDTopL;
    merged.IDLeftT = a->IDLeftT;
    if (direction == 0) {
        merged.OrderX = 2 * a->OrderX;
        merged.OrderY = a->OrderY;
        merged.IDTopR = b->IDTopR;
        merged.IDRightT = b->IDRightT;
        merged.IDRightB = b->IDRightB;
        merged.IDBotL = a->IDBotL;
        merged.IDBotR = b->IDBotR;
        merged.IDLeftB = a->IDLeftB;
    } else {
        merged.OrderX = a->OrderX;
        merged.OrderY = 2 * a->OrderY;
        merged.IDTopR = a->IDTopR;
        merged.IDRightT = a->IDRightT;
        merged.IDRightB = b->IDRightB;
        merged.IDBotL = b->IDBotL;
        merged.IDBotR = b->IDBotR;
        merged.IDLeftB = b->IDLeftB;
    }
    std::copy(std::begin(a->bCopper), std::end(a->bCopper), merged.bCopper);
    const uint32_t idA = a->ID, idB = b->ID;
    // The neighbours, each once, fetched while the merged node is made.
    const uint32_t ids[] = {merged.IDTopL, merged.IDTopR, merged.IDRightT, merged.IDRightB,
                            merged.IDBotL, merged.IDBotR, merged.IDLeftT,  merged.IDLeftB};
    count = 0;
    for (int i = 0; i < kNeighbourSlots; ++i) {
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j) seen = ids[j] == ids[i];
        if (seen) continue;
        if (MeshNode* n = mesh_access::NodeAt(mesh, ids[i])) {
            __builtin_prefetch(&n->IDTopL, 1);
            __builtin_prefetch(&n->IDLeftB, 1);
            neighbours[count++] = n;
        }
    }
    DeleteNode(mesh, a);
    DeleteNode(mesh, b);
    MeshNode* node = AddNode(mesh, &merged);
    if (node == nullptr) {
        count = 0;
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        MeshNode* n = neighbours[i];
        for (uint32_t MeshNode::*slot : {&MeshNode::IDTopL, &MeshNode::IDTopR, &MeshNode::IDRightT,
                                         &MeshNode::IDRightB, &MeshNode::IDBotL, &MeshNode::IDBotR,
                                         &MeshNode::IDLeftT, &MeshNode::IDLeftB})
            if (n->*slot == idA || n->*slot == idB) n->*slot = node->ID;
    }
    return node;
}

// RequeueAround for a merge whose records agree with the ID matrix: the nodes
// adjacent to the merged one are those its slots name (`neighbours`), and the
// nodes just left of (above) a node those its left (top) slots name.
void RequeueNamed(const Mesh* mesh, MergeQueue& queue, const MeshNode* merged, MeshNode* const* neighbours,
                  int count, int direction)
{
    const uint16_t* masks = mesh_stages::StepMasks(mesh);
    for (int i = -1; i < count; ++i) {
        const MeshNode* n = i < 0 ? merged : neighbours[i];
        queue.Requeue(n);
        const uint32_t first = direction == 0 ? n->IDLeftT : n->IDTopL;
        const uint32_t last = direction == 0 ? n->IDLeftB : n->IDTopR;
        queue.RequeueID(first, masks);
        if (last != first) queue.RequeueID(last, masks);
    }
}

// One optimisation step. `recordsAgree`: the mesh is balanced and every
// node's neighbour IDs agree with the ID matrix, as CreateMesh's refinement
// leaves them and its merges keep them; the merges then take the neighbours
// from the records (MergeAccepted, RequeueNamed). Otherwise (any mesh given to
// OptimizeMeshStep) they walk the ID matrix.
int MergeStep(SimMatrix* board, Mesh* mesh, uint32_t size, int direction, bool recordsAgree)
{
    if (board == nullptr || mesh == nullptr) return -1;
    if (size == 0 || (direction != 0 && direction != 1)) return -1;
    const int layers = std::clamp(board->LayerCount, 0, kMaxLayers);
    const PartPlacementIndex parts(board);
    MergeQueue queue(mesh, size, direction);
    MeshNode* neighbours[kNeighbourSlots];
    int count = 0;
    std::vector<const MeshNode*> touched;
    while (MeshNode* a = queue.Next()) {
        MeshNode* b = MergePartner(mesh, a, size, direction, layers, parts);
        if (b == nullptr) continue;
        if (recordsAgree) {
            if (MeshNode* merged = MergeAccepted(mesh, a, b, direction, neighbours, count))
                RequeueNamed(mesh, queue, merged, neighbours, count, direction);
        } else if (MeshNode* merged = MergeNode(mesh, a, b)) {
            RequeueAround(mesh, queue, merged, direction, touched);
        }
    }
    return 0;
}
}  // namespace

int OptimizeMeshStep(SimMatrix* board, Mesh* mesh, JobObserver*, uint32_t size, int direction)
{
    return MergeStep(board, mesh, size, direction, false);
}

namespace {
// A node's temperatures from the board's raster (as TakeTemperature). A raster
// made by malloc3D keeps its pixels one after another in x, y order: then a
// pixel is found by arithmetic rather than through the pointer tables, one
// cache miss per node fewer.
class TemperatureRaster {
public:
    explicit TemperatureRaster(const SimMatrix* board) : board_(board)
    {
        float*** raster = board->TemperatureMatrix;
        const int64_t nx = board->CountPixelX, ny = board->CountPixelY;
        if (raster == nullptr || nx <= 0 || ny < 2) return;
        const float* first = raster[0][0];
        const int64_t stride = raster[0][1] - first;
        if (stride < std::clamp(board->LayerCount, 0, kMaxLayers) ||
            raster[nx - 1][ny - 1] != first + ((nx - 1) * ny + ny - 1) * stride)
            return;
        data_ = first;
        stride_ = stride;
        rows_ = ny;
    }

    void TakeInto(MeshNode* node) const
    {
        if (data_ == nullptr) return mesh_stages::TakeTemperature(board_, node);
        if (node->x >= board_->CountPixelX || node->y >= board_->CountPixelY) return;
        const float* pixel = data_ + (int64_t(node->x) * rows_ + node->y) * stride_;
        const int layers = std::clamp(board_->LayerCount, 0, kMaxLayers);
        for (int l = 0; l < layers; ++l) node->Temperature[l] = pixel[l];
    }

private:
    const SimMatrix* board_;
    const float* data_ = nullptr;  // null: through the pointer tables
    int64_t stride_ = 0;
    int64_t rows_ = 0;
};

// The merge passes of every size, then the nodes moved together.
int MergePasses(SimMatrix* board, Mesh* mesh, JobObserver* window, uint32_t order,
                const korvex::CancelToken* cancel, bool recordsAgree)
{
    if (window != nullptr) window->Repaint();
    // The order number itself bounds the sizes: order 5 gives sizes 1, 2 and 4.
    int passes = 0;
    for (uint64_t size = 1; size <= order; size *= 2) ++passes;
    int pass = 0;
    for (uint64_t size = 1; size <= order; size *= 2) {
        if (korvex::Cancelled(cancel)) return -1;
        // The last pass merges few nodes: room for the compaction is made now.
        if (size * 2 > order) mesh_stages::PrepareCompaction(mesh);
        MergeStep(board, mesh, static_cast<uint32_t>(size), 0, recordsAgree);
        if (korvex::Cancelled(cancel)) return -1;
        MergeStep(board, mesh, static_cast<uint32_t>(size), 1, recordsAgree);
        if (window != nullptr) {
            window->Progress("Optimize Mesh", double(++pass) / passes);
            window->Repaint();
        }
    }
    return 0;
}
}  // namespace

int OptimizeMesh(SimMatrix* board, Mesh* mesh, JobObserver* window, const Settings* settings,
                 const korvex::CancelToken* cancel)
{
    if (board == nullptr || mesh == nullptr) return -1;
    const uint32_t order = Resolve(settings).MaxMeshOrder;
    if (order > kLargestMeshOrder) return -1;
    if (MergePasses(board, mesh, window, order, cancel, false) != 0) return -1;
    // Merging left most refined nodes deleted: give their room back (a
    // failure only keeps it).
    CompactNodes(mesh);
    UpdatebCopper(board, mesh);
    UpdateTemperature(board, mesh);
    return 0;
}

int mesh_stages::MergeNodes(SimMatrix* board, Mesh* mesh, JobObserver* window, const Settings& settings,
                            const korvex::CancelToken* cancel)
{
    if (board == nullptr || mesh == nullptr) return -1;
    if (settings.MaxMeshOrder > kLargestMeshOrder) return -1;
    if (MergePasses(board, mesh, window, settings.MaxMeshOrder, cancel, true) != 0) return -1;
    // The room of the deleted nodes given back, the temperatures taken on the way.
    const TemperatureRaster raster(board);
    const auto takeTemperature = [](const void* context, MeshNode* node) {
        static_cast<const TemperatureRaster*>(context)->TakeInto(node);
    };
    if (!CompactNodesVisiting(mesh, takeTemperature, &raster)) UpdateTemperature(board, mesh);
    return 0;
}

}  // namespace korvex
