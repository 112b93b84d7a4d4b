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

using namespace korvex;

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

TEST(PlaneModel, DistanceFindsThePlanePairBelowTheLayer)
{
    const struct {
        int layers;
        std::vector<int> copper;
        int layer;
        int upper, lower;
        double distance;  // in units of 0.1 mm; SizeZ = 0.1, 0.2, 0.4 mm
        int hasDielectric;
    } cases[] = {
        {2, {0, 1}, 0, 0, 1, 1, 1}, {2, {0}, 0, 0, -1, 0, 0}, {2, {1}, 0, -1, -1, 0, 0},
        {4, {0, 1, 2, 3}, 0, 0, 1, 1, 1}, {4, {0, 1, 2, 3}, 1, 1, 2, 2, 1}, {4, {0, 1, 2, 3}, 2, 2, 3, 4, 1},
        {4, {0, 3}, 0, 0, 3, 7, 0},  // the two outer reference planes facing each other carry nothing
        {4, {0, 2, 3}, 0, 0, 2, 3, 1}, {4, {0, 1, 3}, 1, 1, 3, 6, 1}, {4, {0, 1}, 1, 1, -1, 0, 0},
        {1, {0}, 0, 0, -1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.layers << " layers, layer " << c.layer << ", " << c.copper.size()
                                        << " with copper");
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
}

// One branch of the plane model: the board, the branch from the node at `from`
// towards the node at `to` (x < 0: towards the board edge), and what it shows.
struct BranchCase {
    const char* what;
    int layers, pixelsX, pixelsY;
    std::vector<NodeSpec> nodes;
    int fromX, fromY, toX, toY, layer, direction;
    uint32_t mode = AC_MODE_ZIN_OF_PORTS;
};

TEST(PlaneModel, BranchFormsAndStubsMatchGoldenFile)
{
    const std::vector<int> all = {0, 1, 2, 3};
    const std::vector<NodeSpec> twoFull = {{0, 0, 1, 1, all}, {1, 0, 1, 1, all}};
    const BranchCase cases[] = {
        {"4 layers, layer 0: form G0 to the reference plane above", 4, 2, 1, twoFull, 0, 0, 1, 0, 0, 0},
        {"4 layers, layer 1: form M between layers 1 and 2", 4, 2, 1, twoFull, 0, 0, 1, 0, 1, 0},
        {"4 layers, layer 2: form GL to the reference plane below", 4, 2, 1, twoFull, 0, 0, 1, 0, 2, 0},
        {"current density @f: the branch current is saved, G0", 4, 2, 1, twoFull, 0, 0, 1, 0, 0, 0,
         AC_MODE_CURRENT_DENSITY_AT_F},
        {"current density @f: both branch currents are saved, M", 4, 2, 1, twoFull, 0, 0, 1, 0, 1, 0,
         AC_MODE_CURRENT_DENSITY_AT_F},
        {"current density @f: the branch current is saved, GL", 4, 2, 1, twoFull, 0, 0, 1, 0, 2, 0,
         AC_MODE_CURRENT_DENSITY_AT_F},
        {"board edge: a stub of half the 1x1 node", 2, 1, 1, {{0, 0, 1, 1, {0, 1}}}, 0, 0, -1, 0, 0, 4},
        {"board edge, 4x2 node along x: 2 mm long, 2 mm wide", 2, 4, 2, {{0, 0, 4, 2, {0, 1}}}, 0, 0, -1, 0, 0, 0},
        {"board edge, 4x2 node along y: 1 mm long, 4 mm wide", 2, 4, 2, {{0, 0, 4, 2, {0, 1}}}, 0, 0, -1, 0, 0, 6},
        {"copper edge: the node has the dielectric, its own stub", 2, 3, 1,
         {{0, 0, 1, 1, {0, 1}}, {1, 0, 2, 1, {0}}}, 0, 0, 1, 0, 0, 0},
        {"copper edge: only the neighbour has it, the neighbour's stub in its slot 5", 2, 3, 1,
         {{0, 0, 1, 1, {0}}, {1, 0, 2, 1, {0, 1}}}, 0, 0, 1, 0, 0, 0},
        {"different plane pairs on both sides: only the node's stub", 4, 2, 1,
         {{0, 0, 1, 1, all}, {1, 0, 1, 1, {0, 2, 3}}}, 0, 0, 1, 0, 0, 0},
    };
    std::string text;
    for (const BranchCase& c : cases) {
        TestBoard b(c.layers, c.pixelsX, c.pixelsY);
        if (c.layers == 4) b.board.SizeZ[0] = 1e-4f, b.board.SizeZ[1] = 2e-4f, b.board.SizeZ[2] = 4e-4f;
        b.Nodes(c.nodes);
        const MeshNode* to = c.toX < 0 ? nullptr : b.At(c.toX, c.toY);
        const Branch branch = WriteBranch(b, b.At(c.fromX, c.fromY), to, c.layer, c.direction, c.mode);
        EXPECT_EQ(branch.result, 0) << c.what;
        text += std::string("** ") + c.what + "\n" + branch.text;
    }
    ExpectGolden("plane_branches.cir", text);
}

TEST(PlaneModel, NoBranchWithoutAPlanePair)
{
    TestBoard b(4, 2, 1);
    b.UniformMesh({0, 1, 2, 3});
    EXPECT_EQ(WriteBranch(b, b.At(0, 0), b.At(1, 0), 3, 0).result, -1);  // below the last layer
    EXPECT_TRUE(LinesStarting(WriteBranch(b, b.At(0, 0), b.At(1, 0), 0, 0, AC_MODE_Z_AT_F).text, ".save").empty());
    TestBoard none(2, 2, 1);
    none.UniformMesh({0});
    EXPECT_EQ(WriteBranch(none, none.At(0, 0), none.At(1, 0), 0, 0).result, -1);
    EXPECT_EQ(WriteBranch(none, nullptr, nullptr, 0, 0).result, -1);
}

TEST(PlaneModel, LineValuesFromTheBranchGeometry)
{
    // Over 0.1 mm of er 4.1: C = flength er 8.852e-12 fwidth / d / 2,
    // L = flength d 1.2566e-6 / fwidth. Two 1 mm squares make a 1 mm long,
    // 1 mm wide line. A node 2 wide and 4 tall with both planes next to two
    // 2 x 2 nodes with layer 0 only makes a stub half the big node long (1 mm)
    // and as wide as the smaller side (2 mm): written for the node when the big
    // node is on the left, for the neighbour (which sees the small node in its
    // slot 4) when it is on the right.
    struct Case {
        std::vector<NodeSpec> nodes;
        double flength, fwidth;
        const char* comment;
        const char* line;
    } cases[] = {
        {{{0, 0, 1, 1, {0, 1}}, {1, 0, 1, 1, {0, 1}}}, 1e-3, 1e-3, "*flength=0.001000 *fwidth=0.001000",
         "T_L01_N000001_P0 N_L1_N000001_R_P0 0 N_L0_N000002 "},
        {{{0, 0, 2, 4, {0, 1}}, {2, 0, 2, 2, {0}}, {2, 2, 2, 2, {0}}}, 1e-3, 2e-3,
         "*Copper Edge RB flength=0.001000 *fwidth=0.002000", "T_L01_N000001_P0 "},
        {{{0, 0, 2, 2, {0}}, {0, 2, 2, 2, {0}}, {2, 0, 2, 4, {0, 1}}}, 1e-3, 2e-3,
         "*Copper Edge TL flength=0.001000 *fwidth=0.002000", "T_L01_N000003_P4 "},
    };
    for (const Case& k : cases) {
        TestBoard b(2, 4, 4);
        b.Nodes(k.nodes);
        const int toX = k.nodes[0].width;
        const auto lines = Lines(WriteBranch(b, b.At(0, 0), b.At(toX, 0), 0, 0).text);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], k.comment);
        const double c = k.flength * 4.1 * 8.852e-12 * k.fwidth / 1e-4 / 2;
        const double l = k.flength * 1e-4 * 1.2566e-06 / k.fwidth;
        EXPECT_NEAR(Value(lines[2], "d"), 1e-4, 1e-10);
        EXPECT_NEAR(Value(lines[2], "C") / c, 1, 1e-6);
        EXPECT_NEAR(Value(lines[2], "L") / l, 1, 1e-6);
        EXPECT_NEAR(Value(lines[3], "Td") / std::sqrt(l * c), 1, 1e-6);
        EXPECT_NEAR(Value(lines[3], "Z0") / std::sqrt(l / c), 1, 1e-6);
        EXPECT_EQ(lines[3].substr(0, std::string(k.line).size()), k.line);
    }
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
    const MeshNode* a = b.At(1, 1);
    const MeshNode* n = b.At(2, 1);
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
    const double expected[5] = {w, cParallel, cMicrostrip, lParallel, lMicrostrip};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(Field(lines[0], 2 * i + 2) / expected[i], 1, 1e-6) << i;
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
    const auto plain = Lines(WriteBranch(full, full.At(0, 1), full.At(1, 1), 0, 0,
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
