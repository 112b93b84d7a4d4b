// The simulator's result files: parsed with narrow or UTF-16 headers, refused when damaged,
// and mapped onto mesh nodes, parts, diagrams and capacitor S-parameters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../board/board_fixtures.h"
#include "board/settings.h"
#include "diagram/diagram.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_file.h"
#include "raw/raw_reader_ac.h"
#include "raw/raw_reader_op.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {

// A result file in memory: an operating point (one value per name) or an AC sweep (re, im
// per name and point).
struct RawBuilder {
    std::vector<std::string> names;
    std::vector<double> values;
    unsigned points = 1;
    bool complex = false;
    bool utf16 = false;

    std::vector<char> Bytes() const
    {
        std::string header = "Title: test\nDate: today\nPlotname: ";
        header += complex ? "AC Analysis\nFlags: complex\n" : "Operating Point\nFlags: real\n";
        header += "No. Variables: " + std::to_string(names.size()) + "\n";
        header += "No. Points: " + std::to_string(points) + "\nOffset: 0\nCommand: test\nVariables:\n";
        for (size_t i = 0; i < names.size(); ++i)
            header += "\t" + std::to_string(i) + "\t" + names[i] + "\t" + (i == 0 && complex ? "frequency" : "voltage") + "\n";
        header += "Binary:\n";
        std::vector<char> out;
        for (char c : header) {
            out.push_back(c);
            if (utf16) out.push_back('\0');
        }
        const size_t at = out.size();
        out.resize(at + values.size() * 8);
        std::memcpy(out.data() + at, values.data(), values.size() * 8);
        return out;
    }
};

RawBuilder Sweep(std::vector<std::string> names, std::vector<double> values, unsigned points)
{
    RawBuilder b;
    b.complex = true;
    b.names = std::move(names);
    b.values = std::move(values);
    b.points = points;
    return b;
}

// Parsed as the AC readers do; `expect` is the answer of the sweep check.
RawFile ParseSweep(const RawBuilder& b, int expect = 0)
{
    RawFile raw;
    std::string error;
    EXPECT_EQ(ParseRawFile(b.Bytes(), &raw, true, &error), 0) << error;
    EXPECT_EQ(CheckAcFile(raw, &error), expect) << error;
    return raw;
}

// A board of `nodes` x 1 pixels without copper, covered by nodes of one pixel, IDs 1 ... nodes.
struct MeshBoard : testing_board::OwnedBoard {
    Mesh mesh;
    MeshBoard(uint32_t nodes, int layers) : OwnedBoard(nodes, 1, layers, false)
    {
        InitMesh(&mesh, &board);
        for (uint32_t x = 0; x < nodes; ++x) {
            MeshNode n;
            n.x = x;
            n.OrderX = n.OrderY = 1;
            AddNode(&mesh, &n);
        }
    }
    ~MeshBoard() { FreeMesh(&mesh); }
    const MeshNodeResults& Results(uint32_t id) const { return ResultsOf(IDToAddress(&mesh, id)); }
};

// Four nodes on two layers, a via, two heat sources "U1" and a heat sink "Heatsink1".
struct OperatingPointBoard : MeshBoard {
    OperatingPointBoard() : MeshBoard(4, 2)
    {
        AddPart(&board, PART_VIA, &gVia);
        HeatSource hs;
        CopyName(hs.Net, "U1");
        AddPart(&board, PART_HEATSOURCE, &hs);
        AddPart(&board, PART_HEATSOURCE, &hs);
        AddPart(&board, PART_HEATSINK, &gHeatSink);
    }
    static RawFile Raw(const RawBuilder& b)
    {
        RawFile raw;
        std::string error;
        EXPECT_EQ(ParseRawFile(b.Bytes(), &raw, false, &error), 0) << error;
        return raw;
    }
};

}  // namespace

TEST(RawFile, ValueOfIndexTwoStartsSixteenBytesAfterBinaryLine)
{
    for (bool utf16 : {false, true}) {
        RawBuilder b;
        b.names = {"V(n1_000001)", "V(n1_000002)", "I(rc1_000042_3)"};
        b.values = {1.5, 2.5, -7.25};
        b.utf16 = utf16;
        DebugCapture log;
        RawFile raw;
        std::string error;
        ASSERT_EQ(ParseRawFile(b.Bytes(), &raw, true, &error), 0) << error;
        EXPECT_EQ(log.Contains("64-Bit Version RAW Data\r\n"), utf16);
        ASSERT_EQ(raw.Variables.size(), 3u);
        EXPECT_EQ(raw.Variables[2].Name, "I(rc1_000042_3)");
        EXPECT_EQ(raw.DeclaredVariables, 3u);
        EXPECT_EQ(raw.DeclaredPoints, 1u);
        double v = 0;
        ASSERT_TRUE(raw.RealValue(2, &v));
        EXPECT_EQ(v, -7.25);
        EXPECT_FALSE(raw.RealValue(3, &v));
    }
}

TEST(RawFile, RefusesFilesWithoutMarkersOrCounts)
{
    std::string error;
    RawFile raw;
    std::string noBinary = "Title: x\nVariables:\n\t0\tV(a)\tvoltage\n";
    EXPECT_EQ(ParseRawFile({noBinary.begin(), noBinary.end()}, &raw, false, &error), -1);
    EXPECT_NE(error.find("Binary:"), std::string::npos);

    std::string noCounts = "Variables:\n\t0\tV(a)\tvoltage\nBinary:\n";
    EXPECT_EQ(ParseRawFile({noCounts.begin(), noCounts.end()}, &raw, false, &error), 0);
    EXPECT_EQ(ParseRawFile({noCounts.begin(), noCounts.end()}, &raw, true, &error), -1);

    std::string noList = "No. Variables: 1\nNo. Points: 1\nBinary:\n";
    DebugCapture log;
    EXPECT_EQ(ParseRawFile({noList.begin(), noList.end()}, &raw, true, &error), -1);
    EXPECT_TRUE(log.Contains("Variables: nicht gefunden\r\n"));

    // A UTF-16 header cut inside "Binary:" must not be read past its end.
    RawBuilder b;
    b.names = {"V(a)"};
    b.values = {1.0};
    b.utf16 = true;
    auto bytes = b.Bytes();
    bytes.resize(bytes.size() - 8 - 4);
    EXPECT_EQ(ParseRawFile(bytes, &raw, false, &error), -1);
}

// The variable list: a name ends at a tab, a carriage return or the line's end; the list ends at
// the first line that is not "TAB index TAB ...".
TEST(RawFile, VariableLinesOfEveryShape)
{
    const struct {
        const char* list;
        std::vector<std::string_view> names;
    } cases[] = {
        {"\t0\tV(a)\tvoltage\r\n\t1\tI(b)\r\n\t2\tV(c)\n", {"V(a)", "I(b)", "V(c)"}},
        {"\t0\tV(a)\tvoltage\n\tno-second-tab\n\t2\tV(c)\tvoltage\n", {"V(a)"}},
        {"\t0\tV(a)\tvoltage\nx\t1\tV(b)\tvoltage\n", {"V(a)"}},
        {"\t0\t\tvoltage\n\t1\tV(b)", {"", "V(b)"}},
        {"\n\t0\tV(a)\tvoltage\n", {}},
    };
    for (const auto& c : cases) {
        const std::string text = std::string("Title: t\nVariables:\n") + c.list + "\nBinary:\n";
        RawFile raw;
        std::string error;
        ASSERT_EQ(ParseRawFile({text.begin(), text.end()}, &raw, false, &error), 0) << c.list << error;
        std::vector<std::string_view> names;
        for (const RawVariable& v : raw.Variables) names.push_back(v.Name);
        EXPECT_EQ(names, c.names) << c.list;
    }
}

// Counts far beyond what the file holds are refused by the checks, never allocated first.
TEST(RawFile, HugeDeclaredCountsAreRefusedWithoutAllocating)
{
    for (const char* counts : {"No. Variables: 4294967295\nNo. Points: 1\n", "No. Variables: 1\nNo. Points: 4294967295\n",
                               "No. Variables: 0\nNo. Points: 4294967295\n"}) {
        const std::string text = std::string("Title: x\n") + counts + "Variables:\n\t0\tV(a)\tvoltage\nBinary:\n" +
                                 std::string(8, '\0');
        RawFile raw;
        std::string error;
        ASSERT_EQ(ParseRawFile({text.begin(), text.end()}, &raw, true, &error), 0) << error;
        EXPECT_EQ(CheckOperatingPointFile(raw, &error), -1) << counts;
        EXPECT_EQ(CheckAcFile(raw, &error), -1) << counts;
    }
}

TEST(RawToMeshZin, CurvesPerVariableRoundedRangeAndRefusedSweeps)
{
    Diagram diagram;
    Settings ac;
    ac.YAxisMode = 0;
    auto raw = ParseSweep(Sweep({"frequency", "Zin(i000)", "Zin(i001)"},
                                {1e3, 0, 0.3, 0.2, 0.01, 0,  //
                                 2e3, 0, 0.1, 0, 0.02, 0},
                                2));
    MapZinCurves(raw, &diagram, &ac);
    EXPECT_STREQ(diagram.Curve[0].szName, "Zin(i000)");
    EXPECT_STREQ(diagram.Curve[1].szName, "Zin(i001)");
    float x = 0, y = 0, z = 0;
    ASSERT_EQ(GetDataPoint(&diagram, 1, 1, &x, &y, &z), 0);
    EXPECT_EQ(x, 2e3f);
    EXPECT_EQ(y, 0.02f);
    EXPECT_FLOAT_EQ(diagram.fMaxY, 0.4f);  // |0.3 + 0.2j| = 0.36 rounds up to 0.4
    EXPECT_EQ(diagram.fMinY, 0.0f);         // linear axis
    EXPECT_FLOAT_EQ(diagram.fGridY, 0.04f);
    EXPECT_EQ(diagram.fMinX, 1e4f);
    // The values the maps read are bounds checked: point 1, variable 2 is the last in the file.
    double re = 0, im = 0;
    ASSERT_TRUE(raw.ComplexValue(1, 2, 3, &re, &im));
    EXPECT_EQ(re, 0.02);
    EXPECT_EQ(im, 0);
    EXPECT_FALSE(raw.ComplexValue(2, 0, 3, &re, &im));
    EXPECT_FALSE(raw.ComplexValue(0, 3, 3, &re, &im));

    DebugCapture log;
    ParseSweep(Sweep({"Zin(i000)", "frequency"}, {0, 0, 1, 0}, 1), -1);
    EXPECT_TRUE(log.Contains("frequency not at first\r\n"));
    ParseSweep(Sweep({"frequency", "Zin(i000)"}, {1, 0, 1, 0, 2, 0}, 2), -1);  // 3 of 4 values
}

TEST(RawToMeshZin, CapacitorModeFillsSParametersAndLeavesDiagram)
{
    Diagram diagram;
    InitDiagramData(&diagram, "keep", 0, 1);
    SimulateSCapacitorData sp;
    MapCapacitorSParameters(ParseSweep(Sweep({"frequency", "S11(v1)", "S21(v1)"}, {5e6, 0, 0.5, -0.5, 0.25, 0.125}, 1)),
                            &sp);
    ASSERT_EQ(sp.Points, 1);
    EXPECT_EQ(sp.Frequency[0], 5e6);
    EXPECT_EQ(sp.S11[0].i, -0.5);
    EXPECT_EQ(sp.S21[0].r, 0.25);
    EXPECT_STREQ(diagram.Curve[0].szName, "keep");
}

TEST(RawToMeshAcMaps, ImpedanceCurrentAndVoltageNoisePerNode)
{
    MeshBoard two(2, 2);
    DebugCapture log;
    MapZDistribution(ParseSweep(Sweep({"frequency", "Zin(i_l1_n000002)", "Zin(i_lx_n1)"}, {1e8, 0, 3, 4, 1, 1}, 1)),
                     &two.mesh);
    EXPECT_EQ(two.Results(2).Zin[1], 5.0f);
    EXPECT_TRUE(log.Contains("Error in RawToMeshZDistribution\r\n"));

    // Negative real part: negative current; a 2-layer board stores on layer 0.
    MapAcCurrentDensity(ParseSweep(Sweep({"frequency", "I(R_l1_n000001_p2)"}, {1e8, 0, -3, 4}, 1)), &two.board,
                        &two.mesh);
    EXPECT_EQ(two.Results(1).CurrentBL[0], -5.0);

    MeshBoard four(2, 4);
    MapAcCurrentDensity(ParseSweep(Sweep({"frequency", "I(R_l2_n000001_p0)"}, {1e8, 0, 3, 4}, 1)), &four.board,
                        &four.mesh);
    EXPECT_EQ(four.Results(1).CurrentRT[2], 5.0);

    MapVoltageNoise(ParseSweep(Sweep({"frequency", "V(n_l0_n1000001)", "V(n_l0_n000001)"}, {1e8, 0, 1, 1, -6, 8}, 1)),
                    &two.mesh);
    EXPECT_EQ(two.Results(1).Voltage[0], 10.0);
}

TEST(RawToMeshElectrical, MapsVoltagesBranchAndViaCurrentsPastForeignNets)
{
    OperatingPointBoard f;
    RawBuilder b;
    b.names = {"V(n1_000002)", "V(vcc)", "V(n2_000003)", "I(Rc1_000004_3)", "I(Rv1_1)", "I(Rc1_00x004_3)",
               "I(Rv9_1)", "I(R1)"};
    b.values = {1.25, 99, 2.5, -0.5, 0.75, 3, 4, 5};
    DebugCapture log;
    MapElectricalResults(f.Raw(b), &f.board, &f.mesh);
    EXPECT_EQ(f.Results(2).Voltage[1], 1.25);
    // The voltage of a named net is skipped, not the end of the walk.
    EXPECT_EQ(f.Results(3).Voltage[2], 2.5);
    EXPECT_EQ(f.Results(4).CurrentBR[1], -0.5);
    EXPECT_EQ(PartRecord<Via>(GetFirstPart(&f.board))->Current[1], 0.75f);
    EXPECT_TRUE(log.Contains("Unknown Variable (Rc1_00x004_3) 3.000000\r\n"));
    EXPECT_TRUE(log.Contains("ViaCurrent Error\r\n"));  // key 9 names no part

    // Mapped in ranges, the last reaching past the end and mapped first: the part results of the
    // ranges joined in range order are those of the whole walk, and the nodes get their results.
    OperatingPointBoard whole, pieces;
    const RawFile raw = OperatingPointBoard::Raw(b);
    std::vector<PartResult> all, joined;
    MapElectricalResults(raw, &whole.mesh, &all);
    for (const auto& [first, last] : {std::pair<size_t, size_t>{5, 100}, {3, 5}, {0, 3}}) {
        std::vector<PartResult> piece;
        MapElectricalResults(raw, &pieces.mesh, &piece, first, last);
        joined.insert(joined.begin(), piece.begin(), piece.end());
    }
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(joined.size(), 2u);
    for (size_t k = 0; k < all.size(); ++k) EXPECT_TRUE(all[k].Key == joined[k].Key && all[k].Value == joined[k].Value);
    EXPECT_EQ(pieces.Results(2).Voltage[1], 1.25);
    EXPECT_EQ(pieces.Results(4).CurrentBR[1], -0.5);
}

TEST(RawToMeshThermal, NodesJunctionsAndSinksIgnoringCase)
{
    OperatingPointBoard f;
    RawBuilder b;
    b.names = {"V(n1_000001)", "V(namb)", "V(junctionu1)", "V(heatsinkheatsink1)", "I(Rth1)"};
    b.values = {40, 25, 80, 33, 1};
    MapThermalResults(f.Raw(b), &f.board, &f.mesh);
    EXPECT_EQ(IDToAddress(&f.mesh, 1)->Temperature[1], 40);
    Part* p = GetFirstPart(&f.board)->pNext;
    EXPECT_EQ(PartRecord<HeatSource>(p)->Temperature, 80);
    EXPECT_EQ(PartRecord<HeatSource>(p->pNext)->Temperature, 80);
    EXPECT_EQ(PartRecord<HeatSink>(p->pNext->pNext)->Temperature, 33);
}

TEST(RawToMeshElectrical, RefusesTruncatedAndMissingFilesWithoutMapping)
{
    OperatingPointBoard f;
    test_files::TempFolder t("raw_op");
    const std::string path = t.Path("short.raw");
    RawBuilder b;
    b.names = {"V(n1_000001)", "V(n1_000002)"};
    b.values = {7, 8};
    // The last value cut, fewer points than declared, no points at all.
    const struct {
        unsigned points;
        size_t cut;
        const char* reason;
    } cases[] = {{1, 4, "truncated"}, {2, 0, "truncated"}, {0, 0, "no points"}};
    for (const auto& c : cases) {
        b.points = c.points;
        auto bytes = b.Bytes();
        bytes.resize(bytes.size() - c.cut);
        test_files::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        std::string error;
        EXPECT_EQ(RawToMeshElectrical(&f.board, &f.mesh, path.c_str(), &error), -1) << c.points;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(f.Results(1).Voltage[1], 0.0);  // nothing half-mapped
    }

    DebugCapture log;
    std::string error;
    EXPECT_EQ(RawToMeshThermal(&f.board, &f.mesh, t.Path("absent.raw").c_str(), &error), -1);
    EXPECT_TRUE(log.Contains("absent.raw"));
}
