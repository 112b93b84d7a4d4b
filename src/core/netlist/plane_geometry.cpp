// Geometry of the plane model: plane pairs under a node, the strip where two
// nodes touch, open copper edges along it and the microstrip width there.
#include <algorithm>

#include "board/sim_matrix.h"
#include "netlist/node_access.h"
#include "netlist/plane_formulas.h"
#include "netlist/plane_model.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

// Copper at a pixel; pixels off the board are not copper.
bool CopperAt(const SimMatrix* board, int32_t x, int32_t y, int layer)
{
    if (board->CopperMatrix == nullptr || x < 0 || y < 0 || layer < 0 || layer >= board->LayerCount) return false;
    if (static_cast<uint32_t>(x) >= board->CountPixelX || static_cast<uint32_t>(y) >= board->CountPixelY)
        return false;
    return board->CopperMatrix[x][y][layer] > 0.0f;
}

// How far a node side shrinks towards the centre: OrderX/2 - 1 for sizes above 2.
int32_t Inset(uint32_t order)
{
    return order > 2 ? static_cast<int32_t>(order / 2) - 1 : 0;
}

}  // namespace

LayerPair GetDistance(const SimMatrix* board, const MeshNode* node, int layer)
{
    LayerPair pair;
    if (board == nullptr || node == nullptr || GetbCopper(node, layer) == 0) return pair;
    const int count = NetlistLayerCount(board->LayerCount);
    if (count == 2) {
        pair.UpperLayer = 0;
        pair.Distance = board->SizeZ[0];
        const bool lower = GetbCopper(node, 1) != 0;
        pair.LowerLayer = lower ? 1 : -1;
        pair.HasDielectric = lower ? 1 : 0;
        return pair;
    }
    pair.UpperLayer = layer;
    float distance = 0;
    for (int k = layer + 1; k < count; ++k) {
        distance += board->SizeZ[k - 1];
        if (GetbCopper(node, k) == 0) continue;
        pair.LowerLayer = k;
        pair.Distance = distance;
        // The two outer reference planes facing each other carry no branch.
        pair.HasDielectric = (layer == 0 && k == count - 1) ? 0 : 1;
        return pair;
    }
    return pair;
}

ConnectionRect GetRectofConnection(const SimMatrix* board, const Mesh* /*mesh*/, const MeshNode* node,
                                   const MeshNode* neighbour)
{
    ConnectionRect rect;
    if (board == nullptr || node == nullptr || neighbour == nullptr) return rect;
    int slot = 8;
    for (int p = 0; p < 8; ++p)
        if (GetPositionID(node, p) == neighbour->ID) {
            slot = p;
            break;
        }
    const MeshRect a = GetRect(node);
    const MeshRect b = GetRect(neighbour);
    switch (slot) {
    case 0:
    case 1: {
        const bool one = node->IDRightT == node->IDRightB;
        rect.top = one ? a.top : b.top;
        rect.bottom = one ? a.bottom : b.bottom;
        rect.left = a.right - Inset(node->OrderX);
        rect.right = b.left + Inset(neighbour->OrderX);
        break;
    }
    case 2:
    case 3: {
        const bool one = node->IDBotL == node->IDBotR;
        rect.left = one ? a.left : b.left;
        rect.right = one ? a.right : b.right;
        rect.top = a.bottom - Inset(node->OrderY);
        rect.bottom = b.top + Inset(neighbour->OrderY);
        break;
    }
    case 4:
    case 5: {
        const bool one = node->IDLeftT == node->IDLeftB;
        rect.top = one ? a.top : b.top;
        rect.bottom = one ? a.bottom : b.bottom;
        rect.right = a.left + Inset(node->OrderX);
        rect.left = b.right - Inset(neighbour->OrderX);
        break;
    }
    case 6:
    case 7: {
        const bool one = node->IDTopL == node->IDTopR;
        rect.left = one ? a.left : b.left;
        rect.right = one ? a.right : b.right;
        rect.bottom = a.top + Inset(node->OrderY);
        rect.top = b.bottom - Inset(neighbour->OrderY);
        break;
    }
    default: break;
    }
    return rect;
}

int IsCopperEdgeHoz(const SimMatrix* board, ConnectionRect r, int layer)
{
    if (board == nullptr) return 0;
    const bool topOpen = !CopperAt(board, r.left, r.top - 1, layer) || !CopperAt(board, r.right, r.top - 1, layer);
    const bool bottomOpen =
        !CopperAt(board, r.left, r.bottom + 1, layer) || !CopperAt(board, r.right, r.bottom + 1, layer);
    return (topOpen ? 1 : 0) | (bottomOpen ? 2 : 0);
}

int IsCopperEdgeVert(const SimMatrix* board, ConnectionRect r, int layer)
{
    if (board == nullptr) return 0;
    const bool leftOpen = !CopperAt(board, r.left - 1, r.top, layer) || !CopperAt(board, r.left - 1, r.bottom, layer);
    const bool rightOpen =
        !CopperAt(board, r.right + 1, r.top, layer) || !CopperAt(board, r.right + 1, r.bottom, layer);
    return (leftOpen ? 1 : 0) | (rightOpen ? 2 : 0);
}

uint64_t IsCopperEdge(const SimMatrix* board, ConnectionRect rect, int layer)
{
    return static_cast<uint64_t>(IsCopperEdgeHoz(board, rect, layer)) |
           (static_cast<uint64_t>(IsCopperEdgeVert(board, rect, layer)) << 32);
}

int GetMicrostripWidthHoz(const SimMatrix* board, ConnectionRect r, int edgeCode, int layer)
{
    if (board == nullptr || edgeCode == 0) return 0;
    if (edgeCode == 3) return r.bottom - r.top + 1;
    const auto copperRow = [&](int32_t y) { return CopperAt(board, r.left, y, layer) && CopperAt(board, r.right, y, layer); };
    if (edgeCode == 1) {
        int32_t y = r.top;
        while (copperRow(y)) ++y;  // stops at the board's last row at the latest
        return y - r.top;
    }
    int32_t y = r.bottom;
    while (copperRow(y)) --y;  // stops at row -1 at the latest
    return r.bottom - y;
}

int GetMicrostripWidthVert(const SimMatrix* board, ConnectionRect r, int edgeCode, int layer)
{
    if (board == nullptr || edgeCode == 0) return 0;
    if (edgeCode == 3) return r.right - r.left + 1;
    const auto copperColumn = [&](int32_t x) {
        return CopperAt(board, x, r.top, layer) && CopperAt(board, x, r.bottom, layer);
    };
    if (edgeCode == 1) {
        int32_t x = r.left;
        while (copperColumn(x)) ++x;
        return x - r.left;
    }
    int32_t x = r.right;
    while (copperColumn(x)) --x;
    return r.right - x;
}

StrayParameter GetStrayParameter(const SimMatrix* board, const Mesh* mesh, const MeshNode* node,
                                 const MeshNode* neighbour, int layer, int direction, NetlistWriter* file)
{
    StrayParameter result;
    if (board == nullptr || node == nullptr || neighbour == nullptr || layer < 0 || layer >= 8) return result;
    const ConnectionRect rect = GetRectofConnection(board, mesh, node, neighbour);
    const bool horizontal = direction == 0 || direction == 1 || direction == 4 || direction == 5;
    const int edge = horizontal ? IsCopperEdgeHoz(board, rect, layer) : IsCopperEdgeVert(board, rect, layer);
    if (edge == 0) return result;
    const float sx = board->SizeX / static_cast<float>(board->CountPixelX);
    const float sy = board->SizeY / static_cast<float>(board->CountPixelY);
    const float w = horizontal ? static_cast<float>(GetMicrostripWidthHoz(board, rect, edge, layer)) * sy
                               : static_cast<float>(GetMicrostripWidthVert(board, rect, edge, layer)) * sx;
    const MicrostripStray s = ComputeMicrostripStray(w, board->SizeZ[layer], board->Er[layer], edge);
    if (s.Valid == 0) return result;  // a strip without width has no fringing to add
    if (file != nullptr)
        file->Format("*ID%u-ID%u w %e fCParallel %e fCMicrostrip %e fLParallel %e fLMicrostrip %e \n", node->ID,
                     neighbour->ID, w, s.CParallel, s.CMicrostrip, s.LParallel, s.LMicrostrip);
    result.Valid = 1;
    result.LStray = s.LStray;
    result.CStray = s.CStray;
    return result;
}

}  // namespace korvex
