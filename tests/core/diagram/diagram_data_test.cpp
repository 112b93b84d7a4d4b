#include <gtest/gtest.h>

#include <string>

#include "diagram/diagram.h"

using namespace korvex;

namespace {

struct CountingWindow : DiagramWindow {
    int calls = 0;
    void DiagramChanged(Diagram&) override { ++calls; }
};

TEST(DiagramData, InitSetsDefaultsAndKeepsWindowWhenNoneGiven)
{
    Diagram d;
    CountingWindow window;
    ASSERT_EQ(InitDiagram(&d, &window), 0);
    d.fMaxX = 5;
    d.YAxis = kYAxisDb;
    d.bLogX = 1;
    ASSERT_EQ(InitDiagram(&d, nullptr), 0);
    EXPECT_EQ(d.hWnd, &window);
    EXPECT_FLOAT_EQ(d.fMaxX, 1e9f);
    EXPECT_EQ(d.YAxis, 0u);
    EXPECT_EQ(d.bLogX, 0u);
    EXPECT_EQ(InitDiagram(nullptr, nullptr), -1);
    EXPECT_EQ(UpdateDiagram(&d), 0);
    EXPECT_EQ(window.calls, 1);
}

TEST(DiagramData, InitDiagramDataRefusesBadArgumentsAndZeroesNewCurves)
{
    Diagram d;
    ASSERT_EQ(InitDiagramData(&d, "Zin(i000)", 2, 3), 0);
    SetDataPoint(&d, 2, 1, 1.0f, 2.0f, 3.0f);
    struct Case {
        const char* name;
        int curve;
        int count;
    } refused[] = {{"x", 2, 0}, {"x", 2, 100001}, {"x", -1, 5}, {"x", 10, 5}, {nullptr, 2, 5}};
    for (const Case& c : refused)
        EXPECT_EQ(InitDiagramData(&d, c.name, c.curve, c.count), -1) << c.curve << " " << c.count;
    EXPECT_EQ(InitDiagramData(nullptr, "x", 0, 1), -1);
    EXPECT_STREQ(d.Curve[2].szName, "Zin(i000)");
    EXPECT_EQ(d.Curve[2].PointCount, 3);
    float y = 0;
    ASSERT_EQ(GetDataPoint(&d, 2, 1, nullptr, &y, nullptr), 0);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(InitDiagramData(&d, "max", 9, 100000), 0);
    // A new curve is shown, zeroed and plain; a long name is cut.
    d.Curve[4].Style = d.Curve[4].bSecondaryAxis = 1;
    ASSERT_EQ(InitDiagramData(&d, std::string(150, 'a').c_str(), 4, 10), 0);
    EXPECT_EQ(d.Curve[4].bValid, 1u);
    EXPECT_EQ(d.Curve[4].Style + d.Curve[4].bSecondaryAxis, 0u);
    EXPECT_EQ(std::string(d.Curve[4].szName), std::string(99, 'a'));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(d.Curve[4].pY[i], 0.0f);
    EXPECT_EQ(InitDiagramDataRef(&d, "S11", 4, 10), -1);
    EXPECT_EQ(InitDiagramCapData(&d, "Cap", 0), -1);
    EXPECT_EQ(InitDiagramCreateSpiceData(&d, "SPICE", 100001), -1);
}

TEST(DiagramData, PointAccessChecksIndexAndAccumulates)
{
    Diagram d;
    EXPECT_EQ(SetDataPoint(&d, 0, 0, 1, 1, 1), -1);  // no arrays yet
    ASSERT_EQ(InitDiagramData(&d, "t", 0, 4), 0);
    EXPECT_EQ(SetDataPoint(&d, 0, 4, 1, 1, 1), -1);
    EXPECT_EQ(SetDataPoint(&d, 0, -1, 1, 1, 1), -1);
    EXPECT_EQ(SetDataPoint(&d, 10, 0, 1, 1, 1), -1);
    EXPECT_EQ(SetDataPoint(&d, 0, 3, 5, 1.5f, -2), 0);
    EXPECT_EQ(SetDataPointAdd(&d, 0, 3, 6, 1.0f, 0.5f), 0);
    EXPECT_EQ(SetDataPointAdd(&d, 0, 3, 7, 1.0f, 0.5f), 0);
    float x, y, z;
    ASSERT_EQ(GetDataPoint(&d, 0, 3, &x, &y, &z), 0);
    EXPECT_EQ(x, 7.0f);
    EXPECT_EQ(y, 3.5f);
    EXPECT_EQ(z, -1.0f);
    EXPECT_EQ(GetDataPoint(&d, 0, 4, &x, &y, &z), -1);
    EXPECT_EQ(SetDataPointRef(&d, 0, 0, 1, 1, 1), -1);
    ASSERT_EQ(InitDiagramDataRef(&d, "S11", 0, 2), 0);
    EXPECT_EQ(SetDataPointRef(&d, 0, 1, 1, 1, 1), 0);
    EXPECT_EQ(SetDataPointRef(&d, 4, 1, 1, 1, 1), -1);
}

// Killing frees the data curves and the capacitor curves (no longer found by
// name), never the reference curves; InitDiagram keeps them as well.
TEST(DiagramData, KillAndInitLeaveReferenceCurvesAlone)
{
    Diagram d;
    ASSERT_EQ(InitDiagramData(&d, "Zin(i000)", 1, 3), 0);
    ASSERT_EQ(InitDiagramData(&d, "Zin(i001)", 3, 2), 0);
    ASSERT_EQ(InitDiagramDataRef(&d, "S21", 2, 3), 0);
    ASSERT_EQ(InitDiagramCapData(&d, "Cap", 3), 0);
    ASSERT_EQ(InitDiagramCreateSpiceData(&d, "SPICE", 3), 0);
    d.Curve[3].bValid = 0;  // hidden curves are still found
    EXPECT_EQ(FindDiagramCurve(&d, "Zin(i001)"), 3);
    ASSERT_EQ(KillDiagram(&d), 0);
    EXPECT_EQ(FindDiagramCurve(&d, "Zin(i001)"), -1);
    EXPECT_EQ(d.Curve[1].bValid, 0u);
    EXPECT_EQ(d.Curve[1].pX, nullptr);
    EXPECT_EQ(d.CapCurve.pX, nullptr);
    EXPECT_EQ(d.SpiceCurve.PointCount, 0);
    EXPECT_EQ(d.RefCurve[2].bValid, 1u);
    ASSERT_EQ(InitDiagram(&d, nullptr), 0);
    EXPECT_EQ(d.RefCurve[2].PointCount, 3);
    ASSERT_EQ(KillDiagramRef(&d), 0);
    EXPECT_EQ(d.RefCurve[2].pX, nullptr);
    EXPECT_EQ(d.RefCurve[2].bValid, 0u);
    EXPECT_EQ(KillDiagram(nullptr), -1);
}

}  // namespace
