#include "mesh_test_support.h"

#include <algorithm>
#include <array>
#include <set>
#include <sstream>

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"

namespace korvex {

std::array<uint32_t, 8> Neighbours(const MeshNode* n)
{
    return {n->IDTopL, n->IDTopR, n->IDRightT, n->IDRightB, n->IDBotL, n->IDBotR, n->IDLeftT, n->IDLeftB};
}

PartPlaces ReadPartPlaces(const SimMatrix* board)
{
    PartPlaces out;
    const auto pt = [](uint32_t x, uint32_t y) { return MeshPoint{int32_t(x), int32_t(y)}; };
    const auto one = [&](const auto* r) { out.terminals.push_back({{pt(r->x, r->y)}, false}); };
    const auto twoEnds = [&](const auto* r) {
        out.terminals.push_back({{pt(r->Net1X, r->Net1Y), pt(r->Net2X, r->Net2Y)}, true});
    };
    const auto area = [&](const auto* r) {
        out.heat.push_back({int32_t(std::min(r->RectAX, r->RectBX)), int32_t(std::min(r->RectAY, r->RectBY)),
                            int32_t(std::max(r->RectAX, r->RectBX)), int32_t(std::max(r->RectAY, r->RectBY))});
    };
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
        switch (p->Kind) {
        case PART_CURRENT: twoEnds(PartRecord<Current>(p)); break;
        case PART_RESISTOR: twoEnds(PartRecord<Resistor>(p)); break;
        case PART_SERIESSUBCIRCUIT: twoEnds(PartRecord<SeriesSubCircuit>(p)); break;
        case PART_VIA: one(PartRecord<Via>(p)); break;
        case PART_PORT: one(PartRecord<Port>(p)); break;
        case PART_CAP: one(PartRecord<Cap>(p)); break;
        case PART_SUBCIRCUIT: one(PartRecord<SubCircuit>(p)); break;
        case PART_HEATSOURCE: area(PartRecord<HeatSource>(p)); break;
        case PART_HEATSINK: area(PartRecord<HeatSink>(p)); break;
        default: break;
        }
    }
    return out;
}

// The reference keeps its own nodes, its own pixel-to-ID grid and its own part
// places; it takes nothing from the mesh code but the starting mesh's fields.
ReferenceOptimisation::ReferenceOptimisation(const SimMatrix* board, const Mesh* mesh)
    : board_(board), nx_(board->CountPixelX), ny_(board->CountPixelY), lastID_(mesh->LastID),
      grid_(size_t(nx_) * ny_, 0), places_(ReadPartPlaces(board))
{
    for (const MeshNode* n = mesh->FirstNode; n != nullptr; n = n->pNextNode) {
        Node r{n->ID, n->x, n->y, n->OrderX, n->OrderY, Neighbours(n), {}};
        std::copy(std::begin(n->bCopper), std::end(n->bCopper), r.copper.begin());
        nodes_[r.id] = r;
        Cover(r);
    }
}

void ReferenceOptimisation::Cover(const Node& n)
{
    for (int64_t x = n.x; x < int64_t(n.x) + n.w && x < nx_; ++x)
        for (int64_t y = n.y; y < int64_t(n.y) + n.h && y < ny_; ++y) grid_[size_t(x) * ny_ + y] = n.id;
}

uint32_t ReferenceOptimisation::IDAt(int64_t x, int64_t y) const
{
    return x < 0 || y < 0 || x >= nx_ || y >= ny_ ? 0 : grid_[size_t(x) * ny_ + y];
}

void ReferenceOptimisation::Refresh(uint32_t id)
{
    auto it = nodes_.find(id);
    if (it == nodes_.end()) return;
    Node& n = it->second;
    const int64_t l = n.x, t = n.y, r = l + n.w - 1, b = t + n.h - 1;
    n.nb = {IDAt(l, t - 1), IDAt(r, t - 1), IDAt(r + 1, t), IDAt(r + 1, b),
            IDAt(l, b + 1), IDAt(r, b + 1), IDAt(l - 1, t), IDAt(l - 1, b)};
}

const ReferenceOptimisation::Node* ReferenceOptimisation::Find(uint32_t id) const
{
    const auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

// A part keeps two nodes apart when it holds exactly one of them, or when
// they hold the two terminals of one two-terminal part.
bool ReferenceOptimisation::KeptApart(const Node& a, const Node& b) const
{
    const auto on = [](const Node& n, const std::vector<MeshPoint>& ends) {
        for (const MeshPoint& e : ends)
            if (int64_t(n.x) == e.x && int64_t(n.y) == e.y) return true;
        return false;
    };
    const auto within = [](const Node& n, const MeshRect& r) {
        return int64_t(n.x) >= r.left && int64_t(n.x) + n.w - 1 <= r.right && int64_t(n.y) >= r.top &&
               int64_t(n.y) + n.h - 1 <= r.bottom;
    };
    for (const auto& [ends, twoTerminals] : places_.terminals)
        if (on(a, ends) != on(b, ends) || (twoTerminals && on(a, ends) && on(b, ends))) return true;
    for (const MeshRect& r : places_.heat)
        if (within(a, r) != within(b, r)) return true;
    return false;
}

// The merge rule, condition by condition: with the right neighbour
// (IDRightT = nb[2]) in direction 0, the bottom one (IDBotL = nb[4]) in direction 1.
bool ReferenceOptimisation::MayMerge(const Node& a, const Node* b, uint32_t size, int direction) const
{
    enum { TopL = 0, RightT = 2, BotL = 4, LeftT = 6 };
    const int layers = board_->LayerCount;
    const auto sameSize = [](const Node* p, const Node* q) { return p && q && p->w == q->w && p->h == q->h; };
    const auto narrower = [](const Node& p, const Node* q) { return q && int32_t(q->w) < int32_t(p.w); };
    const auto wider = [](const Node& p, const Node* q) { return q && int32_t(q->w) > int32_t(p.w); };
    const auto shorter = [](const Node& p, const Node* q) { return q && int32_t(q->h) < int32_t(p.h); };
    const auto taller = [](const Node& p, const Node* q) { return q && int32_t(q->h) > int32_t(p.h); };
    if (direction == 0 ? (a.w != size || a.x % (2 * size) != 0) : (a.h != size || a.y % (2 * size) != 0)) return false;
    if (b == nullptr) return false;
    for (int l = 0; l < layers; ++l)
        if (a.copper[l] != b->copper[l]) return false;
    if (!sameSize(&a, b)) return false;
    const int before = direction == 0 ? TopL : LeftT, after = direction == 0 ? BotL : RightT;
    const Node* first = Find(a.nb[before]);
    const Node* second = Find(a.nb[after]);
    if (direction == 0) {
        if (narrower(a, first) || narrower(a, second)) return false;
        if (wider(a, first) && a.nb[TopL] != b->nb[TopL]) return false;
        if (wider(a, second) && a.nb[BotL] != b->nb[BotL]) return false;
    } else {
        if (shorter(a, first) || shorter(a, second)) return false;
        if (taller(a, first) && a.nb[LeftT] != b->nb[LeftT]) return false;
        if (taller(a, second) && a.nb[RightT] != b->nb[RightT]) return false;
    }
    if (first && !sameSize(first, Find(b->nb[before]))) return false;
    if (second && !sameSize(second, Find(b->nb[after]))) return false;
    if (direction == 0 && (narrower(a, Find(a.nb[LeftT])) || narrower(*b, Find(b->nb[RightT])))) return false;
    return !KeptApart(a, *b);
}

void ReferenceOptimisation::Step(uint32_t size, int direction)
{
    auto it = nodes_.begin();
    while (it != nodes_.end()) {
        const Node a = it->second;
        const Node* b = Find(a.nb[direction == 0 ? 2 : 4]);
        if (!MayMerge(a, b, size, direction)) {
            ++it;
            continue;
        }
        const bool right = a.nb[2] == b->id;  // else b is the bottom neighbour
        Node merged{++lastID_, a.x, a.y, right ? 2 * a.w : a.w, right ? a.h : 2 * a.h, {}, a.copper};
        nodes_.erase(b->id);
        nodes_.erase(a.id);
        nodes_[merged.id] = merged;
        Cover(merged);
        Refresh(merged.id);
        const std::array<uint32_t, 8> around = nodes_[merged.id].nb;
        for (uint32_t id : around) Refresh(id);
        it = nodes_.begin();  // restart after every merge
    }
}

void ReferenceOptimisation::Optimize(uint32_t order)
{
    for (uint64_t size = 1; size <= order; size *= 2) {
        Step(uint32_t(size), 0);
        Step(uint32_t(size), 1);
    }
    for (auto& [id, n] : nodes_)
        for (int l = 0; l < board_->LayerCount; ++l)
            n.copper[l] = board_->CopperMatrix[n.x][n.y][l] > 0 ? 1 : 0;
}

std::vector<std::vector<uint32_t>> ReferenceOptimisation::Snapshot() const
{
    std::vector<std::vector<uint32_t>> rows;
    for (const auto& [id, n] : nodes_) {
        std::vector<uint32_t> row{n.id, n.x, n.y, n.w, n.h};
        row.insert(row.end(), n.nb.begin(), n.nb.end());
        row.insert(row.end(), n.copper.begin(), n.copper.end());
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// Distinct nodes along one side, given by its outside pixels.
std::set<uint32_t> AlongSide(const Mesh* mesh, int64_t x, int64_t y, int dx, int dy, int64_t length)
{
    std::set<uint32_t> ids;
    for (int64_t i = 0; i < length; ++i) {
        const uint32_t id = CoordinateToID(mesh, {int32_t(x + dx * i), int32_t(y + dy * i)});
        if (id != 0) ids.insert(id);
    }
    return ids;
}
}  // namespace

std::vector<std::vector<uint32_t>> MeshSnapshot(const Mesh* mesh)
{
    std::vector<std::vector<uint32_t>> rows;
    for (const MeshNode* n = GetFirstNode(mesh); n != nullptr; n = GetNextNode(n)) {
        std::vector<uint32_t> row{n->ID, n->x, n->y, n->OrderX, n->OrderY};
        const auto around = Neighbours(n);
        row.insert(row.end(), around.begin(), around.end());
        row.insert(row.end(), std::begin(n->bCopper), std::end(n->bCopper));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CheckMesh(const SimMatrix* board, const Mesh* mesh, bool balanced)
{
    std::ostringstream why;
    const int64_t nx = board->CountPixelX, ny = board->CountPixelY;
    int64_t area = 0;
    uint32_t previousID = 0;
    const MeshNode* previous = nullptr;
    for (const MeshNode* n = GetFirstNode(mesh); n != nullptr; previous = n, n = GetNextNode(n)) {
        why.str("");
        why << "node " << n->ID << " at " << n->x << "," << n->y << " size " << n->OrderX << "x" << n->OrderY << ": ";
        if (n->ID <= previousID) return why.str() + "list not in ID order";
        if (n->pPrevNode != previous || IDToAddress(mesh, n->ID) != n) return why.str() + "list or table broken";
        previousID = n->ID;
        if (n->OrderX == 0 || n->OrderY == 0 || (n->OrderX & (n->OrderX - 1)) || (n->OrderY & (n->OrderY - 1)))
            return why.str() + "size not a power of two";
        if (n->x % n->OrderX || n->y % n->OrderY) return why.str() + "not aligned to its size";
        if (int64_t(n->x) + n->OrderX > nx || int64_t(n->y) + n->OrderY > ny) return why.str() + "beyond the board";
        if (balanced && n->OrderX != n->OrderY) return why.str() + "not square";
        for (uint32_t x = n->x; x < n->x + n->OrderX; ++x)
            for (uint32_t y = n->y; y < n->y + n->OrderY; ++y)
                if (mesh->IDMatrix[x][y] != n->ID) return why.str() + "pixel owned by another node";
        area += int64_t(n->OrderX) * n->OrderY;

        MeshNode fresh = *n;
        SetNeighbour(const_cast<Mesh*>(mesh), &fresh);
        if (Neighbours(&fresh) != Neighbours(n)) return why.str() + "stale neighbour ID";
        const int64_t l = n->x, t = n->y, w = n->OrderX, h = n->OrderY;
        const std::set<uint32_t> sides[4] = {AlongSide(mesh, l, t - 1, 1, 0, w), AlongSide(mesh, l, t + h, 1, 0, w),
                                             AlongSide(mesh, l - 1, t, 0, 1, h), AlongSide(mesh, l + w, t, 0, 1, h)};
        for (const auto& side : sides) {
            if (side.size() > 2) return why.str() + "more than two neighbours on a side";
            if (!balanced) continue;
            for (uint32_t id : side) {
                const MeshNode* other = IDToAddress(mesh, id);
                if (other->OrderX > 2 * n->OrderX || n->OrderX > 2 * other->OrderX)
                    return why.str() + "neighbour " + std::to_string(id) + " differs more than 2x";
            }
        }
        if (balanced && n->OrderX > 1) {
            for (uint32_t x = n->x; x < n->x + n->OrderX; ++x)
                for (uint32_t y = n->y; y < n->y + n->OrderY; ++y)
                    for (int layer = 0; layer < board->LayerCount; ++layer)
                        if (board->CopperMatrix[x][y][layer] != board->CopperMatrix[n->x][n->y][layer])
                            return why.str() + "copper not uniform";
        }
        for (int layer = 0; layer < board->LayerCount; ++layer)
            if (n->bCopper[layer] != (board->CopperMatrix[n->x][n->y][layer] > 0 ? 1u : 0u))
                return why.str() + "bCopper does not match the top-left pixel";
    }
    if (mesh->LastNode != previous) return "LastNode is not the tail";
    if (area != nx * ny) return "node areas add up to " + std::to_string(area) + " instead of the board";

    const PartPlaces places = ReadPartPlaces(board);
    for (const auto& part : places.terminals)
        for (const MeshPoint& p : part.ends) {
            if (p.x < 0 || p.y < 0 || p.x >= nx || p.y >= ny) continue;  // off the board
            const MeshNode* n = CoordinateToAddress(mesh, p);
            if (n == nullptr || n->OrderX != 1 || n->OrderY != 1)
                return "terminal at " + std::to_string(p.x) + "," + std::to_string(p.y) + " not on a 1 x 1 node";
        }
    for (const MeshRect& r : places.heat)
        for (const MeshNode* n = GetFirstNode(mesh); n != nullptr; n = GetNextNode(n)) {
            const MeshRect nr = GetRect(n);
            const bool disjoint = nr.right < r.left || nr.left > r.right || nr.bottom < r.top || nr.top > r.bottom;
            if (!disjoint && !IsRectInRect(nr, r))
                return "node " + std::to_string(n->ID) + " straddles a heat rectangle's border";
        }
    return {};
}

}  // namespace korvex
