// The closing blocks of the AC netlist and the board checks before the AC
// analyses.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "board/settings.h"
#include "netlist/ac_frequency_plan.h"
#include "netlist/ac_preconditions.h"
#include "netlist_test_board.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace netlist_test;
using korvex::NetlistWriter;

namespace {

std::vector<std::string> Plan(const Settings& settings, uint32_t mode)
{
    return Lines(Written([&](NetlistWriter& out) { WriteAcFrequencyPlan(out, &settings, mode); }));
}

Settings Sweep(double start, double stop, uint32_t points, uint32_t steps, bool logAxis)
{
    Settings s;
    s.StartFrequency = start, s.StopFrequency = stop, s.NumberOfPoints = points, s.Steps = steps;
    s.LogFrequencyAxis = logAxis;
    return s;
}

}  // namespace

TEST(AcFrequencyPlan, PlansAndParameterBlockMatchGoldenFile)
{
    Settings single;
    single.ZinDistributionFrequency = 1.5e8;
    const std::tuple<const char*, Settings, uint32_t> plans[] = {
        {"linear, 10 sub-bands of 10 points", Sweep(1e6, 1e8, 100, 10, false), 9094},
        {"linear, one step over the whole band", Sweep(1e6, 1e8, 100, 1, false), 9093},
        {"linear, 3 steps", Sweep(1e6, 1e8, 100, 3, false), 9089},
        {"logarithmic, 20 points per decade in 10 steps", Sweep(1e4, 1e9, 100, 10, true), 9092},
        {"single frequency, Z @f", single, 9095},
        {"single frequency, current density @f", single, 9087},
        {"single frequency, voltage noise @f", single, 9090},
    };
    std::string text;
    for (const auto& plan : plans)
        text += std::string("** ") + std::get<0>(plan) + "\n" + Written([&](NetlistWriter& out) {
                    WriteAcFrequencyPlan(out, &std::get<1>(plan), std::get<2>(plan));
                });
    TestBoard b(2, 2, 2);
    b.board.ElectricalConductivity = 5.8e7f;
    b.board.CopperThickness[1] = 7e-5f;
    text += "** parameters of a 2-layer board, 58 MS/m, 35 and 70 um copper\n" +
            Written([&](NetlistWriter& out) { WriteAcParameterBlock(out, &b.board); });
    ExpectGolden("ac_frequency_plans.cir", text);
}

TEST(AcFrequencyPlan, UnusablePlansAreRefused)
{
    DebugCapture log;  // more steps than points: no point per sub-band, and the log says why
    EXPECT_EQ(Plan(Sweep(1e6, 1e8, 5, 10, false), 9088)[3], ".ac lin 0 {f1} {f2}");
    EXPECT_TRUE(log.Contains("NumberOfPoints 5 is less than Steps 10"));
    std::string why;
    EXPECT_EQ(CheckAcFrequencyPlan(&gSettings, 9094, &why), 0);
    EXPECT_EQ(CheckAcFrequencyPlan(&gSettings, 9095, &why), 0);
    const std::vector<std::pair<Settings, uint32_t>> bad = {
        {Sweep(1e6, 1e8, 100, 0, false), 9094},  // no step: would divide by zero
        {Sweep(0, 1e8, 100, 10, true), 9093},    // log10(0)
        {Sweep(1e6, 1e6, 100, 10, true), 9089},  // no decade to spread points over
        {Sweep(-1, 1e8, 100, 10, false), 9088},
    };
    for (const auto& [settings, mode] : bad) EXPECT_EQ(CheckAcFrequencyPlan(&settings, mode, &why), -1) << mode;
    Settings zero;
    zero.ZinDistributionFrequency = 0;
    EXPECT_EQ(CheckAcFrequencyPlan(&zero, 9090, &why), -1);
    EXPECT_EQ(why, "the analysis frequency must be positive");
    const Settings fromZero = Sweep(0, 1e8, 100, 10, false);
    EXPECT_EQ(CheckAcFrequencyPlan(&fromZero, 9094, &why), 0);  // a linear sweep may start at 0 Hz
}

TEST(AcPreconditions, LayerCountAndReferencePlanes)
{
    const struct {
        int layers;
        std::vector<int> fullLayers;  // the others miss one pixel
        uint32_t mode;
        const char* text;  // null: accepted
        const char* caption;
    } cases[] = {
        {3, {0, 1, 2}, 9094, "Only 2 and 4 Layer Boards supported", "Change Layerstack"},
        {1, {0}, 9095, "Only 2 and 4 Layer Boards supported", "Change Layerstack"},
        {4, {0, 3}, 9087, nullptr, nullptr},
        {4, {0}, 9090, "Top and Bottom have to be filled with copper", "Fill Reference Planes"},
        {4, {3}, 9094, "Top and Bottom have to be filled with copper", "Fill Reference Planes"},
        {2, {1}, 9095, nullptr, nullptr},
        {2, {0}, 9094, "Bottom has to be filled with copper", "Fill Reference Plane"},
        {3, {}, 9093, nullptr, nullptr},  // the dialog modes do not check the layer stack
        {2, {0}, 9092, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.layers << " layers, mode " << c.mode);
        TestBoard b(c.layers, 3, 2);
        for (int l = 0; l < c.layers; ++l) {
            b.FillCopper(l);
            if (std::find(c.fullLayers.begin(), c.fullLayers.end(), l) == c.fullLayers.end())
                b.board.CopperMatrix[2][1][l] = 0.0f;
        }
        const Status allowed = AcPreconditions(&b.board, c.mode);
        AcRefusal refusal;
        const int result = CheckAcPreconditions(&b.board, c.mode, &refusal);
        if (c.text == nullptr) {
            EXPECT_TRUE(allowed.IsOk());
            EXPECT_EQ(result, 0);
        } else {
            EXPECT_EQ(allowed.Reason(), c.text);
            EXPECT_EQ(allowed.Caption(), c.caption);
            EXPECT_EQ(result, -1);
            EXPECT_STREQ(refusal.Text, c.text);
            EXPECT_STREQ(refusal.Caption, c.caption);
        }
    }
}
