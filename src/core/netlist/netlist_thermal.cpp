#include "netlist/netlist_thermal.h"

#include <algorithm>

#include "board/part_lookup.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "netlist/element_counters.h"
#include "netlist/node_access.h"
#include "netlist/resistance_tables.h"
#include "util/debug_log.h"

namespace korvex {

using korvex::NetlistWriter;

namespace {

struct HeatTotals {
    float via = 0;
    float heatSource = 0;
    float copper = 0;
};

// Footprint of a heat source or sink, whichever corner order it was drawn in.
MeshRect Footprint(uint32_t ax, uint32_t ay, uint32_t bx, uint32_t by)
{
    const auto sx = [](uint32_t v) { return static_cast<int32_t>(v); };
    return MeshRect{std::min(sx(ax), sx(bx)), std::min(sx(ay), sx(by)), std::max(sx(ax), sx(bx)),
                    std::max(sx(ay), sx(by))};
}

// Thermal resistance of a layer of `thickness` and `conductivity` over `area`,
// 1e-6 K/W when any of them (or the coverage) leaves nothing to compute.
double LayerResistance(double thickness, double area, double conductivity, double coverage)
{
    if (area == 0 || conductivity == 0 || thickness == 0 || coverage <= 0) return 1e-6;
    return thickness / (area * conductivity * coverage);
}

void WriteHeatSource(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Settings& settings,
                     const HeatSource& h, uint64_t key, HeatTotals& totals)
{
    const MeshRect footprint = Footprint(h.RectAX, h.RectAY, h.RectBX, h.RectBY);
    for (MeshNode* node = GetFirstNode(mesh); node != nullptr; node = GetNextNode(node)) {
        if (!IsRectInRect(GetRect(node), footprint)) continue;
        const double rs = LayerResistance(h.ThicknessSolder, NodeGetArea(board, node), h.ThermalConductivitySolder,
                                          h.SolderCoverage * 0.01);
        out.Format("RH%1u_%06u " KORVEX_DC_NODE " Solder%u %f\n", h.RectAZ, node->ID, h.RectAZ, node->ID, key, rs);
    }
    out.Format("RHJC%s%u JUNCTION%s Solder%u %f\n", h.Net, out.Counters().JunctionCase++, h.Net, key,
               h.ThermalResistanceJC > 0 ? h.ThermalResistanceJC : 1e-6);
    if (h.Power != 0 && settings.ProcessHeatSourceHeating != 0) {
        out.Format("IH%u NAMB JUNCTION%s %f\n", out.Counters().HeatSourceCurrent++, h.Net, h.Power);
        totals.heatSource += static_cast<float>(h.Power);
    }
    if (h.ThermalResistanceJA > 0)
        out.Format("RHJA%s%u JUNCTION%s NAMB %f\n", h.Net, out.Counters().JunctionAmbient++, h.Net,
                   h.ThermalResistanceJA);
}

void WriteHeatSink(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const HeatSink& h)
{
    const MeshRect footprint = Footprint(h.RectAX, h.RectAY, h.RectBX, h.RectBY);
    for (MeshNode* node = GetFirstNode(mesh); node != nullptr; node = GetNextNode(node)) {
        if (!IsRectInRect(GetRect(node), footprint)) continue;
        const double ri =
            LayerResistance(h.ThicknessIsolation, NodeGetArea(board, node), h.ThermalConductivityIsolation, 1.0);
        out.Format("RHS%1u_%06u " KORVEX_DC_NODE " Heatsink%s %f\n", h.RectAZ, node->ID, h.RectAZ, node->ID, h.Net, ri);
    }
    if (h.ThermalResistance > 0)
        out.Format("RHSAMB%u NAMB Heatsink%s %f\n", out.Counters().SinkAmbient++, h.Net, h.ThermalResistance);
}

// Barrel conduction per layer pair; with via heating, each segment's Joule
// heat I^2 Re split equally between its two end nodes.
void WriteVia(NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Settings& settings, const Via& via,
              HeatTotals& totals)
{
    const uint32_t n = out.Counters().ThermalVia++;
    const uint32_t id = CoordinateToID(mesh, MeshPoint{static_cast<int32_t>(via.x), static_cast<int32_t>(via.y)});
    const float area = ViaBarrelArea(via.Diameter, via.CopperThickness);
    const int layers = NetlistLayerCount(board->LayerCount);
    for (int l = 0; l + 1 < layers; ++l) {
        const float r = board->SizeZ[l] / (board->ThermalConductivityCopper * area);
        out.Format("RV%u_%1u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f \n", n, l, l, id, l + 1, id, r);
    }
    if (settings.ProcessViaHeating == 0 || layers < 2) return;
    float segmentHeat[8] = {};
    for (int l = 0; l + 1 < layers; ++l) {
        const float re = board->SizeZ[l] / (board->ElectricalConductivity * area);
        const float current = static_cast<float>(via.Current[l]);
        segmentHeat[l] = current * current * re;
    }
    for (int l = 0; l < layers; ++l) {
        const float below = l + 1 < layers ? 0.5f * segmentHeat[l] : 0.0f;
        const float above = l > 0 ? 0.5f * segmentHeat[l - 1] : 0.0f;
        const float p = above + below;
        out.Format("IHV%u_%1u NAMB " KORVEX_DC_NODE " %f\n", n, l, l, id, p);
        totals.via += p;
    }
}

int WriteThermalPart(NetlistWriter& out, SimMatrix* board, Mesh* mesh, const Settings& settings, Part* part,
                     uint64_t key, HeatTotals& totals)
{
    if (part == nullptr || part->pRecord == nullptr) return -1;
    switch (part->Kind) {
    case PART_HEATSOURCE:
        WriteHeatSource(out, board, mesh, settings, *PartRecord<HeatSource>(part), key, totals);
        break;
    case PART_HEATSINK: WriteHeatSink(out, board, mesh, *PartRecord<HeatSink>(part)); break;
    case PART_VIA: WriteVia(out, board, mesh, settings, *PartRecord<Via>(part), totals); break;
    default: break;
    }
    return 0;
}

void WriteLateral(NetlistWriter& out, SimMatrix* board, Mesh* mesh, MeshNode* node, int layer)
{
    const auto to = [&](uint32_t id, int direction) {
        CreateSpiceThermalResistorMesh(&out, board, mesh, node, IDToAddress(mesh, id), layer, direction);
    };
    to(node->IDRightT, 0);
    if (node->IDRightB != node->IDRightT) to(node->IDRightB, 1);
    to(node->IDBotL, 2);
    if (node->IDBotR != node->IDBotL) to(node->IDBotR, 3);
}

// Convection and radiation of the outer surfaces. A one-layer board has one
// node per mesh node facing both surfaces: one resistor for both faces.
void WriteSurfaces(NetlistWriter& out, const SimMatrix* board, const MeshNode* node, float area, int layers)
{
    const auto surface = [&](int l) {
        return SurfaceToAmbientResistance(board->Alpha, board->Epsilon, area, node->Temperature[l], board->TAmbient);
    };
    if (layers == 1) {
        out.Format("RR%1u_%06u " KORVEX_DC_NODE " NAMB %f\n", 0, node->ID, 0, node->ID, surface(0) / 2);
        return;
    }
    for (int l : {0, layers - 1})
        out.Format("RR%1u_%06u " KORVEX_DC_NODE " NAMB %f\n", l, node->ID, l, node->ID, surface(l));
}

void WriteCopperHeating(NetlistWriter& out, const SimMatrix* board, const MeshNode* node, int layers,
                        HeatTotals& totals)
{
    const float widthOverHeight = static_cast<float>(node->OrderX) / static_cast<float>(node->OrderY);
    const float heightOverWidth = static_cast<float>(node->OrderY) / static_cast<float>(node->OrderX);
    for (int l = 0; l < layers; ++l) {
        const double k = 1 + board->TemperatureCoefficient * (node->Temperature[l] - 20);
        const float rx = static_cast<float>(board->RdcX[l] * k * widthOverHeight);
        const float ry = static_cast<float>(board->RdcY[l] * k * heightOverWidth);
        const float ix = static_cast<float>(ResultsOf(node).CurrentX[l]);
        const float iy = static_cast<float>(ResultsOf(node).CurrentY[l]);
        const float p = rx * ix * ix + ry * iy * iy;
        if (!(p > 0)) continue;
        out.Format("IIR%1u_%06u NAMB " KORVEX_DC_NODE " %f\n", l, node->ID, l, node->ID, p);
        totals.copper += p;
    }
}

const Settings& SettingsOrGlobal(const Settings* settings)
{
    return settings != nullptr ? *settings : gSettings;
}

}  // namespace

int CreateSpiceThermalElementMesh(NetlistWriter* file, SimMatrix* board, Mesh* mesh, Part* part, float* viaPower,
                                  float* heatSourcePower, const Settings* settings)
{
    if (file == nullptr || board == nullptr || part == nullptr) return -1;
    HeatTotals totals;
    const int result =
        WriteThermalPart(*file, board, mesh, SettingsOrGlobal(settings), part, PartKey(board, part), totals);
    if (viaPower != nullptr) *viaPower += totals.via;
    if (heatSourcePower != nullptr) *heatSourcePower += totals.heatSource;
    return result;
}

int CreateSpiceThermalResistorMesh(NetlistWriter* file, SimMatrix* board, Mesh* /*mesh*/, MeshNode* nodeA,
                                   MeshNode* nodeB, int layer, int direction)
{
    if (file == nullptr || board == nullptr || nodeA == nullptr || nodeB == nullptr || layer < 0 || layer >= 8)
        return -1;
    const bool horizontal = direction == 0 || direction == 1;
    const bool copper = GetbCopper(nodeA, layer) != 0 && GetbCopper(nodeB, layer) != 0;
    float perPixel = copper ? board->RthLayer[layer] : board->RthDielectric[layer];
    if (!horizontal) perPixel *= ThermalAlongYFactor(board);
    const float r0 =
        BranchBaseResistance(perPixel, horizontal, nodeA->OrderX, nodeA->OrderY, nodeB->OrderX, nodeB->OrderY);
    file->Format("RT%1u_%06u_%1u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n", layer, nodeA->ID, direction, layer,
                 nodeA->ID, layer, nodeB->ID, r0);
    return 0;
}

void WriteSpiceThermalMesh(NetlistWriter& out, SimMatrix* board, Mesh* mesh, const Settings* settingsOrNull)
{
    const Settings& settings = SettingsOrGlobal(settingsOrNull);
    HeatTotals totals;
    out.Text("* SPICE generated by KORVEX\n");
    uint64_t key = 1;
    for (Part* part = GetFirstPart(board); part != nullptr; part = GetNextPart(part), ++key)
        WriteThermalPart(out, board, mesh, settings, part, key, totals);
    ComputeThermalResistances(board);
    const int layers = NetlistLayerCount(board->LayerCount);
    const float dx = Getsx(board);
    const float dy = Getsy(board);
    BelowNodePrefetch prefetch(mesh);
    for (MeshNode* node = GetFirstNode(mesh); node != nullptr; node = GetNextNode(node)) {
        prefetch.Advance();
        for (int l = 0; l < layers; ++l) WriteLateral(out, board, mesh, node, l);
        const float area = static_cast<float>(node->OrderX) * dx * static_cast<float>(node->OrderY) * dy;
        for (int l = 0; l + 1 < layers; ++l)
            out.Format("RTZ%1u_%06u_%1u_%06u " KORVEX_DC_NODE " " KORVEX_DC_NODE " %f\n", l, node->ID, l + 1, node->ID,
                       l, node->ID, l + 1, node->ID, board->SizeZ[l] / (board->ThermalConductivityFR4Z * area));
        if (layers > 0) WriteSurfaces(out, board, node, area, layers);
        if (settings.ProcessCopperHeating != 0) WriteCopperHeating(out, board, node, layers, totals);
    }
    printDebug("Ptot = %e W PtotVia = %e W PtotHeatSource = %e W PtotCopper = %e W\r\n",
               static_cast<double>(totals.via + totals.heatSource + totals.copper), static_cast<double>(totals.via),
               static_cast<double>(totals.heatSource), static_cast<double>(totals.copper));
    out.Format("V%u %s %s %f\n", out.Counters().VoltageSource++, "NAMB", "0", board->TAmbient);
    out.Text(".options numdgt 16\n");
    out.Text(".options noopiter\n.options gminsteps=0\n.options srcsteps=0\n");
    out.Text(".op\n");
    out.Text(".end\n");
}

Status WriteThermalNetlist(const char* path, SimMatrix* board, Mesh* mesh, const Settings* settings,
                           ElementCounters* counters)
{
    if (board == nullptr || mesh == nullptr) return Status::Refused("no board or mesh to write a netlist of");
    return WriteNetlistFile(
        path, [&](NetlistWriter& out) { WriteSpiceThermalMesh(out, board, mesh, settings); }, counters);
}

int CreateSpiceThermalMesh(const char* path, SimMatrix* board, Mesh* mesh, const Settings* settings)
{
    return WriteThermalNetlist(path, board, mesh, settings).Code();
}

}  // namespace korvex
