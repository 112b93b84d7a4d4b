// DC netlists of boards small enough to work out by hand. The copper is made
// 1 mm thick with a conductivity of 1000 S/m so that one square pixel has
// exactly 1 ohm along x and along y.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "netlist/netlist_electrical.h"
#include "netlist_test_board.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace netlist_test;

namespace {

void UnitCopper(TestBoard& b)
{
    b.board.ElectricalConductivity = 1000.0f;
    for (float& t : b.board.CopperThickness) t = 1e-3f;
}

std::string Electrical(TestBoard& b)
{
    return Written([&](korvex::NetlistWriter& out) { WriteSpiceElectricalMesh(out, &b.board, &b.mesh); });
}

}  // namespace

class ElectricalNetlist : public FreshCounters {};

TEST_F(ElectricalNetlist, CopperBranchLines)
{
    const struct {
        const char* name;
        int layers, pixelsX, pixelsY;
        float pitchX;  // pitchY is 1 mm
        std::vector<NodeSpec> nodes;
        std::vector<std::string> branches;  // the "RC" lines
        uint32_t lastId = 0;
    } cases[] = {
        // 1 + 100 K * 0.0039 / K
        {"Hot", 1, 2, 1, 1e-3f, {{0, 0, 1, 1, {0}, 120.0}, {1, 0, 1, 1, {0}, 120.0}},
         {"RC0_000001_0 N0_000001 N0_000002 1.390000"}},
        // A (2x2) and C (2x2) stacked on the left, B (4x4) to their right: the larger node counts in full.
        {"UnequalNeighbours", 1, 6, 4, 1e-3f, {{0, 0, 2, 2, {0}}, {0, 2, 2, 2, {0}}, {2, 0, 4, 4, {0}}},
         {"RC0_000001_0 N0_000001 N0_000003 1.500000", "RC0_000001_2 N0_000001 N0_000002 1.000000",
          "RC0_000002_0 N0_000002 N0_000003 1.500000"}},
        // Rectangular nodes: A (4 wide, 2 tall) and C below it, B (2 wide, 4 tall) to
        // their right. B is taller, so B counts in full: 1/2 * 4/2 + 1 * 2/4 = 1.5
        // (the other way round it would be 1 * 4/2 + 1/2 * 2/4 = 2.25).
        {"RectangularTallerNeighbour", 1, 6, 4, 1e-3f, {{0, 0, 4, 2, {0}}, {0, 2, 4, 2, {0}}, {4, 0, 2, 4, {0}}},
         {"RC0_000001_0 N0_000001 N0_000003 1.500000", "RC0_000001_2 N0_000001 N0_000002 0.500000",
          "RC0_000002_0 N0_000002 N0_000003 1.500000"}},
        // The same turned: A (2 wide, 4 tall) and C side by side above B (4 wide,
        // 2 tall). B is wider: 1/2 * 4/2 + 1 * 2/4 = 1.5.
        {"RectangularWiderNeighbour", 1, 4, 6, 1e-3f, {{0, 0, 2, 4, {0}}, {2, 0, 2, 4, {0}}, {0, 4, 4, 2, {0}}},
         {"RC0_000001_0 N0_000001 N0_000002 0.500000", "RC0_000001_2 N0_000001 N0_000003 1.500000",
          "RC0_000002_2 N0_000002 N0_000003 1.500000"}},
        {"TwoSmallerOnOneSide", 1, 3, 2, 1e-3f, {{0, 0, 2, 2, {0}}, {2, 0, 1, 1, {0}}, {2, 1, 1, 1, {0}}},
         {"RC0_000001_0 N0_000001 N0_000002 1.500000", "RC0_000001_1 N0_000001 N0_000003 1.500000",
          "RC0_000002_2 N0_000002 N0_000003 1.000000"}},
        // No branch to a node without copper on the layer; each layer on its own.
        {"PerLayerCopper", 2, 3, 1, 1e-3f, {{0, 0, 1, 1, {0, 1}}, {1, 0, 1, 1, {1}}, {2, 0, 1, 1, {0, 1}}},
         {"RC1_000001_0 N1_000001 N1_000002 1.000000", "RC1_000002_0 N1_000002 N1_000003 1.000000"}},
        // dx = 2 dy: each direction its own pitch.
        {"NonSquarePixels", 1, 2, 2, 2e-3f,
         {{0, 0, 1, 1, {0}}, {1, 0, 1, 1, {0}}, {0, 1, 1, 1, {0}}, {1, 1, 1, 1, {0}}},
         {"RC0_000001_0 N0_000001 N0_000002 2.000000", "RC0_000001_2 N0_000001 N0_000003 0.500000",
          "RC0_000002_2 N0_000002 N0_000004 0.500000", "RC0_000003_0 N0_000003 N0_000004 2.000000"}},
        // Node IDs of a million and more print in full.
        {"MillionNodeIds", 1, 2, 1, 1e-3f, {{0, 0, 1, 1, {0}}, {1, 0, 1, 1, {0}}},
         {"RC0_1000000_0 N0_1000000 N0_1000001 1.000000"}, 999999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestBoard b(c.layers, c.pixelsX, c.pixelsY, c.pitchX);
        UnitCopper(b);
        b.mesh.LastID = c.lastId;
        b.Nodes(c.nodes);
        EXPECT_EQ(LinesStarting(Electrical(b), "RC"), c.branches);
        // The per-pixel tables of the board at 20 degC: 1 ohm per square.
        EXPECT_FLOAT_EQ(b.board.RdcX[0], c.pitchX / 1e-3f);
        EXPECT_FLOAT_EQ(b.board.RdcY[0], 1e-3f / c.pitchX);
    }
}

TEST_F(ElectricalNetlist, ViaBarrelsPerLayerPair)
{
    // A = 3.1415 ((D + 2t)^2 - D^2) / 4 with D = 0.3 mm, t = 25 um.
    const double area = 3.1415 * (0.35e-3 * 0.35e-3 - 0.3e-3 * 0.3e-3) / 4;
    for (int layers : {1, 2, 4}) {
        SCOPED_TRACE(layers);
        TestBoard b(layers, 1, 1);
        UnitCopper(b);
        for (int l = 0; l < layers; ++l) b.board.SizeZ[l] = 1e-3f * static_cast<float>(l + 1);
        b.Add(PART_CURRENT, Current{});  // key 1: vias are keyed by list position
        Via via;
        via.Diameter = 0.3e-3f, via.CopperThickness = 25e-6f;
        b.Add(PART_VIA, via);
        b.UniformMesh({0});
        const auto lines = LinesStarting(Electrical(b), "RV");
        ASSERT_EQ(lines.size(), static_cast<size_t>(layers - 1));
        for (int l = 0; l + 1 < layers; ++l) {
            const std::string nodes = "N" + std::to_string(l) + "_000001 N" + std::to_string(l + 1) + "_000001 ";
            EXPECT_EQ(lines[l].substr(0, 6 + nodes.size()), "RV2_" + std::to_string(l) + " " + nodes);
            const double expected = 1e-3 * (l + 1) / (1000.0 * area);
            EXPECT_NEAR(Field(lines[l], 3), expected, expected * 1e-6);
            EXPECT_EQ(lines[l].back(), ' ');  // the blank before the line end
        }
    }
}

TEST_F(ElectricalNetlist, ResistorAndCurrentSourceNameFormsAndCounters)
{
    TestBoard b(2, 4, 1);
    UnitCopper(b);
    b.UniformMesh({0, 1});
    const std::pair<const char*, const char*> names[] = {{"", ""}, {"VCC", ""}, {"", "0"}, {"VCC", "0"}};
    for (const auto& [name1, name2] : names) {
        Resistor r;
        r.Net2X = 3, r.Net2Z = 1, r.Rser = 2.5f;
        CopyName(r.Net1Name, name1);
        CopyName(r.Net2Name, name2);
        b.Add(PART_RESISTOR, r);
        Current c;
        c.Net1X = 1, c.Net2X = 2, c.Net2Z = 1, c.Current = 0.25;
        CopyName(c.Net1Name, *name1 ? "SRC" : "");
        CopyName(c.Net2Name, *name2 ? "SNK" : "");
        b.Add(PART_CURRENT, c);
    }
    const std::string text = Electrical(b);
    std::vector<std::string> resistors;  // "R<number>": the resistor parts, not the copper branches
    for (const std::string& line : Lines(text))
        if (line.size() > 1 && line[0] == 'R' && std::isdigit(static_cast<unsigned char>(line[1])))
            resistors.push_back(line);
    EXPECT_EQ(resistors, (std::vector<std::string>{"R1 N0_000001 N1_000004 2.500000 ", "R2 VCC N1_000004 2.500000",
                                                   "R3 N0_000001 0 2.500000", "R4 VCC 0 2.500000"}));
    // The positive node is the second terminal; a net name stands in for its terminal.
    EXPECT_EQ(LinesStarting(text, "I"),
              (std::vector<std::string>{"I1 N1_000003 N0_000002 0.250000", "I2 N1_000003 SRC 0.250000",
                                        "I3 SNK N0_000002 0.250000", "I4 SNK SRC 0.250000"}));
    // The counters continue across netlists.
    const std::string second = Electrical(b);
    EXPECT_EQ(LinesStarting(second, "R5 ").size(), 1u);
    EXPECT_EQ(LinesStarting(second, "I5 ").size(), 1u);
}

TEST_F(ElectricalNetlist, SmallBoardMatchesGoldenFileAndUnwritablePathsAreReported)
{
    // 4 x 2 pixels on two layers: a 2x2 node and four 1x1 nodes; a gap on layer 1,
    // a via, a ground resistor and a current source; node 1 at 70 degC.
    TestBoard b(2, 4, 2);
    UnitCopper(b);
    b.Node(0, 0, 2, 2, {0, 1}, 70.0);
    b.Node(2, 0, 1, 1, {0, 1});
    b.Node(3, 0, 1, 1, {0});
    b.Node(2, 1, 1, 1, {0, 1});
    b.Node(3, 1, 1, 1, {0, 1});
    b.Link();
    Via via;
    via.x = 2, via.y = 1;
    b.Add(PART_VIA, via);
    Resistor ground;
    ground.Net1X = 3, ground.Net1Y = 1, ground.Net1Z = 1, ground.Rser = 1e-6f;
    CopyName(ground.Net2Name, "0");
    b.Add(PART_RESISTOR, ground);
    Current source;
    source.Net2X = 3, source.Current = 2.0;
    b.Add(PART_CURRENT, source);
    ExpectGolden("electrical_small.cir", WrittenFile([&](const char* path) {
                     return CreateSpiceElectricalMesh(path, &b.board, &b.mesh);
                 }));
    DebugCapture log;
    EXPECT_EQ(CreateSpiceElectricalMesh("/nonexistent-korvex/spice_electrical.cir", &b.board, &b.mesh), -1);
    EXPECT_TRUE(log.Contains("Netlist /nonexistent-korvex/spice_electrical.cir could not be written"));
    EXPECT_EQ(CreateSpiceElectricalElementMesh(nullptr, &b.board, &b.mesh, nullptr), -1);
}

TEST_F(ElectricalNetlist, LargeMeshKeepsNodeOrderInFileAndMemory)
{
    // 100 x 100 square nodes on two layers: enough nodes for the writer to share
    // the work between two threads, and a count that is no multiple of any
    // power of two it might cut the list at. Layer 1 lacks copper on every
    // node whose ID is a multiple of 7, so lines vanish all over the list.
    constexpr int kSide = 100;
    TestBoard b(2, kSide, kSide);
    UnitCopper(b);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint32_t id = static_cast<uint32_t>(y * kSide + x + 1);  // IDs count from 1 in the order added
            if (id % 7 == 0)
                b.Node(x, y, 1, 1, {0});
            else
                b.Node(x, y, 1, 1, {0, 1});
        }
    b.Link();
    const auto copper = [](uint32_t id, int layer) { return layer == 0 || id % 7 != 0; };
    std::string expected;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint32_t id = static_cast<uint32_t>(y * kSide + x + 1);
            for (int l = 0; l < 2; ++l) {
                if (!copper(id, l)) continue;
                char line[96];
                if (x + 1 < kSide && copper(id + 1, l)) {
                    std::snprintf(line, sizeof line, "RC%d_%06u_0 N%d_%06u N%d_%06u 1.000000\n", l, id, l, id, l, id + 1);
                    expected += line;
                }
                if (y + 1 < kSide && copper(id + kSide, l)) {
                    std::snprintf(line, sizeof line, "RC%d_%06u_2 N%d_%06u N%d_%06u 1.000000\n", l, id, l, id, l,
                                  id + kSide);
                    expected += line;
                }
            }
        }
    const auto branches = [](const std::string& text) {
        std::string joined;
        for (const std::string& line : LinesStarting(text, "RC")) joined += line + "\n";
        return joined;
    };
    const std::string inMemory = Electrical(b);
    EXPECT_EQ(branches(inMemory), expected);
    EXPECT_EQ(inMemory.substr(0, 28), "* SPICE generated by KORVEX\n");
    EXPECT_EQ(inMemory.substr(inMemory.size() - 9), ".op\n.end\n");
    EXPECT_EQ(WrittenFile([&](const char* path) { return CreateSpiceElectricalMesh(path, &b.board, &b.mesh); }),
              inMemory);

    // A disk that fills up half way is reported, and no netlist is left behind.
    test_files::TempFolder folder("netlist_full");
    const std::string path = folder.Path("spice_electrical.cir");
    Status written = Status::Ok();
    {
        test_files::FileSizeLimit limit(256 * 1024);
        written = WriteElectricalNetlist(path.c_str(), &b.board, &b.mesh);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(written.Reason().find("could not be written"), std::string::npos) << written.Reason();
    EXPECT_EQ(folder.Entries(), 0u);
}
