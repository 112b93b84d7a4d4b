#include "netlist/netlist_electrical.h"

#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "netlist/element_counters.h"
#include "netlist/node_access.h"
#include "netlist/resistance_tables.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

uint32_t TerminalID(const Mesh* mesh, uint32_t x, uint32_t y)
{
    return CoordinateToID(mesh, MeshPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
}

bool HasName(const char (&name)[kNetNameSize])
{
    return name[0] != '\0';
}

void WriteResistor(NetlistWriter& out, const Mesh* mesh, const Resistor& r)
{
    const uint32_t n = out.Counters().Resistor++;
    const bool name1 = HasName(r.Net1Name);
    const bool name2 = HasName(r.Net2Name);
    if (name1 && name2)
        out.Format("R%u %s %s %f\n", n, r.Net1Name, r.Net2Name, r.Rser);
    else if (name2)
        out.Format("R%u " KORVEX_DC_NODE " %s %f\n", n, r.Net1Z, TerminalID(mesh, r.Net1X, r.Net1Y), r.Net2Name,
                   r.Rser);
    else if (name1)
        out.Format("R%u %s " KORVEX_DC_NODE " %f\n", n, r.Net1Name, r.Net2Z, TerminalID(mesh, r.Net2X, r.Net2Y),
                   r.Rser);
    else
        out.Format("R%u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f \n", n, r.Net1Z, TerminalID(mesh, r.Net1X, r.Net1Y),
                   r.Net2Z, TerminalID(mesh, r.Net2X, r.Net2Y), r.Rser);
}

// The positive node is the second terminal: the source drives its current
// into the copper at the first terminal and takes it out at the second. A net
// name replaces its terminal's node, as for resistors.
void WriteCurrentSource(NetlistWriter& out, const Mesh* mesh, const Current& c)
{
    const uint32_t n = out.Counters().CurrentSource++;
    const bool name1 = HasName(c.Net1Name);
    const bool name2 = HasName(c.Net2Name);
    if (name1 && name2)
        out.Format("I%u %s %s %f\n", n, c.Net2Name, c.Net1Name, c.Current);
    else if (name2)
        out.Format("I%u %s " KORVEX_DC_NODE " %f\n", n, c.Net2Name, c.Net1Z, TerminalID(mesh, c.Net1X, c.Net1Y),
                   c.Current);
    else if (name1)
        out.Format("I%u " KORVEX_DC_NODE " %s %f\n", n, c.Net2Z, TerminalID(mesh, c.Net2X, c.Net2Y), c.Net1Name,
                   c.Current);
    else
        out.Format("I%u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n", n, c.Net2Z, TerminalID(mesh, c.Net2X, c.Net2Y),
                   c.Net1Z, TerminalID(mesh, c.Net1X, c.Net1Y), c.Current);
}

// One barrel segment per pair of adjacent layers, whether or not the nodes
// carry copper there.
void WriteViaBarrels(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Via& via, uint64_t key)
{
    const uint32_t id = TerminalID(mesh, via.x, via.y);
    const float area = ViaBarrelArea(via.Diameter, via.CopperThickness);
    const int layers = NetlistLayerCount(board->LayerCount);
    for (int l = 0; l + 1 < layers; ++l) {
        const float r = board->SizeZ[l] / (board->ElectricalConductivity * area);
        out.Format("RV%u_%1u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f \n", key, l, l, id, l + 1, id, r);
    }
}

void WriteBranches(NetlistWriter& out, SimMatrix* board, Mesh* mesh, MeshNode* node, int layer)
{
    if (node->IDRightT != node->IDRightB) {
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDRightT), layer, 0);
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDRightB), layer, 1);
    } else {
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDRightT), layer, 0);
    }
    if (node->IDBotL != node->IDBotR) {
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDBotL), layer, 2);
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDBotR), layer, 3);
    } else {
        CreateSpiceCopperMesh(&out, board, mesh, node, IDToAddress(mesh, node->IDBotL), layer, 2);
    }
}

}  // namespace

int WriteElectricalPart(NetlistWriter& out, SimMatrix* board, Mesh* mesh, Part* part, uint64_t viaKey)
{
    if (part == nullptr || part->pRecord == nullptr) return -1;
    switch (part->Kind) {
    case PART_RESISTOR: WriteResistor(out, mesh, *PartRecord<Resistor>(part)); break;
    case PART_CURRENT: WriteCurrentSource(out, mesh, *PartRecord<Current>(part)); break;
    case PART_VIA: WriteViaBarrels(out, board, mesh, *PartRecord<Via>(part), viaKey); break;
    default: break;
    }
    return 0;
}

int CreateSpiceElectricalElementMesh(NetlistWriter* file, SimMatrix* board, Mesh* mesh, Part* part)
{
    if (file == nullptr || board == nullptr || part == nullptr) return -1;
    return WriteElectricalPart(*file, board, mesh, part, PartKey(board, part));
}

int CreateSpiceCopperMesh(NetlistWriter* file, SimMatrix* board, Mesh* mesh, MeshNode* nodeA, MeshNode* nodeB,
                          int layer, int direction)
{
    if (file == nullptr || board == nullptr || nodeA == nullptr || nodeB == nullptr) return -1;
    if (GetbCopper(nodeA, layer) == 0 || GetbCopper(nodeB, layer) == 0) return -1;
    const double meanTemperature = (GetTemperature(mesh, nodeA, layer) + GetTemperature(mesh, nodeB, layer)) / 2;
    const bool horizontal = direction == 0 || direction == 1;
    const float r0 = BranchBaseResistance(horizontal ? board->RdcX[layer] : board->RdcY[layer], horizontal,
                                          nodeA->OrderX, nodeA->OrderY, nodeB->OrderX, nodeB->OrderY);
    const float r = static_cast<float>(r0 * (1 + board->TemperatureCoefficient * (meanTemperature - 20)));
    file->Format(KORVEX_DC_BRANCH " " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n", layer, nodeA->ID, direction, layer,
                 nodeA->ID, layer, nodeB->ID, r);
    return 0;
}

void WriteSpiceElectricalMesh(NetlistWriter& out, SimMatrix* board, Mesh* mesh)
{
    out.Text("* SPICE generated by KORVEX\n");
    uint64_t key = 1;
    for (Part* part = GetFirstPart(board); part != nullptr; part = GetNextPart(part), ++key)
        WriteElectricalPart(out, board, mesh, part, key);
    ComputeCopperResistances(board);
    const int layers = NetlistLayerCount(board->LayerCount);
    BelowNodePrefetch prefetch(mesh);
    for (MeshNode* node = GetFirstNode(mesh); node != nullptr; node = GetNextNode(node)) {
        prefetch.Advance();
        for (int l = 0; l < layers; ++l) WriteBranches(out, board, mesh, node, l);
    }
    out.Text(".options numdgt 16\n");
    out.Text(".options noopiter\n.options gminsteps=0\n.options srcsteps=0\n.options Gshunt=1e-12\n");
    out.Text(".op\n");
    out.Text(".end\n");
}

Status WriteElectricalNetlist(const char* path, SimMatrix* board, Mesh* mesh, ElementCounters* counters)
{
    if (board == nullptr || mesh == nullptr) return Status::Refused("no board or mesh to write a netlist of");
    return WriteNetlistFile(
        path, [&](NetlistWriter& out) { WriteSpiceElectricalMesh(out, board, mesh); }, counters);
}

int CreateSpiceElectricalMesh(const char* path, SimMatrix* board, Mesh* mesh)
{
    return WriteElectricalNetlist(path, board, mesh).Code();
}

}  // namespace korvex
