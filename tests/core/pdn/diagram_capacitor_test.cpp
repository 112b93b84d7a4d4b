#include <gtest/gtest.h>

#include <cmath>

#include "board/part_list.h"
#include "pdn/diagram_capacitor.h"
#include "pdn_test_support.h"

using namespace korvex;
using namespace korvex::pdn_test;

namespace {

TEST(DiagramCapacitor, SeriesRlcCurveOverLogDecades)
{
    Diagram d;
    d.bLogX = 1;
    d.fMinX = 2e5f;
    d.fMaxX = 5e8f;
    Cap cap{.Capacitance = 1e-6f, .ESR = 0.02f, .ESL = 1e-9f};
    Part part{.Kind = PART_CAP, .pRecord = &cap};
    ASSERT_EQ(ShowDiagramCapacitor(&d, &part, 0), 1);
    ASSERT_EQ(d.CapCurve.PointCount, kDiagramCapPoints);
    EXPECT_FLOAT_EQ(d.CapCurve.pX[0], 1e5f);  // whole decades 1e5 .. 1e9
    EXPECT_NEAR(std::log10(d.CapCurve.pX[250]), 7.0, 1e-5);
    for (int i = 0; i < kDiagramCapPoints; ++i) {
        const double x = SeriesRlc(d.CapCurve.pX[i], 1e-6, 0.02, 1e-9).i;
        EXPECT_FLOAT_EQ(d.CapCurve.pY[i], 0.02f);
        EXPECT_NEAR(d.CapCurve.pZ[i], x, 1e-4 * std::fabs(x) + 1e-6);
    }
    // The same capacitor again changes nothing; a forced one recomputes.
    d.CapCurve.pY[0] = 7;
    EXPECT_EQ(ShowDiagramCapacitor(&d, &part, 0), 0);
    EXPECT_EQ(d.CapCurve.pY[0], 7);
    EXPECT_EQ(ShowDiagramCapacitor(&d, &part, 1), 1);
    EXPECT_FLOAT_EQ(d.CapCurve.pY[0], 0.02f);
    EXPECT_EQ(ShowDiagramCapacitor(&d, nullptr, 0), 1);
    EXPECT_EQ(d.CapCurve.bValid, 0u);
    EXPECT_EQ(d.pCapPart, nullptr);
}

TEST(DiagramCapacitor, LinearSweepAndRefusals)
{
    Diagram d;
    d.fMinX = 0;
    d.fMaxX = 1000;
    EXPECT_FLOAT_EQ(DiagramSweepFrequency(&d, 250, 500), 500.0f);
    EXPECT_EQ(DrawCapacitorData(&d), -1);  // no part
    Current notACap;
    Part part{.Kind = PART_CURRENT, .pRecord = &notACap};
    d.pCapPart = &part;
    ASSERT_EQ(InitDiagramCapData(&d, "Cap", 10), 0);
    EXPECT_EQ(DrawCapacitorData(&d), -1);
    EXPECT_EQ(DrawCreateSpiceData(&d, nullptr), -1);
}

TEST(DiagramCapacitor, FittedCircuitIsBranchesInParallel)
{
    Diagram d;
    d.bLogX = 1;
    d.fMinX = 1e5f;
    d.fMaxX = 1e9f;
    const CapRecord branch = Branch(1e-7f, 0.01f, 1e-9f);
    CapList list{branch};
    ASSERT_EQ(ShowDiagramSpiceCircuit(&d, &list, 1), 1);
    ASSERT_EQ(d.SpiceCurve.bValid, 1u);
    const float oneY = d.SpiceCurve.pY[100], oneZ = d.SpiceCurve.pZ[100];
    EXPECT_NEAR(oneY, 0.01, 1e-6);
    EXPECT_NEAR(oneZ, SeriesRlc(d.SpiceCurve.pX[100], 1e-7, 0.01, 1e-9).i, 1e-3 * std::fabs(oneZ));
    AddCap(&list, 1, &branch);
    ASSERT_EQ(ShowDiagramSpiceCircuit(&d, &list, 1), 1);
    EXPECT_NEAR(d.SpiceCurve.pY[100], oneY / 2, 1e-6);
    EXPECT_NEAR(d.SpiceCurve.pZ[100], oneZ / 2, 1e-3 * std::fabs(oneZ));
    EXPECT_EQ(ShowDiagramSpiceCircuit(&d, &list, 0), 0);
    EXPECT_EQ(ShowDiagramSpiceCircuit(&d, nullptr, 1), 1);
    EXPECT_EQ(d.SpiceCurve.bValid, 0u);
    EmptyCapDatabase(&list);
    EXPECT_EQ(DrawCreateSpiceData(&d, &list), -1);
}

}  // namespace
