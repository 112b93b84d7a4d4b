#include "mesh/mesh_results.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "board/sim_matrix.h"
#include "util/debug_log.h"
#include "util/side_by_side.h"

namespace korvex {

namespace {
bool ValidLayer(int layer)
{
    return layer >= 0 && layer < kMaxLayers;
}

int Layers(const SimMatrix* board)
{
    return std::clamp(board->LayerCount, 0, kMaxLayers);
}

// Pixels x layers from which painting runs on both cores: below it a thread costs more
// than it saves.
constexpr double kSideBySidePixels = 1 << 20;

// Calls work(node) for each node from `from` up to `to`, and ahead(node, 0) and ahead(node, 1)
// for the nodes eight and four places further on: a work that reads other nodes' records at
// random loads them in steps while the nodes before are worked on.
template <class Work, class Ahead>
void WalkNodes(MeshNode* from, const MeshNode* to, Work& work, Ahead& ahead)
{
    constexpr int kFar = 8, kNear = 4;
    MeshNode *far = from, *near = from;
    for (int k = 0; k < kFar && far != to; ++k, far = far->pNextNode) ahead(far, 0);
    for (int k = 0; k < kNear && near != to; ++k, near = near->pNextNode) ahead(near, 1);
    for (MeshNode* node = from; node != to; node = node->pNextNode) {
        if (far != to) {
            ahead(far, 0);
            far = far->pNextNode;
        }
        if (near != to) {
            ahead(near, 1);
            near = near->pNextNode;
        }
        work(node);
    }
}

struct NoLookAhead {
    void operator()(const MeshNode*, int) const {}
};

// Calls work(node) for every node of the mesh. On a large board the list is cut where
// half the board's area is reached and the two parts run side by side: nodes do not
// overlap, so the parts paint different pixels. `work` must write only its node's pixels
// and its node's own record; `ahead` (see WalkNodes) only loads.
template <class Work, class Ahead = NoLookAhead>
void ForEachNodeOnTwoCores(const Mesh* mesh, const SimMatrix* board, Work work, Ahead ahead = {})
{
    const double pixels = double(board->CountPixelX) * board->CountPixelY;
    if (pixels * Layers(board) < kSideBySidePixels) {
        WalkNodes(mesh->FirstNode, nullptr, work, ahead);
        return;
    }
    MeshNode* middle = mesh->FirstNode;
    for (double area = 0; middle != nullptr && area < pixels / 2; middle = middle->pNextNode)
        area += double(middle->OrderX) * middle->OrderY;
    RunSideBySide([&] { WalkNodes(middle, nullptr, work, ahead); }, [&] { WalkNodes(mesh->FirstNode, middle, work, ahead); });
}

// Where FillNode writes: a raster, and the first value of its pixels when malloc3D laid them
// out one after another, x outermost (pixel (x, y) at pixels + (x * ny + y) * layers). A
// node's column is then one run of memory, filled without reading the pointer tables.
struct PaintTarget {
    float*** raster = nullptr;
    float* pixels = nullptr;
};

PaintTarget TargetOf(const SimMatrix* board, float*** raster)
{
    PaintTarget target{raster, nullptr};
    const int64_t nx = board->CountPixelX, ny = board->CountPixelY, layers = Layers(board);
    if (raster == nullptr || nx <= 0 || ny <= 0 || layers == 0) return target;
    float* const first = raster[0][0];
    // Each column's ends where the layout puts them; a raster put together otherwise is
    // filled through its tables.
    for (int64_t x = 0; x < nx; ++x)
        if (raster[x][0] != first + x * ny * layers || raster[x][ny - 1] != first + (x * ny + ny - 1) * layers)
            return target;
    target.pixels = first;
    return target;
}

// Fills the node's pixels of `count` rasters, each pixel with the `Layers` values of its
// raster. The length is fixed so that a pixel's copy is a few moves, not a call.
template <int Layers>
void FillNode(const SimMatrix* board, const MeshNode* node, const PaintTarget* targets, const float* const* values,
              int count)
{
    const int64_t ny = board->CountPixelY;
    const int64_t x1 = std::min<int64_t>(int64_t(node->x) + node->OrderX, board->CountPixelX);
    const int64_t y1 = std::min<int64_t>(int64_t(node->y) + node->OrderY, ny);
    for (int r = 0; r < count; ++r) {
        const float* value = values[r];
        for (int64_t x = node->x; x < x1; ++x) {
            if (targets[r].pixels != nullptr) {
                float* const column = targets[r].pixels + x * ny * Layers;
                for (float* pixel = column + node->y * Layers; pixel < column + y1 * Layers; pixel += Layers)
                    std::memcpy(pixel, value, Layers * sizeof(float));
            } else {
                for (int64_t y = node->y; y < y1; ++y) std::memcpy(targets[r].raster[x][y], value, Layers * sizeof(float));
            }
        }
    }
}

void FillNode(int layers, const SimMatrix* board, const MeshNode* node, const PaintTarget* targets,
              const float* const* values, int count)
{
    switch (layers) {
    case 1: return FillNode<1>(board, node, targets, values, count);
    case 2: return FillNode<2>(board, node, targets, values, count);
    case 3: return FillNode<3>(board, node, targets, values, count);
    case 4: return FillNode<4>(board, node, targets, values, count);
    case 5: return FillNode<5>(board, node, targets, values, count);
    case 6: return FillNode<6>(board, node, targets, values, count);
    case 7: return FillNode<7>(board, node, targets, values, count);
    case 8: return FillNode<8>(board, node, targets, values, count);
    default: return;
    }
}

// Paints one value per node and layer into a raster, all layers of a pixel at once
// (they lie side by side in the raster).
template <class Value>
int PaintNodes(const Mesh* mesh, const SimMatrix* board, float*** raster, Value value)
{
    if (mesh == nullptr || board == nullptr || raster == nullptr) return -1;
    const int layers = Layers(board);
    const PaintTarget target = TargetOf(board, raster);
    ForEachNodeOnTwoCores(mesh, board, [&](const MeshNode* node) {
        float values[kMaxLayers];
        for (int l = 0; l < layers; ++l) values[l] = static_cast<float>(value(node, l));
        const float* painted = values;
        FillNode(layers, board, node, &target, &painted, 1);
    });
    return 0;
}

// The per-layer currents that neighbour `other` sends into `node` through one of its two
// slots on the shared side, when `other` spans that side beyond `node`; null (no current)
// when neither slot names the node.
const double* CurrentsFromWiderNeighbour(const MeshNode* node, uint32_t firstID, uint32_t secondID,
                                         const double* first, const double* second)
{
    if (firstID == node->ID) return first;
    if (secondID == node->ID) return second;
    printDebug("Fehler in GetCurrent\r\n");
    return nullptr;
}

// The per-layer currents entering `node` through each half of its top and left sides, as
// its neighbours there hold them: null where nothing enters. Each node's own record holds
// the currents leaving through its right and bottom sides.
const double* CurrentsTL(const Mesh* mesh, const MeshNode* node)
{
    const MeshNode* top = IDToAddress(mesh, node->IDTopL);
    if (top == nullptr) return nullptr;
    const MeshNodeResults& r = ResultsOf(top);
    if (!IsHigherOrderX(node, top)) return r.CurrentBL;
    return CurrentsFromWiderNeighbour(node, top->IDBotL, top->IDBotR, r.CurrentBL, r.CurrentBR);
}

const double* CurrentsTR(const Mesh* mesh, const MeshNode* node)
{
    const MeshNode* top = IDToAddress(mesh, node->IDTopR);
    // A neighbour as wide as the node or wider is the top-left one, counted there.
    if (top == nullptr || !IsLowerOrderX(node, top)) return nullptr;
    return ResultsOf(top).CurrentBL;
}

const double* CurrentsLT(const Mesh* mesh, const MeshNode* node)
{
    const MeshNode* left = IDToAddress(mesh, node->IDLeftT);
    if (left == nullptr) return nullptr;
    const MeshNodeResults& r = ResultsOf(left);
    if (!IsHigherOrderY(node, left)) return r.CurrentRT;
    return CurrentsFromWiderNeighbour(node, left->IDRightT, left->IDRightB, r.CurrentRT, r.CurrentRB);
}

const double* CurrentsLB(const Mesh* mesh, const MeshNode* node)
{
    const MeshNode* left = IDToAddress(mesh, node->IDLeftB);
    if (left == nullptr || !IsLowerOrderY(node, left)) return nullptr;
    return ResultsOf(left).CurrentRT;
}

double At(const double* currents, int layer)
{
    return currents != nullptr ? currents[layer] : 0.0;
}

double CurrentAt(const Mesh* mesh, const MeshNode* node, int layer,
                 const double* (*currents)(const Mesh*, const MeshNode*))
{
    if (mesh == nullptr || node == nullptr || !ValidLayer(layer)) return 0.0;
    return At(currents(mesh, node), layer);
}
}  // namespace

int SetVoltage(Mesh* mesh, MeshNode* node, int layer, double value)
{
    if (!ValidLayer(layer)) return -1;
    MeshNodeResults* results = NodeResults(mesh, node);
    if (results == nullptr) return -1;
    results->Voltage[layer] = value;
    return 0;
}

int SetTemperature(MeshNode* node, int layer, double value)
{
    if (node == nullptr || !ValidLayer(layer)) return -1;
    node->Temperature[layer] = value;
    return 0;
}

int SetNodeZin(Mesh* mesh, MeshNode* node, int layer, float value)
{
    if (!ValidLayer(layer)) return -1;
    MeshNodeResults* results = NodeResults(mesh, node);
    if (results == nullptr) return -1;
    results->Zin[layer] = value;
    return 0;
}

int SetCurrent(Mesh* mesh, MeshNode* node, int direction, int layer, double value)
{
    if (!ValidLayer(layer)) return -1;
    if (direction < kCurrentRightTop || direction > kCurrentBottomRight) return mesh && node ? 0 : -1;
    MeshNodeResults* results = NodeResults(mesh, node);
    if (results == nullptr) return -1;
    switch (direction) {
    case kCurrentRightTop: results->CurrentRT[layer] = value; break;
    case kCurrentRightBottom: results->CurrentRB[layer] = value; break;
    case kCurrentBottomLeft: results->CurrentBL[layer] = value; break;
    case kCurrentBottomRight: results->CurrentBR[layer] = value; break;
    default: break;
    }
    return 0;
}

int ResetCurrent(MeshNode* node)
{
    if (node == nullptr) return -1;
    if (MeshNodeResults* r = node->Results; r != nullptr)
        for (int l = 0; l < kMaxLayers; ++l)
            r->CurrentRT[l] = r->CurrentRB[l] = r->CurrentBL[l] = r->CurrentBR[l] = r->CurrentDensity[l] = 0.0;
    return 0;
}

int ResetVoltage(MeshNode* node)
{
    if (node == nullptr) return -1;
    if (MeshNodeResults* r = node->Results; r != nullptr) std::fill(std::begin(r->Voltage), std::end(r->Voltage), 0.0);
    return 0;
}

int ResetTemperature(MeshNode* node, double value)
{
    if (node == nullptr) return -1;
    std::fill(std::begin(node->Temperature), std::end(node->Temperature), value);
    return 0;
}

double GetCurrentTL(const Mesh* mesh, const MeshNode* node, int layer)
{
    return CurrentAt(mesh, node, layer, CurrentsTL);
}

double GetCurrentTR(const Mesh* mesh, const MeshNode* node, int layer)
{
    return CurrentAt(mesh, node, layer, CurrentsTR);
}

double GetCurrentLT(const Mesh* mesh, const MeshNode* node, int layer)
{
    return CurrentAt(mesh, node, layer, CurrentsLT);
}

double GetCurrentLB(const Mesh* mesh, const MeshNode* node, int layer)
{
    return CurrentAt(mesh, node, layer, CurrentsLB);
}

int MeshToVoltageMatrix(const Mesh* mesh, SimMatrix* board)
{
    if (board == nullptr) return -1;
    return MeshToVoltageRaster(mesh, board, board->VoltageMatrix);
}

int MeshToTemperatureMatrix(const Mesh* mesh, SimMatrix* board)
{
    if (board == nullptr) return -1;
    return MeshToTemperatureRaster(mesh, board, board->TemperatureMatrix);
}

int MeshToZinMatrix(const Mesh* mesh, SimMatrix* board)
{
    if (board == nullptr) return -1;
    return MeshToZinRaster(mesh, board, board->ZinMatrix);
}

int MeshToVoltageRaster(const Mesh* mesh, const SimMatrix* board, float*** raster)
{
    return PaintNodes(mesh, board, raster, [](const MeshNode* n, int l) { return ResultsOf(n).Voltage[l]; });
}

int MeshToTemperatureRaster(const Mesh* mesh, const SimMatrix* board, float*** raster)
{
    return PaintNodes(mesh, board, raster, [](const MeshNode* n, int l) { return n->Temperature[l]; });
}

int MeshToZinRaster(const Mesh* mesh, const SimMatrix* board, float*** raster)
{
    if (mesh == nullptr || board == nullptr || raster == nullptr) return -1;
    ClearMatrix3D(board, raster);
    return PaintNodes(mesh, board, raster, [](const MeshNode* n, int l) { return ResultsOf(n).Zin[l]; });
}

int ClearMatrix3D(const SimMatrix* board, float*** matrix)
{
    if (board == nullptr || matrix == nullptr) return -1;
    const int layers = Layers(board);
    for (uint32_t x = 0; x < board->CountPixelX; ++x)
        for (uint32_t y = 0; y < board->CountPixelY; ++y)
            for (int l = 0; l < layers; ++l) matrix[x][y][l] = 0.0f;
    return 0;
}

int MeshToCurrentDensity(SimMatrix* board, Mesh* mesh)
{
    if (board == nullptr) return -1;
    return MeshToCurrentDensityRasters(board, mesh, board->CurrentXMatrix, board->CurrentYMatrix,
                                       board->CurrentDensityMatrix);
}

namespace {
// Current density of every node from its currents and its neighbours', into its record and
// into the rasters, with the voltages too when `voltage` is given.
int PaintElectrical(const SimMatrix* board, Mesh* mesh, float*** voltage, float*** currentX, float*** currentY,
                    float*** density)
{
    if (board == nullptr || mesh == nullptr || currentX == nullptr || currentY == nullptr || density == nullptr)
        return -1;
    const int layers = Layers(board);
    // Every node's record first: the nodes painted side by side must not make records.
    if (!MakeEveryNodeResults(mesh)) return -1;
    const PaintTarget targets[] = {TargetOf(board, density), TargetOf(board, currentX), TargetOf(board, currentY),
                                   TargetOf(board, voltage)};
    // The neighbours lie anywhere in memory: first their nodes are loaded, then the lines of
    // their records that the currents come from.
    const auto ahead = [mesh](const MeshNode* node, int step) {
        for (const uint32_t id : {node->IDLeftT, node->IDLeftB, node->IDTopL, node->IDTopR}) {
            const MeshNode* neighbour = IDToAddress(mesh, id);
            if (neighbour == nullptr) continue;
            if (step == 0) {
                __builtin_prefetch(&neighbour->Results);
            } else if (const MeshNodeResults* r = neighbour->Results; r != nullptr) {
                __builtin_prefetch(id == node->IDLeftT || id == node->IDLeftB ? r->CurrentRT : r->CurrentBL);
            }
        }
    };
    ForEachNodeOnTwoCores(mesh, board, [&](MeshNode* node) {
        const double width = node->OrderX, height = node->OrderY;
        MeshNodeResults* r = node->Results;
        // The neighbours are looked up once for all layers.
        const double *lt = CurrentsLT(mesh, node), *lb = CurrentsLB(mesh, node);
        const double *tl = CurrentsTL(mesh, node), *tr = CurrentsTR(mesh, node);
        float fj[kMaxLayers], fx[kMaxLayers], fy[kMaxLayers], fv[kMaxLayers];
        for (int l = 0; l < layers; ++l) {
            // Mean of what leaves through one side and enters through the opposite one.
            const double ix = 0.5 * (r->CurrentRT[l] + r->CurrentRB[l] + At(lt, l) + At(lb, l));
            const double iy = 0.5 * (r->CurrentBL[l] + r->CurrentBR[l] + At(tl, l) + At(tr, l));
            r->CurrentX[l] = ix;
            r->CurrentY[l] = iy;
            // Per pixel of cross-section: x current spreads over the rows, y over the columns.
            const double jx = ix / height, jy = iy / width;
            const double j = std::sqrt(jx * jx + jy * jy);
            r->CurrentDensity[l] = j;
            fj[l] = static_cast<float>(j);
            fx[l] = static_cast<float>(jx);
            fy[l] = static_cast<float>(jy);
            fv[l] = static_cast<float>(r->Voltage[l]);
        }
        const float* const values[] = {fj, fx, fy, fv};
        FillNode(layers, board, node, targets, values, voltage != nullptr ? 4 : 3);
    }, ahead);
    return 0;
}
}  // namespace

int MeshToCurrentDensityRasters(const SimMatrix* board, Mesh* mesh, float*** currentX, float*** currentY,
                                float*** density)
{
    return PaintElectrical(board, mesh, nullptr, currentX, currentY, density);
}

int MeshToElectricalRasters(const SimMatrix* board, Mesh* mesh, float*** voltage, float*** currentX,
                            float*** currentY, float*** density)
{
    if (voltage == nullptr) return -1;
    return PaintElectrical(board, mesh, voltage, currentX, currentY, density);
}

}  // namespace korvex
