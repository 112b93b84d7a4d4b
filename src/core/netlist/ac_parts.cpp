// Part lines of the AC netlist: resistors as R-L-C elements, vias to the
// reference plane, ports by analysis mode, capacitors (or the termination
// that replaces one), and subcircuits with their definitions.
#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_job.h"
#include "netlist/element_counters.h"
#include "netlist/netlist_ac.h"
#include "netlist/node_access.h"
#include "netlist/resistance_tables.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

uint32_t NodeAt(const Mesh* mesh, uint32_t x, uint32_t y)
{
    return CoordinateToID(mesh, MeshPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
}

bool HasName(const char (&name)[kNetNameSize])
{
    return name[0] != '\0';
}

void WriteResistor(NetlistWriter& out, const Mesh* mesh, const Resistor& r)
{
    const uint32_t n = out.Counters().AcResistor++;
    const bool name1 = HasName(r.Net1Name);
    const bool name2 = HasName(r.Net2Name);
    if (name1 && name2)
        out.Format("L%u %s %s %e Rser=%e Cpar=%e\n", n, r.Net1Name, r.Net2Name, r.Lser, r.Rser, r.Cpar);
    else if (name1)
        out.Format("L%u %s " KORVEX_AC_NODE " %e Rser=%e Cpar=%e\n", n, r.Net1Name, r.Net2Z,
                   NodeAt(mesh, r.Net2X, r.Net2Y), r.Lser, r.Rser, r.Cpar);
    else if (name2)
        out.Format("L%u " KORVEX_AC_NODE " %s %e Rser=%e Cpar=%e\n", n, r.Net1Z, NodeAt(mesh, r.Net1X, r.Net1Y),
                   r.Net2Name, r.Lser, r.Rser, r.Cpar);
    else
        out.Format("L%u " KORVEX_AC_NODE " " KORVEX_AC_NODE " %e Rser=%e Cpar=%e\n", n, r.Net1Z,
                   NodeAt(mesh, r.Net1X, r.Net1Y), r.Net2Z, NodeAt(mesh, r.Net2X, r.Net2Y), r.Lser, r.Rser, r.Cpar);
}

// The via shorts its layer to the reference plane below through its barrel.
void WriteVia(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Via& via, uint64_t key)
{
    out.Text("*Via\n");
    const int layer = AcViaLayer(board, mesh, via.x, via.y);
    if (layer < 0) return;
    float length = 0;
    for (int l = layer; l <= board->LayerCount - 2; ++l) length += board->SizeZ[l];
    const float r = length / (board->ElectricalConductivity * ViaBarrelArea(via.Diameter, via.CopperThickness));
    out.Format("RV%u_%1u " KORVEX_AC_NODE " 0 %f \n", key, layer, layer, NodeAt(mesh, via.x, via.y), r);
}

void WriteTermination(NetlistWriter& out, uint32_t termination, uint32_t layer, uint32_t node, uint32_t source)
{
    out.Format("RTERM%03u " KORVEX_AC_NODE " 0 50 ; Termination Port\n", termination, layer, node);
    out.Format(".net I(RTERM%03u)  V%03u\n", termination, source);
}

void SaveAllSParameters(NetlistWriter& out, uint32_t source)
{
    for (const char* s : {"S11", "S21", "S12", "S22"}) out.Format(".save %s(V%03u)\n", std::string_view(s), source);
}

void WritePort(NetlistWriter& out, const Mesh* mesh, const Port& port, const AcJob& job)
{
    const uint32_t node = NodeAt(mesh, port.x, port.y);
    const bool source = port.ID == job.SourcePort;
    switch (job.Mode) {
    case AC_MODE_ZIN_OF_PORTS:
        out.Format("I%03u " KORVEX_AC_NODE " 0 AC=1 ;Port\n", port.ID, port.Layer, node);
        out.Format(".net I%03u\n", port.ID);
        out.Format(".save Zin(I%03u)\n", port.ID);
        break;
    case AC_MODE_S21:
        if (source) {
            out.Format("V%03u " KORVEX_AC_NODE " 0 RSER=50 AC=1 ;Port\n", port.ID, port.Layer, node);
        } else if (port.ID == job.TerminationPort) {
            WriteTermination(out, job.TerminationPort, port.Layer, node, job.SourcePort);
            if (job.FullTwoPort) SaveAllSParameters(out, job.SourcePort);
            else out.Format(".save S21(V%03u)\n", job.SourcePort);
        }
        break;
    case AC_MODE_CAPACITOR_SPARAMETERS:
        if (source) out.Format("V%03u " KORVEX_AC_NODE " 0 RSER=50 AC=1 ;Port\n", port.ID, port.Layer, node);
        break;
    case AC_MODE_NOISE_TRANSFER:
    case AC_MODE_CURRENT_NOISE_TRANSFER:
        if (!source) {
            out.Format("RPORT%u " KORVEX_AC_NODE " PORT%u 1\n", port.ID, port.Layer, node, port.ID);
            out.Format(".save PORT%u \n", port.ID);
        } else if (job.Mode == AC_MODE_NOISE_TRANSFER) {
            out.Format("V%03u " KORVEX_AC_NODE " 0 AC=1 ;Voltage Source\n", port.ID, port.Layer, node);
        } else {
            out.Format("I%03u " KORVEX_AC_NODE " 0 AC=-1 ;Current Source\n", port.ID, port.Layer, node);
        }
        break;
    case AC_MODE_CURRENT_DENSITY_AT_F:
    case AC_MODE_VOLTAGE_NOISE_AT_F:
        if (port.ID == 0) out.Format("I%03u " KORVEX_AC_NODE " 0 AC=1 ;Port\n", port.ID, port.Layer, node);
        break;
    default: break;  // 9095 uses the per-node sources
    }
}

void WriteCapacitor(NetlistWriter& out, const Mesh* mesh, const Cap& cap, const AcJob& job)
{
    const uint32_t node = NodeAt(mesh, cap.x, cap.y);
    if (job.Mode == AC_MODE_CAPACITOR_SPARAMETERS && cap.Ref == job.TerminationPort) {
        WriteTermination(out, job.TerminationPort, cap.Layer, node, job.SourcePort);
        SaveAllSParameters(out, job.SourcePort);
        return;
    }
    out.Format("C%u " KORVEX_AC_NODE " 0 %e Rser=%e Lser=%e Cpar=0\n", cap.Ref, cap.Layer, node, cap.Capacitance,
               cap.ESR, cap.ESL);
}

template <class Record>
void WriteDefinition(NetlistWriter& out, const Record& s)
{
    out.Format(".subckt %s %s %s\n", s.Name, s.Port1, s.Port2);
    out.Format("%s\n", s.Netlist);
    out.Format(".ends %s\n", s.Name);
}

}  // namespace

int AcViaLayer(const SimMatrix* board, const Mesh* mesh, uint32_t x, uint32_t y)
{
    if (board == nullptr || board->LayerCount < 2) return -1;
    const int lowest = NetlistLayerCount(board->LayerCount) - 2;
    const int highest = board->LayerCount > 2 ? 1 : 0;  // layer 0 is a reference plane above two layers
    const MeshNode* node = IDToAddress(mesh, NodeAt(mesh, x, y));
    for (int l = lowest; l >= highest; --l)
        if (GetbCopper(node, l) != 0) return l;
    return lowest;
}

int WriteAcPart(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Part* part, const AcJob* job,
                uint64_t viaKey)
{
    if (part == nullptr || part->pRecord == nullptr || job == nullptr) return -1;
    switch (part->Kind) {
    case PART_RESISTOR: WriteResistor(out, mesh, *PartRecord<Resistor>(part)); break;
    case PART_VIA: WriteVia(out, board, mesh, *PartRecord<Via>(part), viaKey); break;
    case PART_PORT: WritePort(out, mesh, *PartRecord<Port>(part), *job); break;
    case PART_CAP: WriteCapacitor(out, mesh, *PartRecord<Cap>(part), *job); break;
    case PART_SUBCIRCUIT: {
        const SubCircuit& s = *PartRecord<SubCircuit>(part);
        out.Format("X%u " KORVEX_AC_NODE " 0 %s\n", s.Reference, s.Layer, NodeAt(mesh, s.x, s.y), s.Name);
        WriteDefinition(out, s);
        break;
    }
    case PART_SERIESSUBCIRCUIT: {
        const SeriesSubCircuit& s = *PartRecord<SeriesSubCircuit>(part);
        out.Format("XS%u " KORVEX_AC_NODE " " KORVEX_AC_NODE " %s\n", s.Reference, s.Net1Z,
                   NodeAt(mesh, s.Net1X, s.Net1Y), s.Net2Z, NodeAt(mesh, s.Net2X, s.Net2Y), s.Name);
        WriteDefinition(out, s);
        break;
    }
    default: break;
    }
    return 0;
}

int CreateSpiceACParts(NetlistWriter* file, const SimMatrix* board, const Mesh* mesh, const Part* part,
                       const AcJob* job)
{
    if (file == nullptr || board == nullptr || part == nullptr) return -1;
    return WriteAcPart(*file, board, mesh, part, job, PartKey(board, part));
}

}  // namespace korvex
