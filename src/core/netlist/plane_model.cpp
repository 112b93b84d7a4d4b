// One branch of the plane model: the copper resistance(s) in front of a
// lossless line between the node's centre and its neighbour's centre, or a
// half-length stub with an open far end at board and copper edges.
#include "netlist/plane_model.h"

#include <algorithm>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "netlist/ac_job.h"
#include "netlist/node_access.h"
#include "netlist/plane_formulas.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

enum class BranchCase { PcbEdge, CopperEdgeRB, CopperEdgeTL, Interior };

bool IsHorizontal(int direction)
{
    return direction == 0 || direction == 1 || direction == 4 || direction == 5;
}

// The direction in which `from` sees the node `id`: its slots compared in the
// order top, right, bottom, left; the last match counts.
int DirectionTowards(const MeshNode* from, uint32_t id, int fallback)
{
    int direction = fallback;
    for (int p : {6, 7, 0, 1, 2, 3, 4, 5})
        if (GetPositionID(from, p) == id) direction = p;
    return direction;
}

struct BranchGeometry {
    float length = 0;
    float width = 0;
};

// Lengths use sx and widths sy in both directions.
BranchGeometry Geometry(BranchCase kind, const MeshNode* node, const MeshNode* neighbour, int direction, float sx,
                        float sy)
{
    const bool horizontal = IsHorizontal(direction);
    const auto along = [&](const MeshNode* n) { return static_cast<float>(horizontal ? n->OrderX : n->OrderY); };
    const auto across = [&](const MeshNode* n) { return static_cast<float>(horizontal ? n->OrderY : n->OrderX); };
    BranchGeometry g;
    switch (kind) {
    case BranchCase::PcbEdge:
        g.length = sx * along(node) / 2;
        g.width = sy * across(node);
        break;
    case BranchCase::CopperEdgeRB:
    case BranchCase::CopperEdgeTL: {
        const MeshNode* own = kind == BranchCase::CopperEdgeTL ? neighbour : node;
        g.length = sx * along(own) / 2;
        g.width = sy * std::min(across(node), across(neighbour));
        break;
    }
    case BranchCase::Interior:
        g.length = sx * along(node) / 2 + sx * along(neighbour) / 2;
        g.width = sy * std::min(across(node), across(neighbour));
        break;
    }
    return g;
}

struct BranchText {
    BranchCase kind;
    uint32_t id;          // node written for
    uint32_t neighbourId; // interior only
    int a, b;             // plane pair of the node written for
    int p;                // direction as written
    float n;              // squares
    const char* comment;
};

void WriteForms(NetlistWriter& out, const BranchText& t, const PlaneLineValues& v, float d, int layerCount,
                bool saveCurrents)
{
    const bool stub = t.kind != BranchCase::Interior;
    const auto line = [&] { out.Format("*TLine d=%e C=%e L=%e Td=%e Z0=%e\n", d, v.C, v.Lv, v.Td, v.Z0); };
    const bool g0 = t.a == 0 && layerCount > 2;
    if (g0 || t.b == layerCount - 1) {
        // G0: plane b over the reference plane 0; GL: plane a over the last,
        // reference plane. The branch is named after the reference layer.
        const auto ref = static_cast<uint32_t>(g0 ? t.a : t.b);
        const auto sig = static_cast<uint32_t>(g0 ? t.b : t.a);
        out.Format(KORVEX_AC_BRANCH " " KORVEX_AC_NODE " " KORVEX_AC_NODE "_R_P%1u {%f*hypot(RDC%u+RDC%u,2*RAC)}\n",
                   ref, t.id, t.p, sig, t.id, ref, t.id, t.p, t.n, t.a, t.b);
        if (saveCurrents) out.Format(".save I(R_L%1u_N%06u_P%1u)\n", ref, t.id, t.p);
        line();
        if (stub)
            out.Format("T_L%1u%1u_N%06u_P%1u " KORVEX_AC_NODE "_R_P%1u 0 " KORVEX_AC_NODE "_OPEN_P%1u 0 Td=%e Z0=%e\n",
                       t.a, t.b, t.id, t.p, ref, t.id, t.p, sig, t.id, t.p, v.Td, v.Z0);
        else
            out.Format("T_L%1u%1u_N%06u_P%1u " KORVEX_AC_NODE "_R_P%1u 0 " KORVEX_AC_NODE " 0 Td=%e Z0=%e\n", t.a, t.b,
                       t.id, t.p, ref, t.id, t.p, sig, t.neighbourId, v.Td, v.Z0);
    } else {  // M: two signal planes, the copper of both in front of the line
        for (int layer : {t.a, t.b})
            out.Format(KORVEX_AC_BRANCH " " KORVEX_AC_NODE " " KORVEX_AC_NODE "_R_P%1u {%f*hypot(RDC%u,RAC)}\n", layer,
                       t.id, t.p, layer, t.id, layer, t.id, t.p, t.n, layer);
        if (saveCurrents)
            for (int layer : {t.a, t.b}) out.Format(".save I(R_L%1u_N%06u_P%1u)\n", layer, t.id, t.p);
        line();
        if (stub)
            out.Format("T_L%1u%1u_N%06u_P%1u " KORVEX_AC_NODE "_R_P%1u " KORVEX_AC_NODE "_R_P%1u " KORVEX_AC_NODE " "
                       KORVEX_AC_NODE "_OPEN_P%1u Td=%e Z0=%e\n",
                       t.a, t.b, t.id, t.p, t.a, t.id, t.p, t.b, t.id, t.p, t.a, t.id, t.b, t.id, t.p, v.Td, v.Z0);
        else
            out.Format("T_L%1u%1u_N%06u_P%1u " KORVEX_AC_NODE "_R_P%1u " KORVEX_AC_NODE "_R_P%1u " KORVEX_AC_NODE
                       " " KORVEX_AC_NODE
                       " "
                       "Td=%e Z0=%e\n",
                       t.a, t.b, t.id, t.p, t.a, t.id, t.p, t.b, t.id, t.p, t.a, t.neighbourId, t.b, t.neighbourId,
                       v.Td, v.Z0);
    }
}

}  // namespace

int CreateSpiceTLINEMatrix(NetlistWriter* file, const SimMatrix* board, const Mesh* mesh, const Settings* acSettings,
                           const MeshNode* node, const MeshNode* neighbour, int layer, int direction, const AcJob* job)
{
    if (file == nullptr || board == nullptr || node == nullptr || layer < 0 || layer > board->LayerCount - 2)
        return -1;
    const LayerPair own = GetDistance(board, node, layer);
    const LayerPair other = GetDistance(board, neighbour, layer);
    if (own.HasDielectric == 0 && other.HasDielectric == 0) return -1;
    const bool samePair = own.UpperLayer == other.UpperLayer && own.LowerLayer == other.LowerLayer;
    BranchCase kind;
    if (neighbour == nullptr)
        kind = BranchCase::PcbEdge;
    else if (own.HasDielectric != 0 && !samePair)
        kind = BranchCase::CopperEdgeRB;
    else if (other.HasDielectric != 0 && !samePair)
        kind = BranchCase::CopperEdgeTL;
    else if (own.HasDielectric != 0 && other.HasDielectric != 0)
        kind = BranchCase::Interior;
    else
        return -1;

    const float sx = board->SizeX / static_cast<float>(board->CountPixelX);
    const float sy = board->SizeY / static_cast<float>(board->CountPixelY);
    const BranchGeometry g = Geometry(kind, node, neighbour, direction, sx, sy);
    const bool forNeighbour = kind == BranchCase::CopperEdgeTL;
    const LayerPair& pair = forNeighbour ? other : own;
    const int layerCount = board->LayerCount;

    PlaneLineValues values = PlaneLine(g.length, g.width, pair.Distance, board->Er[layer]);
    if (kind == BranchCase::Interior && pair.LowerLayer == layerCount - 1 && acSettings != nullptr &&
        acSettings->ComputeStrayCapacitance != 0 && layerCount == 2) {
        const StrayParameter s = GetStrayParameter(board, mesh, node, neighbour, layer, direction, file);
        if (s.Valid != 0) ApplyStray(&values, g.length, s.LStray, s.CStray);
    }

    BranchText text{};
    text.kind = kind;
    text.id = forNeighbour ? neighbour->ID : node->ID;
    text.neighbourId = neighbour != nullptr ? neighbour->ID : 0;
    text.a = pair.UpperLayer;
    text.b = pair.LowerLayer;
    text.p = forNeighbour ? DirectionTowards(neighbour, node->ID, direction) : direction;
    text.n = g.length / g.width;
    switch (kind) {
    case BranchCase::PcbEdge: file->Format("*PCB Edge RB flength=%f *fwidth=%f\n", g.length, g.width); break;
    case BranchCase::CopperEdgeRB: file->Format("*Copper Edge RB flength=%f *fwidth=%f\n", g.length, g.width); break;
    case BranchCase::CopperEdgeTL: file->Format("*Copper Edge TL flength=%f *fwidth=%f\n", g.length, g.width); break;
    case BranchCase::Interior: file->Format("*flength=%f *fwidth=%f\n", g.length, g.width); break;
    }
    const bool saveCurrents = job != nullptr && job->Mode == AC_MODE_CURRENT_DENSITY_AT_F;
    WriteForms(*file, text, values, pair.Distance, layerCount, saveCurrents);
    return 0;
}

}  // namespace korvex
