#include <gtest/gtest.h>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_reader_ac.h"
#include "../board/board_fixtures.h"
#include "raw_builder.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
RawFile Parse(const RawBuilder& b, int expect = 0)
{
    RawFile raw;
    std::string error;
    EXPECT_EQ(ParseRawFile(b.Bytes(), &raw, true, &error), 0) << error;
    EXPECT_EQ(CheckAcFile(raw, &error), expect) << error;
    return raw;
}

RawBuilder Sweep(std::vector<std::string> names, std::vector<double> values, unsigned points)
{
    RawBuilder b;
    b.complex = true;
    b.names = std::move(names);
    b.values = std::move(values);
    b.points = points;
    return b;
}

struct SmallMesh : testing_board::OwnedBoard {
    Mesh mesh;
    explicit SmallMesh(int layers) : OwnedBoard(2, 1, layers, false)
    {
        InitMesh(&mesh, &board);
        for (uint32_t x = 0; x < 2; ++x) {
            MeshNode n;
            n.x = x;
            n.OrderX = n.OrderY = 1;
            AddNode(&mesh, &n);
        }
    }
    ~SmallMesh() { FreeMesh(&mesh); }
};
}  // namespace

TEST(RawToMeshZin, CurvesPerVariableAndRoundedRange)
{
    Diagram diagram;
    Settings ac;
    ac.YAxisMode = 0;
    auto raw = Parse(Sweep({"frequency", "Zin(i000)", "Zin(i001)"},
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
}

TEST(RawToMeshZin, RefusesFrequencyNotFirstAndShortData)
{
    DebugCapture log;
    Parse(Sweep({"Zin(i000)", "frequency"}, {0, 0, 1, 0}, 1), -1);
    EXPECT_TRUE(log.Contains("frequency not at first\r\n"));
    Parse(Sweep({"frequency", "Zin(i000)"}, {1, 0, 1, 0, 2, 0}, 2), -1);  // 3 of 4 values
}

TEST(RawToMeshZin, CapacitorModeFillsSParametersAndLeavesDiagram)
{
    Diagram diagram;
    InitDiagramData(&diagram, "keep", 0, 1);
    SimulateSCapacitorData sp;
    auto raw = Parse(Sweep({"frequency", "S11(v1)", "S21(v1)"}, {5e6, 0, 0.5, -0.5, 0.25, 0.125}, 1));
    MapCapacitorSParameters(raw, &sp);
    ASSERT_EQ(sp.Points, 1);
    EXPECT_EQ(sp.Frequency[0], 5e6);
    EXPECT_EQ(sp.S11[0].i, -0.5);
    EXPECT_EQ(sp.S21[0].r, 0.25);
    EXPECT_STREQ(diagram.Curve[0].szName, "keep");
}

TEST(RawToMeshAcMaps, ImpedanceCurrentAndVoltageNoisePerNode)
{
    SmallMesh two(2);
    DebugCapture log;
    MapZDistribution(Parse(Sweep({"frequency", "Zin(i_l1_n000002)", "Zin(i_lx_n1)"}, {1e8, 0, 3, 4, 1, 1}, 1)),
                     &two.mesh);
    EXPECT_EQ(ResultsOf(IDToAddress(&two.mesh, 2)).Zin[1], 5.0f);
    EXPECT_TRUE(log.Contains("Error in RawToMeshZDistribution\r\n"));

    // Negative real part: negative current; a 2-layer board stores on layer 0.
    MapAcCurrentDensity(Parse(Sweep({"frequency", "I(R_l1_n000001_p2)"}, {1e8, 0, -3, 4}, 1)), &two.board, &two.mesh);
    EXPECT_EQ(ResultsOf(IDToAddress(&two.mesh, 1)).CurrentBL[0], -5.0);

    SmallMesh four(4);
    MapAcCurrentDensity(Parse(Sweep({"frequency", "I(R_l2_n000001_p0)"}, {1e8, 0, 3, 4}, 1)), &four.board,
                        &four.mesh);
    EXPECT_EQ(ResultsOf(IDToAddress(&four.mesh, 1)).CurrentRT[2], 5.0);

    MapVoltageNoise(Parse(Sweep({"frequency", "V(n_l0_n1000001)", "V(n_l0_n000001)"}, {1e8, 0, 1, 1, -6, 8}, 1)),
                    &two.mesh);
    EXPECT_EQ(ResultsOf(IDToAddress(&two.mesh, 1)).Voltage[0], 10.0);
}
