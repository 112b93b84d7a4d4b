#include "mesh_test_support.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"

namespace korvex {

namespace {
MeshNode* At(const Mesh* mesh, uint32_t id)
{
    return IDToAddress(mesh, id);
}

bool SameSize(const MeshNode* a, const MeshNode* b)
{
    return IsSameOrderX(a, b) && IsSameOrderY(a, b);
}

bool SameCopper(const MeshNode* a, const MeshNode* b, int layers)
{
    for (int l = 0; l < layers; ++l)
        if (a->bCopper[l] != b->bCopper[l]) return false;
    return true;
}

// The eight conditions, in order, exactly as the merge rule states them.
MeshNode* LiteralPartner(SimMatrix* board, Mesh* mesh, MeshNode* a, uint32_t size, int direction)
{
    const int layers = board->LayerCount;
    if (direction == 0) {
        if (!(a->OrderX == size && a->x % (2 * size) == 0)) return nullptr;
        MeshNode* b = At(mesh, a->IDRightT);
        if (b == nullptr || !SameCopper(a, b, layers)) return nullptr;
        if (!SameSize(a, b)) return nullptr;
        MeshNode* top = At(mesh, a->IDTopL);
        MeshNode* bot = At(mesh, a->IDBotL);
        if (IsLowerOrderX(a, top) || IsLowerOrderX(a, bot)) return nullptr;
        if (IsHigherOrderX(a, top) && a->IDTopL != b->IDTopL) return nullptr;
        if (IsHigherOrderX(a, bot) && a->IDBotL != b->IDBotL) return nullptr;
        if (top != nullptr && !SameSize(top, At(mesh, b->IDTopL))) return nullptr;
        if (bot != nullptr && !SameSize(bot, At(mesh, b->IDBotL))) return nullptr;
        if (IsLowerOrderX(a, At(mesh, a->IDLeftT)) || IsLowerOrderX(b, At(mesh, b->IDRightT))) return nullptr;
        if (SplitbyPart(board, mesh, a, b)) return nullptr;
        return b;
    }
    if (!(a->OrderY == size && a->y % (2 * size) == 0)) return nullptr;
    MeshNode* b = At(mesh, a->IDBotL);
    if (b == nullptr || !SameCopper(a, b, layers)) return nullptr;
    if (!SameSize(a, b)) return nullptr;
    MeshNode* left = At(mesh, a->IDLeftT);
    MeshNode* right = At(mesh, a->IDRightT);
    if (IsLowerOrderY(a, left) || IsLowerOrderY(a, right)) return nullptr;
    if (IsHigherOrderY(a, left) && a->IDLeftT != b->IDLeftT) return nullptr;
    if (IsHigherOrderY(a, right) && a->IDRightT != b->IDRightT) return nullptr;
    if (left != nullptr && !SameSize(left, At(mesh, b->IDLeftT))) return nullptr;
    if (right != nullptr && !SameSize(right, At(mesh, b->IDRightT))) return nullptr;
    if (SplitbyPart(board, mesh, a, b)) return nullptr;
    return b;
}

}  // namespace

void LiteralOptimizeMeshStep(SimMatrix* board, Mesh* mesh, uint32_t size, int direction)
{
    MeshNode* a = GetFirstNode(mesh);
    while (a != nullptr) {
        MeshNode* b = LiteralPartner(board, mesh, a, size, direction);
        if (b != nullptr) {
            MergeNode(mesh, a, b);
            a = GetFirstNode(mesh);  // restart after every merge
        } else {
            a = GetNextNode(a);
        }
    }
}

namespace {

struct Points {
    std::vector<MeshPoint> terminals;
    std::vector<MeshRect> heat;
};

Points PartPlaces(const SimMatrix* board)
{
    Points out;
    const auto pt = [&](uint32_t x, uint32_t y) {
        if (x < board->CountPixelX && y < board->CountPixelY)
            out.terminals.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
    };
    const auto rect = [&](uint32_t ax, uint32_t ay, uint32_t bx, uint32_t by) {
        out.heat.push_back({int32_t(std::min(ax, bx)), int32_t(std::min(ay, by)), int32_t(std::max(ax, bx)),
                            int32_t(std::max(ay, by))});
    };
    const auto twoEnds = [&](const auto* r) {
        pt(r->Net1X, r->Net1Y);
        pt(r->Net2X, r->Net2Y);
    };
    const auto area = [&](const auto* r) { rect(r->RectAX, r->RectAY, r->RectBX, r->RectBY); };
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
        switch (p->Kind) {
        case PART_CURRENT: twoEnds(PartRecord<Current>(p)); break;
        case PART_RESISTOR: twoEnds(PartRecord<Resistor>(p)); break;
        case PART_SERIESSUBCIRCUIT: twoEnds(PartRecord<SeriesSubCircuit>(p)); break;
        case PART_VIA: pt(PartRecord<Via>(p)->x, PartRecord<Via>(p)->y); break;
        case PART_PORT: pt(PartRecord<Port>(p)->x, PartRecord<Port>(p)->y); break;
        case PART_CAP: pt(PartRecord<Cap>(p)->x, PartRecord<Cap>(p)->y); break;
        case PART_SUBCIRCUIT: pt(PartRecord<SubCircuit>(p)->x, PartRecord<SubCircuit>(p)->y); break;
        case PART_HEATSOURCE: area(PartRecord<HeatSource>(p)); break;
        case PART_HEATSINK: area(PartRecord<HeatSink>(p)); break;
        default: break;
        }
    }
    return out;
}

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

void LiteralOptimizeMesh(SimMatrix* board, Mesh* mesh, const Settings& settings)
{
    for (uint32_t size = 1; settings.MaxMeshOrder >= size; size *= 2) {
        LiteralOptimizeMeshStep(board, mesh, size, 0);
        LiteralOptimizeMeshStep(board, mesh, size, 1);
    }
    UpdatebCopper(board, mesh);
    UpdateTemperature(board, mesh);
}

std::vector<std::vector<uint32_t>> MeshSnapshot(const Mesh* mesh)
{
    std::vector<std::vector<uint32_t>> rows;
    for (const MeshNode* n = GetFirstNode(mesh); n != nullptr; n = GetNextNode(n)) {
        std::vector<uint32_t> row{n->ID, n->x, n->y, n->OrderX, n->OrderY};
        for (int s = 0; s < kNeighbourSlots; ++s) row.push_back(NeighbourID(n, s));
        row.insert(row.end(), std::begin(n->bCopper), std::end(n->bCopper));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CheckMesh(const SimMatrix* board, const Mesh* mesh, InvariantOptions options)
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
        if ((options.squares || options.balanced) && n->OrderX != n->OrderY) return why.str() + "not square";
        for (uint32_t x = n->x; x < n->x + n->OrderX; ++x)
            for (uint32_t y = n->y; y < n->y + n->OrderY; ++y)
                if (mesh->IDMatrix[x][y] != n->ID) return why.str() + "pixel owned by another node";
        area += int64_t(n->OrderX) * n->OrderY;

        MeshNode fresh = *n;
        SetNeighbour(const_cast<Mesh*>(mesh), &fresh);
        for (int s = 0; s < kNeighbourSlots; ++s)
            if (NeighbourID(&fresh, s) != NeighbourID(n, s)) return why.str() + "stale neighbour ID in slot " + std::to_string(s);
        const int64_t l = n->x, t = n->y, w = n->OrderX, h = n->OrderY;
        const std::set<uint32_t> sides[4] = {AlongSide(mesh, l, t - 1, 1, 0, w), AlongSide(mesh, l, t + h, 1, 0, w),
                                             AlongSide(mesh, l - 1, t, 0, 1, h), AlongSide(mesh, l + w, t, 0, 1, h)};
        for (const auto& side : sides) {
            if (side.size() > 2) return why.str() + "more than two neighbours on a side";
            if (!options.balanced) continue;
            for (uint32_t id : side) {
                const MeshNode* other = IDToAddress(mesh, id);
                if (other->OrderX > 2 * n->OrderX || n->OrderX > 2 * other->OrderX)
                    return why.str() + "neighbour " + std::to_string(id) + " differs more than 2x";
            }
        }
        if (options.balanced && n->OrderX > 1) {
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

    const Points places = PartPlaces(board);
    for (const MeshPoint& p : places.terminals) {
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
