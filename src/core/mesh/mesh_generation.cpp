#include "mesh/mesh_generation.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "board/part_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_internal.h"
#include "mesh/uniform_squares.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

namespace korvex {

namespace {
const Settings& Resolve(const Settings* settings)
{
    return settings != nullptr ? *settings : gSettings;
}

int Layers(const SimMatrix* board)
{
    return std::clamp(board->LayerCount, 0, kMaxLayers);
}

// Visits the nodes in list order through the ID table: the same order as the
// list (IDs grow along it), but the loads do not depend on each other, which
// matters when millions of nodes lie scattered in memory.
template <class Visit>
void ForEachNodeByID(Mesh* mesh, Visit visit)
{
    if (mesh->FirstNode == nullptr) return;
    constexpr uint32_t kAhead = 16;
    for (uint32_t id = mesh->FirstNode->ID; id <= mesh->LastID; ++id) {
        if (id + kAhead <= mesh->LastID && mesh->IDToNode[id + kAhead] != nullptr)
            __builtin_prefetch(mesh->IDToNode[id + kAhead]);
        if (MeshNode* node = mesh->IDToNode[id]) visit(node);
    }
}

void Repaint(JobObserver* window)
{
    if (window != nullptr) window->Repaint();
}

bool RefuseOrder(uint32_t order)
{
    if (order <= kLargestMeshOrder) return false;
    printDebug("Max Mesh Order %u is too large: at most %u is possible\r\n", order, kLargestMeshOrder);
    return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

MeshPoint Point(uint32_t x, uint32_t y)
{
    return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

// The order in which a node's wider neighbours are split before the node
// itself, and in which its old neighbours are refreshed after the split. It
// decides which nodes get which IDs: left side, right side, top, bottom.
constexpr uint32_t MeshNode::*kBalanceOrder[] = {&MeshNode::IDLeftT,  &MeshNode::IDLeftB, &MeshNode::IDRightT,
                                                 &MeshNode::IDRightB, &MeshNode::IDTopL,  &MeshNode::IDTopR,
                                                 &MeshNode::IDBotL,   &MeshNode::IDBotR};
constexpr int kBalanceSteps = static_cast<int>(std::size(kBalanceOrder));

// Replaces a node (whose wider neighbours are already split) by its quarters.
// `recordsAgree`: the mesh is balanced and the records of nodes wholly on the
// board agree with the ID matrix, as the refinement keeps them.
void SplitIntoQuarters(Mesh* mesh, MeshNode* node, bool recordsAgree)
{
    const uint32_t halfX = node->OrderX / 2, halfY = node->OrderY / 2;
    const uint32_t xs[4] = {node->x, node->x + halfX, node->x, node->x + halfX};
    const uint32_t ys[4] = {node->y, node->y, node->y + halfY, node->y + halfY};
    MeshNode* quarter[4] = {};  // top-left, top-right, bottom-left, bottom-right
    for (int i = 0; i < 4; ++i) {
        MeshNode child;
        child.x = xs[i];
        child.y = ys[i];
        child.OrderX = halfX;
        child.OrderY = halfY;
        quarter[i] = AddNode(mesh, &child);
    }
    // A neighbour's record depends on the ID matrix alone: one named by several
    // sides is read once.
    uint32_t ids[kBalanceSteps] = {};
    MeshNode* neighbours[kBalanceSteps] = {};
    int count = 0;
    for (int i = 0; i < kBalanceSteps; ++i) {
        ids[i] = node->*kBalanceOrder[i];
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j) seen = ids[j] == ids[i];
        if (seen) continue;
        if (MeshNode* neighbour = mesh_access::NodeAt(mesh, ids[i])) {
            __builtin_prefetch(neighbour);
            neighbours[count++] = neighbour;
        }
    }
    const bool onBoard = int64_t(node->x) + node->OrderX <= mesh->CountPixelX &&
                         int64_t(node->y) + node->OrderY <= mesh->CountPixelY;
    if (recordsAgree && onBoard && halfX > 0 && quarter[0] != nullptr && quarter[1] != nullptr &&
        quarter[2] != nullptr && quarter[3] != nullptr) {
        // Every neighbour is at least half as wide (high) as the node and
        // aligned to its size, so it covers a whole half side: each quarter
        // has one neighbour per side, the node's at that corner or a sibling.
        const uint32_t q0 = quarter[0]->ID, q1 = quarter[1]->ID, q2 = quarter[2]->ID, q3 = quarter[3]->ID;
        const auto set = [](MeshNode* q, uint32_t top, uint32_t right, uint32_t bottom, uint32_t left) {
            q->IDTopL = q->IDTopR = top;
            q->IDRightT = q->IDRightB = right;
            q->IDBotL = q->IDBotR = bottom;
            q->IDLeftT = q->IDLeftB = left;
        };
        set(quarter[0], node->IDTopL, q1, q2, node->IDLeftT);
        set(quarter[1], node->IDTopR, node->IDRightT, q3, q0);
        set(quarter[2], q0, q3, node->IDBotL, node->IDLeftB);
        set(quarter[3], q1, node->IDRightB, node->IDBotR, q2);
    } else {
        for (int i : {0, 2, 1, 3}) SetNeighbour(mesh, quarter[i]);
    }
    if (recordsAgree && quarter[0] != nullptr && quarter[1] != nullptr && quarter[2] != nullptr &&
        quarter[3] != nullptr) {
        // The records of neighbours wholly on the board agree with the ID
        // matrix (no side has more than two neighbours, so every node adjacent
        // to a split one is named by its slots and refreshed): only the slots
        // that named the split node change, to the quarter now covering their
        // pixel. A node reaching off the board may have missed a refresh (its
        // corners off the board name nothing): it reads the ID matrix again.
        const int64_t middleX = int64_t(node->x) + halfX, middleY = int64_t(node->y) + halfY;
        for (int i = 0; i < count; ++i) {
            MeshNode* n = neighbours[i];
            const int64_t l = n->x, t = n->y, r = l + n->OrderX - 1, b = t + n->OrderY - 1;
            if (r >= mesh->CountPixelX || b >= mesh->CountPixelY) {
                mesh_access::ReadNeighbours(mesh, n);
                continue;
            }
            const auto refresh = [&](uint32_t& slot, int64_t px, int64_t py) {
                if (slot == node->ID) slot = quarter[(px >= middleX ? 1 : 0) + (py >= middleY ? 2 : 0)]->ID;
            };
            refresh(n->IDTopL, l, t - 1);
            refresh(n->IDTopR, r, t - 1);
            refresh(n->IDRightT, r + 1, t);
            refresh(n->IDRightB, r + 1, b);
            refresh(n->IDBotL, l, b + 1);
            refresh(n->IDBotR, r, b + 1);
            refresh(n->IDLeftT, l - 1, t);
            refresh(n->IDLeftB, l - 1, b);
        }
    } else {
        for (int i = 0; i < count; ++i) mesh_access::ReadNeighbours(mesh, neighbours[i]);
    }

    // Quarters that start off the board (only near the far edges of the initial squares).
    const auto offX = [&](const MeshNode* n) { return n != nullptr && int64_t(n->x) >= mesh->CountPixelX; };
    const auto offY = [&](const MeshNode* n) { return n != nullptr && int64_t(n->y) >= mesh->CountPixelY; };
    if (offX(quarter[1])) DeleteNode(mesh, quarter[1]);
    if (offY(quarter[2])) DeleteNode(mesh, quarter[2]);
    if (offX(quarter[3]) || offY(quarter[3])) DeleteNode(mesh, quarter[3]);
    DeleteNode(mesh, node);
}
}  // namespace

int CreateMesh(SimMatrix* board, Mesh* mesh, JobObserver* window, const Settings* settings, MeshBuildReport* report,
               const korvex::CancelToken* cancel)
{
    if (board == nullptr || mesh == nullptr) return -1;
    const Settings& options = Resolve(settings);
    if (RefuseOrder(options.MaxMeshOrder)) return -1;
    if (board->CopperMatrix == nullptr) {
        printDebug("Create Mesh: the board has no copper raster\r\n");
        return -1;
    }
    MeshBuildReport local;
    MeshBuildReport& out = report != nullptr ? *report : local;

    auto start = std::chrono::steady_clock::now();
    printDebug("InitMesh\r\n");
    if (InitMesh(mesh, board) != 0) return -1;
    printDebug("Create Initial Mesh\r\n");
    CreateInitialMesh(board, mesh, &options);
    out.InitialNodes = CountNodes(mesh);
    out.InitialSeconds = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    printDebug("Refine Mesh\r\n");
    if (mesh_stages::RefineNodes(board, mesh, window, cancel, true) != 0) return -1;
    // The optimisation takes the temperatures of the nodes it leaves.
    if (options.AsymmetricMesh == 0) UpdateTemperature(board, mesh);
    Repaint(window);
    if (korvex::Cancelled(cancel)) return -1;
    out.RefinedNodes = out.OptimisedNodes = CountNodes(mesh);
    out.RefineSeconds = SecondsSince(start);
    printDebug("%u Nodes\r\n", static_cast<unsigned>(out.RefinedNodes));
    if (options.AsymmetricMesh == 0) return 0;

    start = std::chrono::steady_clock::now();
    printDebug("Optimize Mesh\r\n");
    if (mesh_stages::MergeNodes(board, mesh, window, options, cancel) != 0) return -1;
    out.OptimisedNodes = CountNodes(mesh);
    out.OptimiseSeconds = SecondsSince(start);
    printDebug("%u Nodes\r\n", static_cast<unsigned>(out.OptimisedNodes));
    return 0;
}

int CreateInitialMesh(SimMatrix* board, Mesh* mesh, const Settings* settings)
{
    if (board == nullptr || mesh == nullptr) return -1;
    const uint32_t order = Resolve(settings).MaxMeshOrder;
    if (RefuseOrder(order)) return -1;
    mesh->LastID = 0;
    const int64_t side = int64_t(1) << order;
    for (int64_t y = 0; y < mesh->CountPixelY; y += side)
        for (int64_t x = 0; x < mesh->CountPixelX; x += side) {
            MeshNode node;
            node.x = static_cast<uint32_t>(x);
            node.y = static_cast<uint32_t>(y);
            node.OrderX = node.OrderY = static_cast<uint32_t>(side);
            AddNode(mesh, &node);
        }
    for (MeshNode* node = mesh->FirstNode; node != nullptr; node = node->pNextNode) SetNeighbour(mesh, node);
    return 0;
}

int RefineMesh(SimMatrix* board, Mesh* mesh, JobObserver* window, const korvex::CancelToken* cancel)
{
    if (mesh_stages::RefineNodes(board, mesh, window, cancel) != 0) return -1;
    UpdateTemperature(board, mesh);
    return 0;
}

namespace {
// SplitNode, SplitToOrderOne and SplitToRect; `recordsAgree` as for SplitIntoQuarters.
int SplitBalanced(Mesh* mesh, MeshNode* node, bool recordsAgree);
int SplitToOrderOneWith(Mesh* mesh, MeshPoint point, bool recordsAgree);
int SplitToRectWith(Mesh* mesh, MeshPoint p1, MeshPoint p2, bool recordsAgree);

// A node's copper flags from its top-left pixel.
void TakeCopperFlags(const SimMatrix* board, MeshNode* node)
{
    if (board->CopperMatrix == nullptr || node->x >= board->CountPixelX || node->y >= board->CountPixelY) return;
    const float* pixel = board->CopperMatrix[node->x][node->y];
    const int layers = Layers(board);
    for (int l = 0; l < layers; ++l) node->bCopper[l] = pixel[l] > 0.0f ? 1 : 0;
}

// The same from the flags noted in the table.
void TakeCopperFlags(const SimMatrix* board, const UniformSquares& squares, MeshNode* node)
{
    if (!squares.HasCopperBits()) return TakeCopperFlags(board, node);
    if (node->x >= board->CountPixelX || node->y >= board->CountPixelY) return;
    const unsigned bits = squares.CopperBits(node->x, node->y);
    const int layers = Layers(board);
    for (int l = 0; l < layers; ++l) node->bCopper[l] = (bits >> l) & 1u;
}

// IsUniform, answered from the table where it knows the node.
bool Uniform(const SimMatrix* board, const UniformSquares& squares, const MeshNode* node)
{
    if (board->CopperMatrix == nullptr) return IsUniform(board, node) != 0;
    if (int64_t(node->x) + node->OrderX - 1 >= board->CountPixelX ||
        int64_t(node->y) + node->OrderY - 1 >= board->CountPixelY)
        return false;
    if (node->OrderX == 1) return true;
    const int known = squares.Lookup(node);
    return known >= 0 ? known != 0 : IsUniform(board, node) != 0;
}
}  // namespace

int mesh_stages::RefineNodes(SimMatrix* board, Mesh* mesh, JobObserver* window, const korvex::CancelToken* cancel,
                             bool fromInitialMesh)
{
    if (board == nullptr || mesh == nullptr) return -1;
    const UniformSquares squares(board, kLargestMeshOrder);
    int visited = 0;
    uint32_t steps = 0;
    MeshNode* node = mesh->FirstNode;
    while (node != nullptr) {
        if (++visited > mesh->IDToNodeSize / 2) {
            visited = 0;
            Repaint(window);
        }
        if ((++steps & 1023) == 0 && korvex::Cancelled(cancel)) return -1;
        // The nodes lie scattered in memory: fetch one a little ahead.
        if (const uint32_t ahead = node->ID + 8; ahead <= mesh->LastID && mesh->IDToNode[ahead] != nullptr) {
            __builtin_prefetch(mesh->IDToNode[ahead]);
            __builtin_prefetch(reinterpret_cast<const char*>(mesh->IDToNode[ahead]) + 64, 1);  // copper flags
        }
        // Every node the walk leaves behind stays in the mesh unless a later
        // balancing split replaces it (by nodes of higher IDs, which the walk
        // reaches later): it takes its copper flags now, while it is at hand.
        if (Uniform(board, squares, node)) {
            TakeCopperFlags(board, squares, node);
            node = node->pNextNode;
            continue;
        }
        // Children get IDs above every existing one, so the walk by ID reaches them later.
        uint32_t id = node->ID;
        MeshNode* const unsplit = node->OrderX == 1 ? node : nullptr;  // SplitNode leaves these
        SplitBalanced(mesh, node, fromInitialMesh);
        if (unsplit != nullptr) TakeCopperFlags(board, squares, unsplit);
        node = nullptr;
        while (id < mesh->LastID && node == nullptr) node = mesh_access::NodeAt(mesh, ++id);
    }
    const uint32_t lastWalked = mesh->LastID;

    // Single-pixel nodes at every terminal, node borders along heat rectangles.
    const auto splitAt = [&](uint32_t x, uint32_t y) { SplitToOrderOneWith(mesh, Point(x, y), fromInitialMesh); };
    for (const Part* part = GetFirstPart(board); part != nullptr; part = part->pNext) {
        if (korvex::Cancelled(cancel)) return -1;
        switch (part->Kind) {
        case PART_CURRENT: {
            const auto* r = PartRecord<Current>(part);
            splitAt(r->Net2X, r->Net2Y);
            splitAt(r->Net1X, r->Net1Y);
            break;
        }
        case PART_RESISTOR: {
            const auto* r = PartRecord<Resistor>(part);
            splitAt(r->Net1X, r->Net1Y);
            splitAt(r->Net2X, r->Net2Y);
            break;
        }
        case PART_SERIESSUBCIRCUIT: {
            const auto* r = PartRecord<SeriesSubCircuit>(part);
            splitAt(r->Net1X, r->Net1Y);
            splitAt(r->Net2X, r->Net2Y);
            break;
        }
        case PART_VIA: splitAt(PartRecord<Via>(part)->x, PartRecord<Via>(part)->y); break;
        case PART_PORT: splitAt(PartRecord<Port>(part)->x, PartRecord<Port>(part)->y); break;
        case PART_CAP: splitAt(PartRecord<Cap>(part)->x, PartRecord<Cap>(part)->y); break;
        case PART_SUBCIRCUIT: {
            const auto* r = PartRecord<SubCircuit>(part);
            splitAt(r->x, r->y);
            break;
        }
        case PART_HEATSOURCE: {
            const auto* r = PartRecord<HeatSource>(part);
            SplitToRectWith(mesh, Point(r->RectAX, r->RectAY), Point(r->RectBX, r->RectBY), fromInitialMesh);
            break;
        }
        case PART_HEATSINK: {
            const auto* r = PartRecord<HeatSink>(part);
            SplitToRectWith(mesh, Point(r->RectAX, r->RectAY), Point(r->RectBX, r->RectBY), fromInitialMesh);
            break;
        }
        default: break;
        }
    }
    // The nodes the part splits made.
    for (uint32_t id = lastWalked + 1; id <= mesh->LastID; ++id)
        if (MeshNode* made = mesh_access::NodeAt(mesh, id)) TakeCopperFlags(board, squares, made);
    return 0;
}

namespace {
int SplitBalanced(Mesh* mesh, MeshNode* node, bool recordsAgree)
{
    if (mesh == nullptr || node == nullptr) return -1;
    if (node->OrderX == 1) return 0;
    // Balancing splits every wider neighbour first, and that split in turn its
    // wider neighbours. An explicit stack instead of recursion; each level holds
    // a strictly wider node, so no node on the stack is deleted by the levels
    // above it.
    struct Level {
        MeshNode* node;
        int step;  // next entry of kBalanceOrder to look at
    };
    // Kept from call to call: a refinement makes many thousands of splits.
    thread_local std::vector<Level> stack;
    stack.clear();
    stack.push_back({node, 0});
    while (!stack.empty()) {
        const size_t top = stack.size() - 1;
        MeshNode* current = stack[top].node;
        if (stack[top].step == 0)
            for (uint32_t MeshNode::*side : kBalanceOrder)
                if (const MeshNode* neighbour = mesh_access::NodeAt(mesh, current->*side))
                    __builtin_prefetch(neighbour);
        MeshNode* wider = nullptr;
        while (stack[top].step < kBalanceSteps && wider == nullptr) {
            MeshNode* neighbour = mesh_access::NodeAt(mesh, current->*kBalanceOrder[stack[top].step++]);
            if (mesh_access::WiderThan(current, neighbour)) wider = neighbour;
        }
        if (wider != nullptr) {
            stack.push_back({wider, 0});
            continue;
        }
        SplitIntoQuarters(mesh, current, recordsAgree);
        stack.pop_back();
        // The level below re-reads its neighbours before its next step.
        if (!stack.empty()) SetNeighbour(mesh, stack.back().node);
    }
    return 0;
}

int SplitToOrderOneWith(Mesh* mesh, MeshPoint point, bool recordsAgree)
{
    if (mesh == nullptr) return -1;
    for (;;) {
        MeshNode* node = CoordinateToAddress(mesh, point);
        if (node == nullptr || node->OrderX <= 1) return 0;
        SplitBalanced(mesh, node, recordsAgree);
    }
}

// Splits the node at `inside` while it also covers `outside` (both on the board).
void SeparatePixels(Mesh* mesh, MeshPoint inside, MeshPoint outside, bool recordsAgree)
{
    while (IsSameNode(mesh, inside, outside)) {
        MeshNode* node = CoordinateToAddress(mesh, inside);
        if (node == nullptr || node->OrderX <= 1) return;
        SplitBalanced(mesh, node, recordsAgree);
    }
}

int SplitToRectWith(Mesh* mesh, MeshPoint p1, MeshPoint p2, bool recordsAgree)
{
    if (mesh == nullptr) return -1;
    // Corners in any order; only the part of the outline on the board matters.
    const int32_t left = std::max(std::min(p1.x, p2.x), 0);
    const int32_t right = std::min(std::max(p1.x, p2.x), mesh->CountPixelX - 1);
    const int32_t top = std::max(std::min(p1.y, p2.y), 0);
    const int32_t bottom = std::min(std::max(p1.y, p2.y), mesh->CountPixelY - 1);
    for (int32_t x = left; x <= right; ++x) {
        if (top - 1 >= 0) SeparatePixels(mesh, {x, top}, {x, top - 1}, recordsAgree);
        if (bottom + 1 < mesh->CountPixelY) SeparatePixels(mesh, {x, bottom}, {x, bottom + 1}, recordsAgree);
    }
    for (int32_t y = top; y <= bottom; ++y) {
        if (left - 1 >= 0) SeparatePixels(mesh, {left, y}, {left - 1, y}, recordsAgree);
        if (right + 1 < mesh->CountPixelX) SeparatePixels(mesh, {right, y}, {right + 1, y}, recordsAgree);
    }
    return 0;
}
}  // namespace

int SplitNode(Mesh* mesh, MeshNode* node)
{
    return SplitBalanced(mesh, node, false);
}

int SplitToOrderOne(Mesh* mesh, MeshPoint point)
{
    return SplitToOrderOneWith(mesh, point, false);
}

int SplitToRect(Mesh* mesh, MeshPoint p1, MeshPoint p2)
{
    return SplitToRectWith(mesh, p1, p2, false);
}

namespace {
// Whether a pixel's `layers` values equal the reference's (a NaN differs
// from everything).
bool SamePixel(const float* pixel, const float* reference, int layers)
{
    for (int l = 0; l < layers; ++l)
        if (!(pixel[l] == reference[l])) return false;
    return true;
}

#if defined(__SSE2__)
// The same for `count` values of pixels stored one after another, four at a
// time (layers 1, 2, 4 or 8: the reference repeats within eight values).
bool PackedPixelsEqual(const float* values, size_t count, const float* reference, int layers)
{
    float pattern[8];
    for (int i = 0; i < 8; ++i) pattern[i] = reference[i % layers];
    const __m128 low = _mm_loadu_ps(pattern), high = _mm_loadu_ps(pattern + 4);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128 a = _mm_cmpeq_ps(_mm_loadu_ps(values + i), low);
        const __m128 b = _mm_cmpeq_ps(_mm_loadu_ps(values + i + 4), high);
        if (_mm_movemask_ps(_mm_and_ps(a, b)) != 0xF) return false;
    }
    for (; i < count; ++i)
        if (!(values[i] == pattern[i % 8])) return false;
    return true;
}
#endif
}  // namespace

int IsUniform(const SimMatrix* board, const MeshNode* node)
{
    if (board == nullptr || node == nullptr || board->CopperMatrix == nullptr) return 0;
    // Reaching beyond the board makes a node non-uniform: this trims the initial squares.
    if (int64_t(node->x) + node->OrderX - 1 >= board->CountPixelX ||
        int64_t(node->y) + node->OrderY - 1 >= board->CountPixelY)
        return 0;
    if (node->OrderX == 1) return 1;
    const int layers = Layers(board);
    const float* reference = board->CopperMatrix[node->x][node->y];
    for (uint32_t x = node->x; x < node->x + node->OrderX; ++x) {
        float* const* column = board->CopperMatrix[x];
#if defined(__SSE2__)
        // A raster column keeps its pixels one after another (malloc3D);
        // checked, since a board may be put together otherwise.
        const float* first = column[node->y];
        const size_t values = size_t(node->OrderY) * layers;
        if ((layers == 1 || layers == 2 || layers == 4 || layers == 8) &&
            column[node->y + node->OrderY - 1] == first + values - layers) {
            if (!PackedPixelsEqual(first, values, reference, layers)) return 0;
            continue;
        }
#endif
        for (uint32_t y = node->y; y < node->y + node->OrderY; ++y)
            if (!SamePixel(column[y], reference, layers)) return 0;
    }
    return 1;
}

int UpdatebCopper(const SimMatrix* board, Mesh* mesh)
{
    if (board == nullptr || mesh == nullptr || board->CopperMatrix == nullptr) return -1;
    ForEachNodeByID(mesh, [&](MeshNode* node) { TakeCopperFlags(board, node); });
    return 0;
}

int UpdateTemperature(const SimMatrix* board, Mesh* mesh)
{
    if (board == nullptr || mesh == nullptr || board->TemperatureMatrix == nullptr) return -1;
    ForEachNodeByID(mesh, [&](MeshNode* node) { mesh_stages::TakeTemperature(board, node); });
    return 0;
}

void mesh_stages::TakeTemperature(const SimMatrix* board, MeshNode* node)
{
    if (board->TemperatureMatrix == nullptr || node->x >= board->CountPixelX || node->y >= board->CountPixelY) return;
    const float* pixel = board->TemperatureMatrix[node->x][node->y];
    const int layers = Layers(board);
    for (int l = 0; l < layers; ++l) node->Temperature[l] = pixel[l];
}

}  // namespace korvex
