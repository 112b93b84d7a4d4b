// The plane transmission-line model: plane pairs, the three branch forms,
// stubs at board and copper edges, and the stray correction of 2-layer boards.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "board/settings.h"
#include "netlist/ac_job.h"
#include "netlist/plane_formulas.h"
#include "netlist/plane_model.h"
#include "netlist_test_board.h"

using namespace netlist_test;
using korvex::NetlistWriter;

namespace {

// Replaces every "%e" number by '#', so the structure of lines can be compared
// exactly while the values are checked on their own.
std::string MaskExponents(const std::string& text)
{
    static const std::regex number(R"([-+]?\d\.\d{6}e[-+]\d{2,3})");
    return std::regex_replace(text, number, "#");
}

struct Branch {
    std::string text;
    int result;
};

Branch WriteBranch(TestBoard& b, const MeshNode* node, const MeshNode* neighbour, int layer, int direction,
                   uint32_t mode = AC_MODE_ZIN_OF_PORTS, bool stray = false)
{
    Settings settings;
    settings.ComputeStrayCapacitance = stray ? 1 : 0;
    AcJob job;
    job.Mode = mode;
    Branch branch;
    NetlistWriter out;
    out.OpenMemory(&branch.text);
    branch.result =
        CreateSpiceTLINEMatrix(&out, &b.board, &b.mesh, &settings, node, neighbour, layer, direction, &job);
    out.Close();
    return branch;
}

// The value after "key=" in a line.
double Value(const std::string& line, const std::string& key)
{
    const size_t at = line.find(key + "=");
    return at == std::string::npos ? NAN : std::strtod(line.c_str() + at + key.size() + 1, nullptr);
}

}  // namespace

struct DistanceCase {
    int layers;
    std::vector<int> copper;
    int layer;
    int upper, lower;
    double distance;  // in units of 0.1 mm; SizeZ = 0.1, 0.2, 0.4 mm
    int hasDielectric;
};

class PlaneDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(PlaneDistance, FindsThePlanePairBelowTheLayer)
{
    const DistanceCase& c = GetParam();
    TestBoard b(c.layers, 1, 1);
    b.board.SizeZ[0] = 1e-4f, b.board.SizeZ[1] = 2e-4f, b.board.SizeZ[2] = 4e-4f;
    MeshNode* node = b.Node(0, 0, 1, 1, {});
    for (int l : c.copper) node->bCopper[l] = 1;
    const LayerPair pair = GetDistance(&b.board, node, c.layer);
    EXPECT_EQ(pair.UpperLayer, c.upper);
    EXPECT_EQ(pair.LowerLayer, c.lower);
    EXPECT_EQ(pair.HasDielectric, c.hasDielectric);
    if (c.lower >= 0) {
        EXPECT_NEAR(pair.Distance, c.distance * 1e-4, 1e-10);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaneDistance,
    ::testing::Values(DistanceCase{2, {0, 1}, 0, 0, 1, 1, 1}, DistanceCase{2, {0}, 0, 0, -1, 0, 0},
                      DistanceCase{2, {1}, 0, -1, -1, 0, 0}, DistanceCase{4, {0, 1, 2, 3}, 0, 0, 1, 1, 1},
                      DistanceCase{4, {0, 1, 2, 3}, 1, 1, 2, 2, 1}, DistanceCase{4, {0, 1, 2, 3}, 2, 2, 3, 4, 1},
                      // the two outer reference planes facing each other carry nothing
                      DistanceCase{4, {0, 3}, 0, 0, 3, 7, 0}, DistanceCase{4, {0, 2, 3}, 0, 0, 2, 3, 1},
                      DistanceCase{4, {0, 1, 3}, 1, 1, 3, 6, 1}, DistanceCase{4, {0, 1}, 1, 1, -1, 0, 0},
                      DistanceCase{1, {0}, 0, 0, -1, 0, 0}));

TEST(PlaneModel, FourLayerInteriorBranchesTakeFormsG0MAndGL)
{
    TestBoard b(4, 2, 1);
    b.board.SizeZ[0] = 1e-4f, b.board.SizeZ[1] = 2e-4f, b.board.SizeZ[2] = 4e-4f;
    b.UniformMesh({0, 1, 2, 3});
    const MeshNode* a = b.NodeAtPixel(0, 0);
    const MeshNode* n = b.NodeAtPixel(1, 0);
    EXPECT_EQ(MaskExponents(WriteBranch(b, a, n, 0, 0).text),
              "*flength=0.001000 *fwidth=0.001000\n"
              "R_L0_N000001_P0 N_L1_N000001 N_L0_N000001_R_P0 {1.000000*hypot(RDC0+RDC1,2*RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L01_N000001_P0 N_L0_N000001_R_P0 0 N_L1_N000002 0 Td=# Z0=#\n");
    EXPECT_EQ(MaskExponents(WriteBranch(b, a, n, 1, 0).text),
              "*flength=0.001000 *fwidth=0.001000\n"
              "R_L1_N000001_P0 N_L1_N000001 N_L1_N000001_R_P0 {1.000000*hypot(RDC1,RAC)}\n"
              "R_L2_N000001_P0 N_L2_N000001 N_L2_N000001_R_P0 {1.000000*hypot(RDC2,RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L12_N000001_P0 N_L1_N000001_R_P0 N_L2_N000001_R_P0 N_L1_N000002 N_L2_N000002 Td=# Z0=#\n");
    EXPECT_EQ(MaskExponents(WriteBranch(b, a, n, 2, 0).text),
              "*flength=0.001000 *fwidth=0.001000\n"
              "R_L3_N000001_P0 N_L2_N000001 N_L3_N000001_R_P0 {1.000000*hypot(RDC2+RDC3,2*RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L23_N000001_P0 N_L3_N000001_R_P0 0 N_L2_N000002 0 Td=# Z0=#\n");
    EXPECT_EQ(WriteBranch(b, a, n, 3, 0).result, -1);  // no pair below the last layer
}

TEST(PlaneModel, CurrentDensityModeSavesTheBranchCurrents)
{
    TestBoard b(4, 2, 1);
    b.UniformMesh({0, 1, 2, 3});
    const MeshNode* a = b.NodeAtPixel(0, 0);
    const MeshNode* n = b.NodeAtPixel(1, 0);
    const auto saves = [&](int layer) {
        return LinesStarting(WriteBranch(b, a, n, layer, 0, AC_MODE_CURRENT_DENSITY_AT_F).text, ".save");
    };
    EXPECT_EQ(saves(0), std::vector<std::string>{".save I(R_L0_N000001_P0)"});
    EXPECT_EQ(saves(1), (std::vector<std::string>{".save I(R_L1_N000001_P0)", ".save I(R_L2_N000001_P0)"}));
    EXPECT_EQ(saves(2), std::vector<std::string>{".save I(R_L3_N000001_P0)"});
    EXPECT_TRUE(LinesStarting(WriteBranch(b, a, n, 0, 0, AC_MODE_Z_AT_F).text, ".save").empty());
}

TEST(PlaneModel, ParallelPlateLineValues)
{
    // Two 1 mm squares over 0.1 mm of er 4.1: a 1 mm long, 1 mm wide line.
    TestBoard b(2, 2, 1);
    b.UniformMesh({0, 1});
    const auto lines = Lines(WriteBranch(b, b.NodeAtPixel(0, 0), b.NodeAtPixel(1, 0), 0, 0).text);
    ASSERT_EQ(lines.size(), 4u);
    const double c = 1e-3 * 4.1 * 8.852e-12 * 1e-3 / 1e-4 / 2;
    const double l = 1e-3 * 1e-4 * 1.2566e-06 / 1e-3;
    EXPECT_NEAR(Value(lines[2], "d"), 1e-4, 1e-10);
    EXPECT_NEAR(Value(lines[2], "C") / c, 1, 1e-6);
    EXPECT_NEAR(Value(lines[2], "L") / l, 1, 1e-6);
    EXPECT_NEAR(Value(lines[3], "Td") / std::sqrt(l * c), 1, 1e-6);
    EXPECT_NEAR(Value(lines[3], "Z0") / std::sqrt(l / c), 1, 1e-6);
    EXPECT_EQ(lines[3].substr(0, 50), "T_L01_N000001_P0 N_L1_N000001_R_P0 0 N_L0_N000002 ");
}

TEST(PlaneModel, BoardEdgeStubsHaveHalfTheNodeLength)
{
    TestBoard b(2, 1, 1);
    MeshNode* node = b.Node(0, 0, 1, 1, {0, 1});
    b.Link();
    // A 4-wide, 2-high node would give 2 mm along x; this 1x1 node gives 0.5 mm.
    EXPECT_EQ(MaskExponents(WriteBranch(b, node, nullptr, 0, 4).text),
              "*PCB Edge RB flength=0.000500 *fwidth=0.001000\n"
              "R_L1_N000001_P4 N_L0_N000001 N_L1_N000001_R_P4 {0.500000*hypot(RDC0+RDC1,2*RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L01_N000001_P4 N_L1_N000001_R_P4 0 N_L0_N000001_OPEN_P4 0 Td=# Z0=#\n");
    TestBoard wide(2, 4, 2);
    MeshNode* big = wide.Node(0, 0, 4, 2, {0, 1});
    wide.Link();
    EXPECT_EQ(Lines(WriteBranch(wide, big, nullptr, 0, 0).text)[0], "*PCB Edge RB flength=0.002000 *fwidth=0.002000");
    EXPECT_EQ(Lines(WriteBranch(wide, big, nullptr, 0, 6).text)[0], "*PCB Edge RB flength=0.001000 *fwidth=0.004000");
}

TEST(PlaneModel, CopperEdgeStubsForTheNodeOrForTheNeighbour)
{
    TestBoard b(2, 3, 1);
    b.Node(0, 0, 1, 1, {0, 1});
    b.Node(1, 0, 2, 1, {0});  // no plane below: no dielectric
    b.Link();
    const MeshNode* a = b.NodeAtPixel(0, 0);
    const MeshNode* n = b.NodeAtPixel(1, 0);
    // The node has the dielectric: a stub of half its own length, width the smaller height.
    EXPECT_EQ(MaskExponents(WriteBranch(b, a, n, 0, 0).text),
              "*Copper Edge RB flength=0.000500 *fwidth=0.001000\n"
              "R_L1_N000001_P0 N_L0_N000001 N_L1_N000001_R_P0 {0.500000*hypot(RDC0+RDC1,2*RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L01_N000001_P0 N_L1_N000001_R_P0 0 N_L0_N000001_OPEN_P0 0 Td=# Z0=#\n");

    TestBoard c(2, 3, 1);
    c.Node(0, 0, 1, 1, {0});
    c.Node(1, 0, 2, 1, {0, 1});
    c.Link();
    // Only the neighbour has it: the stub is written for the neighbour, with its
    // length and the direction in which it sees the node (its last matching slot, 5).
    EXPECT_EQ(MaskExponents(WriteBranch(c, c.NodeAtPixel(0, 0), c.NodeAtPixel(1, 0), 0, 0).text),
              "*Copper Edge TL flength=0.001000 *fwidth=0.001000\n"
              "R_L1_N000002_P5 N_L0_N000002 N_L1_N000002_R_P5 {1.000000*hypot(RDC0+RDC1,2*RAC)}\n"
              "*TLine d=# C=# L=# Td=# Z0=#\n"
              "T_L01_N000002_P5 N_L1_N000002_R_P5 0 N_L0_N000002_OPEN_P5 0 Td=# Z0=#\n");

    TestBoard none(2, 2, 1);
    none.UniformMesh({0});
    EXPECT_EQ(WriteBranch(none, none.NodeAtPixel(0, 0), none.NodeAtPixel(1, 0), 0, 0).result, -1);
    EXPECT_EQ(WriteBranch(none, nullptr, nullptr, 0, 0).result, -1);
}

TEST(PlaneModel, DifferentPairsOnBothSidesGiveOnlyTheNodesStub)
{
    TestBoard b(4, 2, 1);
    b.Node(0, 0, 1, 1, {0, 1, 2, 3});
    b.Node(1, 0, 1, 1, {0, 2, 3});
    b.Link();
    const auto lines = Lines(WriteBranch(b, b.NodeAtPixel(0, 0), b.NodeAtPixel(1, 0), 0, 0).text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "*Copper Edge RB flength=0.000500 *fwidth=0.001000");
    EXPECT_EQ(lines[3].substr(0, 60), "T_L01_N000001_P0 N_L0_N000001_R_P0 0 N_L1_N000001_OPEN_P0 0 ");
}

TEST(PlaneModel, StrayCorrectionOfAnOpenStrip)
{
    // A one pixel wide strip on layer 0 (row 1) over a full plane: both sides open.
    TestBoard b(2, 4, 3);
    b.Copper(0, 0, 1, 3, 1);
    b.FillCopper(1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) b.Node(x, y, 1, 1, y == 1 ? std::initializer_list<int>{0, 1} : std::initializer_list<int>{1});
    b.Link();
    const MeshNode* a = b.NodeAtPixel(1, 1);
    const MeshNode* n = b.NodeAtPixel(2, 1);
    const ConnectionRect rect = GetRectofConnection(&b.board, &b.mesh, a, n);
    EXPECT_EQ(std::vector<int>({rect.left, rect.top, rect.right, rect.bottom}), std::vector<int>({1, 1, 2, 1}));
    EXPECT_EQ(IsCopperEdgeHoz(&b.board, rect, 0), 3);
    EXPECT_EQ(GetMicrostripWidthHoz(&b.board, rect, 3, 0), 1);

    const auto lines = Lines(WriteBranch(b, a, n, 0, 0, AC_MODE_ZIN_OF_PORTS, true).text);
    ASSERT_EQ(lines.size(), 5u);
    // w = 1 mm over h = 0.1 mm of er 4.1: u = 10.
    const double w = 1e-3, h = 1e-4, er = 4.1, u = w / h;
    const double cParallel = w * er * 8.852e-12 / h;
    const double cMicrostrip = er * (u + 1.393 + 0.667 * std::log(u + 1.444)) / 113019127967.73184;
    const double lParallel = h * 1.2566371e-06 / w;
    const double lMicrostrip = 1.2575066356578522e-06 / (u + 1.393 + 0.667 * std::log(u + 1.444));
    EXPECT_EQ(MaskExponents(lines[0]), "*ID6-ID7 w # fCParallel # fCMicrostrip # fLParallel # fLMicrostrip # ");
    std::istringstream comment(lines[0]);
    std::string skip;
    double values[5];
    comment >> skip >> skip >> values[0] >> skip >> values[1] >> skip >> values[2] >> skip >> values[3] >> skip >>
        values[4];
    const double expected[5] = {w, cParallel, cMicrostrip, lParallel, lMicrostrip};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(values[i] / expected[i], 1, 1e-6) << i;
    // The fringing adds capacitance and inductance in parallel along the 1 mm branch.
    const double c = 1e-3 * er * 8.852e-12 * 1e-3 / h / 2, lv = 1e-3 * h * 1.2566e-06 / 1e-3;
    const double cs = (cMicrostrip - cParallel) * 1e-3;
    const double ls = lParallel * lMicrostrip / (lParallel - lMicrostrip) * 1e-3;
    const double l = lv * ls / (lv + ls);
    EXPECT_NEAR(Value(lines[3], "C") / c, 1, 1e-6);  // the comment keeps the plate values
    EXPECT_NEAR(Value(lines[4], "Td") / std::sqrt(l * (c + cs)), 1, 1e-6);
    EXPECT_NEAR(Value(lines[4], "Z0") / std::sqrt(l / (c + cs)), 1, 1e-6);

    // Inside full planes there is no open edge: no comment, plate values unchanged.
    // (The board's outline is an open edge: the middle row is away from it.)
    TestBoard full(2, 2, 3);
    full.FillCopper(0);
    full.FillCopper(1);
    full.UniformMesh({0, 1});
    const auto plain = Lines(WriteBranch(full, full.NodeAtPixel(0, 1), full.NodeAtPixel(1, 1), 0, 0,
                                         AC_MODE_ZIN_OF_PORTS, true).text);
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_NEAR(Value(plain[3], "Td") / std::sqrt(lv * c), 1, 1e-6);
}

TEST(PlaneModel, MicrostripWidthFromOneOpenSide)
{
    // Layer 0 copper in rows 0 ... 2 of 5; the strip between (1,0) and (2,0) is open at the top (off the board).
    TestBoard b(2, 4, 5);
    b.Copper(0, 0, 0, 3, 2);
    ConnectionRect rect{1, 0, 2, 0};
    EXPECT_EQ(IsCopperEdgeHoz(&b.board, rect, 0), 1);
    EXPECT_EQ(GetMicrostripWidthHoz(&b.board, rect, 1, 0), 3);
    rect = ConnectionRect{1, 2, 2, 2};
    EXPECT_EQ(IsCopperEdgeHoz(&b.board, rect, 0), 2);
    EXPECT_EQ(GetMicrostripWidthHoz(&b.board, rect, 2, 0), 3);
    // Columns: copper in x 0 ... 1 of 4 on layer 1, full height.
    b.Copper(1, 0, 0, 1, 4);
    rect = ConnectionRect{0, 1, 0, 2};
    EXPECT_EQ(IsCopperEdgeVert(&b.board, rect, 1), 1);  // left of x 0 is off the board
    EXPECT_EQ(GetMicrostripWidthVert(&b.board, rect, 1, 1), 2);
    EXPECT_EQ(IsCopperEdge(&b.board, rect, 1), (uint64_t{1} << 32) | 0u);
}

TEST(PlaneModel, ConnectionStripOfUnequalNodes)
{
    // A 4x4 node with two 2x2 neighbours on its right.
    TestBoard b(2, 6, 4);
    MeshNode* big = b.Node(0, 0, 4, 4, {0, 1});
    MeshNode* upper = b.Node(4, 0, 2, 2, {0, 1});
    b.Node(4, 2, 2, 2, {0, 1});
    b.Link();
    ConnectionRect r = GetRectofConnection(&b.board, &b.mesh, big, upper);
    // Two neighbours on that side: the neighbour's extent; the big node's edge moves in by 4/2 - 1.
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({2, 0, 4, 1}));
    r = GetRectofConnection(&b.board, &b.mesh, upper, big);  // seen from the small node: slot 4
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({2, 0, 4, 1}));
    const ConnectionRect none = GetRectofConnection(&b.board, &b.mesh, big, nullptr);
    EXPECT_EQ(none.left + none.top + none.right + none.bottom, 0);
}

TEST(PlaneFormulas, StrayIsInvalidWithoutAnOpenEdgeOrWidth)
{
    EXPECT_EQ(ComputeMicrostripStray(1e-3f, 1e-4f, 4.1f, 0).Valid, 0);
    EXPECT_EQ(ComputeMicrostripStray(0.0f, 1e-4f, 4.1f, 3).Valid, 0);
    const MicrostripStray one = ComputeMicrostripStray(1e-3f, 1e-4f, 4.1f, 1);
    const MicrostripStray both = ComputeMicrostripStray(1e-3f, 1e-4f, 4.1f, 3);
    EXPECT_FLOAT_EQ(one.CStray * 2, both.CStray);  // one open side: half the capacitance,
    EXPECT_FLOAT_EQ(one.LStray, both.LStray * 2);  // twice the parallel inductance
    // Narrow strips (u < 1) take the other branch of both formulas.
    const MicrostripStray narrow = ComputeMicrostripStray(5e-5f, 1e-4f, 4.1f, 3);
    EXPECT_NEAR(narrow.CMicrostrip / (4.1 / (17987553280.0 * std::log(16 + 0.125))), 1, 1e-6);
    EXPECT_NEAR(narrow.LMicrostrip / (2.0013840185129084e-07 * std::log(0.125 + 16)), 1, 1e-6);
}
