// Thermal netlists of small boards. Copper 1 mm thick with 1000 W/(m K) gives
// exactly 1 K/W per square pixel of 1 mm; the board material conducts 0.5 W/(m K).
#include <gtest/gtest.h>

#include <cmath>

#include "board/settings.h"
#include "mesh/mesh_node_results.h"
#include "netlist/netlist_thermal.h"
#include "netlist_test_board.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace netlist_test;

namespace {

void SimpleMaterials(TestBoard& b)
{
    b.board.ThermalConductivityCopper = 1000.0f;
    b.board.ThermalConductivityFR4XY = b.board.ThermalConductivityFR4Z = 0.5f;
    for (float& t : b.board.CopperThickness) t = 1e-3f;
    for (float& z : b.board.SizeZ) z = 2e-3f;
}

Settings Heating(bool copper, bool via, bool heatSource)
{
    Settings s;
    s.ProcessCopperHeating = copper, s.ProcessViaHeating = via, s.ProcessHeatSourceHeating = heatSource;
    return s;
}

std::string Thermal(TestBoard& b, const Settings& settings)
{
    return Written([&](korvex::NetlistWriter& out) { WriteSpiceThermalMesh(out, &b.board, &b.mesh, &settings); });
}

const Settings kNoHeating = Heating(false, false, false);

double Relative(double value, double expected)
{
    return std::fabs(value - expected) / std::fabs(expected);
}

}  // namespace

class ThermalNetlist : public FreshCounters {};

TEST_F(ThermalNetlist, LayerTablesFollowTheMaterialAroundEachLayer)
{
    TestBoard b(4, 2, 2);
    SimpleMaterials(b);
    b.board.SizeZ[0] = 1e-3f, b.board.SizeZ[1] = 2e-3f, b.board.SizeZ[2] = 4e-3f;
    b.UniformMesh({0, 1, 2, 3});
    Thermal(b, kNoHeating);
    // h = 0.5, 1.5, 3 and 2 mm of material: 1 / (0.5 h) per pixel.
    const double expected[4] = {4000.0, 1333.3333, 666.66667, 1000.0};
    for (int l = 0; l < 4; ++l) {
        EXPECT_LT(Relative(b.board.RthDielectric[l], expected[l]), 1e-6) << l;
        EXPECT_FLOAT_EQ(b.board.RthCopper[l], 1.0f);
        EXPECT_LT(Relative(b.board.RthLayer[l], expected[l] / (1 + expected[l])), 1e-6) << l;
    }
}

TEST_F(ThermalNetlist, LateralResistorsInCopperAndInBoardMaterial)
{
    TestBoard b(2, 3, 1);
    SimpleMaterials(b);
    b.Node(0, 0, 1, 1, {0, 1});
    b.Node(1, 0, 1, 1, {0});
    b.Node(2, 0, 1, 1, {0, 1});
    b.Link();
    // Copper in parallel with 1 mm of material on each side: 1 * 2000 / 2001; material only: 2000;
    // through the board 2 mm / (0.5 W/(m K) * 1 mm^2).
    ExpectValueLines(LinesStarting(Thermal(b, kNoHeating), "RT"),
                     {{"RT0_000001_0 N0_000001 N0_000002", 2000.0 / 2001},
                      {"RT1_000001_0 N1_000001 N1_000002", 2000},
                      {"RTZ0_000001_1_000001 N0_000001 N1_000001", 4000},
                      {"RT0_000002_0 N0_000002 N0_000003", 2000.0 / 2001},
                      {"RT1_000002_0 N1_000002 N1_000003", 2000},
                      {"RTZ0_000002_1_000002 N0_000002 N1_000002", 4000},
                      {"RTZ0_000003_1_000003 N0_000003 N1_000003", 4000}});
}

TEST_F(ThermalNetlist, NonSquarePixelsUseTheYValuesAlongY)
{
    const auto branches = [](float pitchX, float pitchY) {
        TestBoard b(2, 2, 2, pitchX, pitchY);
        SimpleMaterials(b);
        b.UniformMesh({0, 1});
        return LinesStarting(Thermal(b, kNoHeating), "RT0_000001_");
    };
    // dx = 2 dy: along x copper 2 K/W in parallel with 4000 K/W of material, along y a quarter of that.
    const double alongX = 2.0 * 4000 / 4002;
    ExpectValueLines(branches(2e-3f, 1e-3f),
                     {{"RT0_000001_0 N0_000001 N0_000002", alongX}, {"RT0_000001_2 N0_000001 N0_000003", alongX / 4}});
    // Square pixels: both directions take the x table, as they always did.
    EXPECT_EQ(branches(1e-3f, 1e-3f), (std::vector<std::string>{"RT0_000001_0 N0_000001 N0_000002 0.999500",
                                                                 "RT0_000001_2 N0_000001 N0_000003 0.999500"}));
}

TEST_F(ThermalNetlist, SurfacesRadiateFiniteAtAmbientTemperatureOnEveryLayerCount)
{
    TestBoard b(2, 1, 1);
    SimpleMaterials(b);
    b.UniformMesh({0, 1}, 25.0);  // the ambient temperature of a new board
    const auto lines = LinesStarting(Thermal(b, kNoHeating), "RR");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 26), "RR0_000001 N0_000001 NAMB ");
    EXPECT_EQ(lines[1].substr(0, 26), "RR1_000001 N1_000001 NAMB ");
    // Convection 1 / (5 W/(m^2 K) * 1 mm^2) in parallel with radiation linearised over 0.1 K.
    const double area = 1e-6;
    const double rc = 1 / (5.0 * area);
    const double rr = 0.1 / (0.95 * 5.67e-8 * area * (std::pow(298.25, 4) - std::pow(298.15, 4)));
    EXPECT_LT(Relative(Field(lines[0], 3), rc * rr / (rc + rr)), 1e-6);
    EXPECT_EQ(Field(lines[0], 3), Field(lines[1], 3));

    b.board.Epsilon = 0;  // no radiation: convection alone, never "nan"
    ExpectValueLines(LinesStarting(Thermal(b, kNoHeating), "RR0"),
                     {{"RR0_000001 N0_000001 NAMB", 200000}});

    // One layer: one surface resistor for both faces, no through-board resistor.
    TestBoard one(1, 2, 1);
    SimpleMaterials(one);
    one.board.Epsilon = 0;
    one.UniformMesh({0});
    const std::string text = Thermal(one, kNoHeating);
    ExpectValueLines(LinesStarting(text, "RR"),
                     {{"RR0_000001 N0_000001 NAMB", 100000}, {"RR0_000002 N0_000002 NAMB", 100000}});
    EXPECT_TRUE(LinesStarting(text, "RTZ").empty());
    // The whole board thickness is the material beside the copper: 1 / (0.5 * 2 mm).
    EXPECT_FLOAT_EQ(one.board.RthDielectric[0], 1000.0f);
}

TEST_F(ThermalNetlist, HeatSourceAndSinkLines)
{
    TestBoard b(2, 2, 2);
    SimpleMaterials(b);
    b.UniformMesh({0, 1});
    HeatSource source;  // 1 W, J-C 5 K/W, solder 100 um at 40 W/(m K), 90 % coverage
    source.RectAX = 1, source.RectAY = 1, source.RectBX = 0, source.RectBY = 0;  // drawn bottom-right to top-left
    source.ThermalResistanceJA = 40.0;
    b.Add(PART_HEATSOURCE, source);
    HeatSource bare = source;  // no J-C resistance, no power, no J-A path
    CopyName(bare.Net, "U7");
    bare.RectAX = 1, bare.RectAY = 0, bare.RectBX = 1, bare.RectBY = 0;
    bare.ThermalResistanceJC = 0, bare.Power = 0, bare.ThermalResistanceJA = 0, bare.ThermalConductivitySolder = 0;
    b.Add(PART_HEATSOURCE, bare);
    HeatSink sink;
    sink.RectAX = 0, sink.RectAY = 1, sink.RectBX = 0, sink.RectBY = 1, sink.RectAZ = 1;
    CopyName(sink.Net, "HS");
    b.Add(PART_HEATSINK, sink);
    DebugCapture log;
    const std::string text = Thermal(b, Heating(false, false, true));
    const auto head = Lines(text);
    // Rs = 100 um / (1 mm^2 * 40 W/(m K) * 0.9) = 2.777778 K/W per node of the footprint.
    ExpectValueLines(std::vector<std::string>(head.begin() + 1, head.begin() + 12),
                     {{"RH0_000001 N0_000001 Solder1", 1e-4 / 3.6e-5},
                      {"RH0_000002 N0_000002 Solder1", 1e-4 / 3.6e-5},
                      {"RH0_000003 N0_000003 Solder1", 1e-4 / 3.6e-5},
                      {"RH0_000004 N0_000004 Solder1", 1e-4 / 3.6e-5},
                      {"RHJCIC1001 JUNCTIONIC100 Solder1", 5},
                      {"IH1 NAMB JUNCTIONIC100", 1},
                      {"RHJAIC1001 JUNCTIONIC100 NAMB", 40},
                      {"RH0_000002 N0_000002 Solder2", 1e-6},
                      {"RHJCU72 JUNCTIONU7 Solder2", 1e-6},
                      {"RHS1_000003 N1_000003 HeatsinkHS", 3e-5 / (1e-6 * 0.46)},  // 30 um of 0.46 W/(m K)
                      {"RHSAMB1 NAMB HeatsinkHS", 20}});
    EXPECT_EQ(head[9], "RHJCU72 JUNCTIONU7 Solder2 0.000001");
    EXPECT_TRUE(log.Contains("Ptot = 1.000000e+00 W PtotVia = 0.000000e+00 W PtotHeatSource = 1.000000e+00 W "
                             "PtotCopper = 0.000000e+00 W\r\n"));
    EXPECT_TRUE(LinesStarting(Thermal(b, kNoHeating), "IH").empty());  // heat sources off: no power injected
}

TEST_F(ThermalNetlist, ViaBarrelsAndTheirJouleHeat)
{
    TestBoard b(3, 1, 1);
    SimpleMaterials(b);
    b.board.ElectricalConductivity = 1000.0f;
    b.board.SizeZ[1] = 4e-3f;
    b.UniformMesh({0, 1, 2});
    Via via;
    via.Current[0] = 1.0f, via.Current[1] = 2.0f;
    b.Add(PART_VIA, via);
    b.Add(PART_VIA, Via{});
    DebugCapture log;
    const std::string text = Thermal(b, Heating(false, true, false));
    const double area = 3.1415 * (std::pow(0.25e-3 + 7e-5, 2) - std::pow(0.25e-3, 2)) / 4;
    const auto rv = LinesStarting(text, "RV");
    ASSERT_EQ(rv.size(), 4u);
    EXPECT_EQ(rv[0].substr(0, 26), "RV1_0 N0_000001 N1_000001 ");
    EXPECT_EQ(rv[1].substr(0, 26), "RV1_1 N1_000001 N2_000001 ");
    EXPECT_EQ(rv[2].substr(0, 6), "RV2_0 ");  // the via counter advances per via
    EXPECT_LT(Relative(Field(rv[1], 3), 4e-3 / (1000.0 * area)), 1e-6);
    // Each segment's I^2 Re split half and half between its end nodes.
    const double re0 = 2e-3 / (1000.0 * area), re1 = 4e-3 / (1000.0 * area);
    const double expected[3] = {0.5 * re0, 0.5 * re0 + 0.5 * 4 * re1, 0.5 * 4 * re1};
    const auto ihv = LinesStarting(text, "IHV1_");
    ASSERT_EQ(ihv.size(), 3u);
    for (int l = 0; l < 3; ++l) {
        EXPECT_EQ(ihv[l].substr(0, 22), "IHV1_" + std::to_string(l) + " NAMB N" + std::to_string(l) + "_000001 ");
        EXPECT_LT(Relative(Field(ihv[l], 3), expected[l]), 1e-6);
    }
    EXPECT_EQ(LinesStarting(text, "IHV2_").size(), 3u);  // a via without current injects 0 W
    EXPECT_TRUE(log.Contains("PtotVia = "));
    EXPECT_TRUE(LinesStarting(Thermal(b, kNoHeating), "IHV").empty());  // via heating off
}

TEST_F(ThermalNetlist, CopperHeatingFromTheLastElectricalResult)
{
    TestBoard b(2, 1, 1);
    SimpleMaterials(b);
    b.UniformMesh({0, 1});
    b.board.RdcX[0] = 2.0f, b.board.RdcY[0] = 3.0f;  // as left by the last DC netlist
    MeshNode* node = b.At(0, 0);
    NodeResults(&b.mesh, node)->CurrentX[0] = 0.5, NodeResults(&b.mesh, node)->CurrentY[0] = 0.25;
    // P = 2 * 0.5^2 + 3 * 0.25^2 at 20 degC; layer 1 carries no current.
    EXPECT_EQ(LinesStarting(Thermal(b, Heating(true, false, false)), "IIR"),
              std::vector<std::string>{"IIR0_000001 NAMB N0_000001 0.687500"});
    node->Temperature[0] = 120.0;  // the resistance follows the temperature coefficient
    EXPECT_EQ(LinesStarting(Thermal(b, Heating(true, false, false)), "IIR"),
              std::vector<std::string>{"IIR0_000001 NAMB N0_000001 0.955625"});
    EXPECT_TRUE(LinesStarting(Thermal(b, kNoHeating), "IIR").empty());
}

TEST_F(ThermalNetlist, SmallBoardMatchesGoldenFile)
{
    TestBoard b(2, 4, 2);
    SimpleMaterials(b);
    b.board.ElectricalConductivity = 1000.0f;
    b.Node(0, 0, 2, 2, {0, 1}, 60.0);
    b.Node(2, 0, 1, 1, {0, 1}, 40.0);
    b.Node(3, 0, 1, 1, {0}, 30.0);
    b.Node(2, 1, 1, 1, {0, 1}, 25.0);
    b.Node(3, 1, 1, 1, {1}, 25.0);
    b.Link();
    b.board.RdcX[0] = b.board.RdcY[0] = 1.0f;
    NodeResults(&b.mesh, b.At(2, 0))->CurrentX[0] = 0.75;
    HeatSource source;
    source.RectBX = 1, source.RectBY = 1;
    b.Add(PART_HEATSOURCE, source);
    HeatSink sink;
    sink.RectAX = 3, sink.RectAY = 1, sink.RectBX = 3, sink.RectBY = 1, sink.RectAZ = 1;
    b.Add(PART_HEATSINK, sink);
    Via via;
    via.x = 2, via.y = 1, via.Current[0] = 0.5f;
    b.Add(PART_VIA, via);
    ExpectGolden("thermal_small.cir", Thermal(b, Heating(true, true, true)));
}
