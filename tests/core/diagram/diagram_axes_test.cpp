#include <gtest/gtest.h>

#include <cmath>

#include "diagram/diagram_axes.h"

using namespace korvex;

namespace {

// Lays d out on a 654 x 424 surface (plot 54 .. 651 x 24 .. 400 with the
// default fonts) and works out its axes.
DiagramAxes Axes(Diagram& d)
{
    DiagramAxes axes;
    EXPECT_EQ(SetDiagramLayout(&d, 654, 424), 0);
    EXPECT_EQ(ComputeDiagramAxes(&d, &axes), 0);
    return axes;
}

TEST(DiagramAxes, DbGridLineCountsByDecades)
{
    struct Case {
        float min, max;
        int lines;
    } cases[] = {{0.01f, 0.1f, 10}, {0.01f, 1.0f, 8}, {0.001f, 1.0f, 6}, {1e-4f, 1.0f, 8}, {1e-6f, 1.0f, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.min);
        Diagram d;
        d.YAxis = kYAxisDb;
        d.fMinY = c.min;
        d.fMaxY = c.max;
        const DiagramAxes axes = Axes(d);
        EXPECT_EQ(axes.GridCountY, c.lines);
        EXPECT_EQ(DiagramYGridLines(d, axes).size(), static_cast<size_t>(c.lines));
        const auto labels = DiagramYLabels(d, axes);
        ASSERT_EQ(labels.size(), static_cast<size_t>(c.lines + 1));
        EXPECT_FLOAT_EQ(labels.front().Value, 20.0f * d.fDecadeMinY);
        EXPECT_FLOAT_EQ(labels.back().Value, 20.0f * d.fDecadeMaxY);
        EXPECT_FLOAT_EQ(labels.back().Pixel, d.rectPlot.top);
    }
}

// A log y axis from 0 starts at 1.1e-12 and maps 0 below the plot; a log x
// axis is labelled at whole decades.
TEST(DiagramAxes, LogAxesFromZeroAndAtDecades)
{
    Diagram d;
    d.YAxis = kYAxisLog;
    d.fMinY = 0;
    d.fMaxY = 1;
    d.bLogX = 1;
    d.fMinX = 2e4f;
    d.fMaxX = 1e9f;
    const DiagramAxes axes = Axes(d);
    EXPECT_FLOAT_EQ(d.fMinY, 1.1e-12f);
    EXPECT_EQ(d.fDecadeMinY, -12);
    EXPECT_EQ(axes.GridCountY, 12);
    EXPECT_EQ(DiagramYGridLines(d, axes).size(), 12u * 9u);
    EXPECT_GT(DiagramValueToPixel(d, axes, 0.0f), d.rectPlot.bottom);
    EXPECT_FLOAT_EQ(DiagramValueToPixel(d, axes, 0.0f), DiagramValueToPixel(d, axes, 1e-20f));
    EXPECT_FLOAT_EQ(DiagramValueToPixel(d, axes, 1.0f), d.rectPlot.top);

    EXPECT_EQ(d.fDecadeMinX, 4);
    EXPECT_EQ(d.fDecadeMaxX, 9);
    const auto labels = DiagramXLabels(d, axes);
    ASSERT_EQ(labels.size(), 6u);
    EXPECT_FLOAT_EQ(labels[0].Value, 1e4f);
    EXPECT_FLOAT_EQ(labels[5].Pixel, d.rectPlot.right);
    EXPECT_EQ(DiagramXGridLines(d, axes).size(), 5u * 9u);
}

TEST(DiagramAxes, LinearGridCountsAndLabelSteps)
{
    Diagram d;
    d.fMinX = 0;
    d.fMaxX = 1e9f;
    d.fGridX = 1e8f;
    d.fMinY = 0;
    d.fMaxY = 1;
    d.fGridY = 0.01f;  // 100 steps; only 20 label rows fit in 376 pixels
    DiagramAxes axes = Axes(d);
    EXPECT_EQ(axes.GridCountX, 10);
    EXPECT_GE(axes.GridCountY, 99);
    const auto y = DiagramYLabels(d, axes);  // thinned to the 20 label rows of 18 pixels that fit
    const int step = axes.GridCountY / (376 / 18) + 1;
    ASSERT_GE(y.size(), 2u);
    EXPECT_NEAR(y[1].Value - y[0].Value, step * 0.01f, 1e-6);
    EXPECT_EQ(DiagramXLabels(d, axes).size(), 11u);
    EXPECT_EQ(DiagramXGridLines(d, axes).size(), 10u);

    d.fGridX = 0;  // a zero step draws no grid instead of looping forever
    d.fGridY = 1e-12f;
    axes = Axes(d);
    EXPECT_EQ(axes.GridCountX, 0);
    EXPECT_LE(axes.GridCountY, kDiagramMaxGridLines);
}

// Clicking where a value is drawn reads that value back on every axis kind;
// C and L are those with that reactance at that frequency.
TEST(DiagramAxes, ReadoutInvertsTheMapping)
{
    for (unsigned yAxis : {kYAxisLinear, kYAxisLog, kYAxisDb}) {
        for (unsigned logX : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << "y axis " << yAxis << " log x " << logX);
            Diagram d;
            d.YAxis = yAxis;
            d.bLogX = logX;
            d.fMinX = 1e6f;
            d.fMaxX = 1e9f;
            d.fMinY = 0.001f;
            d.fMaxY = 10.0f;
            const DiagramAxes axes = Axes(d);
            const float px = DiagramXToPixel(d, axes, 1e8f);
            const float py = DiagramValueToPixel(d, axes, 0.5f);
            DiagramReadout r;
            ASSERT_EQ(DiagramReadoutAt(d, static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)), &r), 0);
            EXPECT_NEAR(r.Frequency / 1e8, 1.0, 0.05);
            EXPECT_NEAR(r.Value / 0.5, 1.0, 0.05);
            EXPECT_NEAR(r.Capacitance * r.Value * r.Frequency * 6.2831855, 1.0, 1e-6);
            EXPECT_NEAR(r.Inductance * r.Frequency * 6.2831855 / r.Value, 1.0, 1e-6);
        }
    }
}

TEST(DiagramAxes, LayoutAndClicksOnlyInsidePlot)
{
    Diagram d;
    EXPECT_EQ(SetDiagramLayout(&d, -1, 5), -1);
    Axes(d);  // the plot edges follow from margins and font
    DiagramReadout r;
    EXPECT_EQ(DiagramPointInPlot(d, 54, 24), 1);
    EXPECT_EQ(DiagramPointInPlot(d, 651, 400), 1);
    EXPECT_EQ(DiagramPointInPlot(d, 53, 100), 0);
    EXPECT_EQ(DiagramPointInPlot(d, 100, 401), 0);
    EXPECT_EQ(DiagramReadoutAt(d, 10, 10, &r), -1);
}

TEST(DiagramAxes, RoundUpToOneSignificantDigit)
{
    struct Case {
        float in, out;
    } cases[] = {{0.37f, 0.4f}, {12.0f, 20.0f}, {100.0f, 100.0f}, {0.3f, 0.3f},
                 {1000.0f, 1000.0f}, {4.01e-7f, 5e-7f}, {0.0f, 0.0f}, {-3.0f, -3.0f}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(RoundUpToOneSignificantDigit(c.in), c.out) << c.in;
    EXPECT_TRUE(std::isnan(RoundUpToOneSignificantDigit(NAN)));
}

}  // namespace
