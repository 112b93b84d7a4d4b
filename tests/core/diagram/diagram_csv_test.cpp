#include <gtest/gtest.h>

#include "../util/test_files.h"
#include "diagram/diagram_axes.h"
#include "diagram/diagram_csv.h"

using namespace korvex;

namespace {

TEST(DiagramCsv, HeaderAndRowsOfCurvesWithData)
{
    Diagram d;
    ASSERT_EQ(InitDiagramData(&d, "Zin(i000)", 0, 3), 0);
    ASSERT_EQ(InitDiagramData(&d, "OptiCap", 4, 2), 0);
    for (int k = 0; k < 3; ++k) SetDataPoint(&d, 0, k, 1e6f * (k + 1), 0.5f, -0.25f * k);
    SetDataPoint(&d, 4, 0, 1e6f, 2, 0);
    SetDataPoint(&d, 4, 1, 2e6f, 3, 0);
    d.Curve[4].bValid = 0;  // hidden curves are written too
    EXPECT_EQ(DiagramCurvesCsv(&d, kDiagramDataCurves),
              "frequency_Hz,Zin(i000)_ohm.re,Zin(i000)_ohm.im,OptiCap_ohm.abs\n"
              "1e+06,0.5,-0,2\n"
              "2e+06,0.5,-0.25,3\n"
              "3e+06,0.5,-0.5,\n");
    EXPECT_EQ(DiagramCurvesCsv(&d, kDiagramReferenceCurves), "");
}

TEST(DiagramCsv, SaveRefusesEmptyDiagramAndWritesFile)
{
    test_files::TempFolder t("diagram_csv");
    const std::string path = t.Path("ref.csv");
    Diagram d;
    std::string error;
    EXPECT_EQ(SaveDiagramCurvesCsv(&d, kDiagramReferenceCurves, path.c_str(), &error), -1);
    EXPECT_FALSE(error.empty());
    ASSERT_EQ(InitDiagramDataRef(&d, "S21", 2, 1), 0);
    SetDataPointRef(&d, 2, 0, 5e8f, 0.125f, 1);
    ASSERT_EQ(SaveDiagramCurvesCsv(&d, kDiagramReferenceCurves, path.c_str(), &error), 0) << error;
    EXPECT_EQ(test_files::ReadText(path), "frequency_Hz,S21.re,S21.im\n5e+08,0.125,1\n");
    EXPECT_EQ(SaveDiagramCurvesCsv(&d, kDiagramReferenceCurves, t.Path("no/x.csv").c_str(), &error), -1);
}

TEST(DiagramReadoutText, LinesByAxisMode)
{
    Diagram d;
    ASSERT_EQ(SetDiagramLayout(&d, 654, 424), 0);
    DiagramReadout r;
    r.Frequency = 1e6;
    r.Value = 0.05;
    r.Capacitance = 3.183e-6;
    r.Inductance = 7.96e-9;
    r.Decibel = -26.0;
    DiagramReadoutText text = FormatDiagramReadout(d, r, 100);
    EXPECT_EQ(text.Line1.rfind("Hz "), text.Line1.find("Hz "));
    EXPECT_NE(text.Line1.find("Ohm"), std::string::npos);
    EXPECT_EQ(text.Line2.substr(0, 2), "C=");
    EXPECT_NE(text.Line2.find("F L="), std::string::npos);
    EXPECT_FALSE(text.RightAligned);
    d.YAxis = kYAxisDb;
    text = FormatDiagramReadout(d, r, 500);
    EXPECT_NE(text.Line1.find("dB"), std::string::npos);
    EXPECT_TRUE(text.Line2.empty());
    EXPECT_TRUE(text.RightAligned);
}

}  // namespace
