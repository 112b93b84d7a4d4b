#include <gtest/gtest.h>

#include <cmath>

#include "pdn/cap_tuning.h"
#include "pdn/spice_fit.h"
#include "pdn_test_support.h"
#include "util/debug_log.h"

using namespace korvex;
using namespace korvex::pdn_test;

namespace {

const CapRecord kTarget = Branch(1e-6f, 0.01f, 1e-9f);

float Quantity(const CapRecord& c, int parameter)
{
    switch (parameter) {
    case kTweakCapacitance: return c.Capacitance;
    case kTweakESR: return c.ESR;
    case kTweakESL: return c.ESL;
    case kTweakQuality: return static_cast<float>(CapQualityFactor(c.Capacitance, c.ESR, c.ESL));
    default: return static_cast<float>(CapResonanceFrequency(c.Capacitance, c.ESL));
    }
}

int ScaleBy(int parameter)
{
    return parameter == kTweakQuality ? kCapQuality : parameter == kTweakResonance ? kCapResonance : parameter;
}

// The branch to fit starts `startSteps` factor-steps away from the curve's branch.
CapRecord Offset(int parameter, int startSteps, float factor)
{
    CapRecord c = kTarget;
    for (int i = 0; i < std::abs(startSteps); ++i)
        ScaleCapQuantity(&c.Capacitance, &c.ESR, &c.ESL, ScaleBy(parameter),
                         startSteps > 0 ? 1.0 / factor : factor);
    return c;
}

// For each of the five parameters: improving steps stay, the last step
// evaluated in a direction is undone, the budget limits the upward search.
TEST(SpiceFit, TweakKeepsImprovingStepsAndUndoesTheLast)
{
    const float factor = 1.1f;
    struct Case {
        int stepsBelow;   // how far below the optimum the branch starts
        int stepsKept;    // where it should end, in steps above the start
    } cases[] = {
        {2, 2},   // up, up (optimum), up is worse and undone; down is worse and undone
        {0, 0},   // every first step raises the error: unchanged
        {-2, -2}, // starts above: the upward step is undone, two downward steps stay
        {6, 3},   // four improving steps use the budget; the fourth is undone anyway
        // One upward step was spent (and undone): 4 - 1 + 1 = 4 downward steps,
        // all improving, the fourth undone for the budget.
        {-6, -3},
    };
    const std::vector<double> f = LogGrid(1e5, 1e9, 81);
    ZinSamples zin;
    zin.Freq.assign(f.begin(), f.end());
    zin.Z = ParallelBranches(f, {kTarget});
    for (int parameter = kTweakCapacitance; parameter <= kTweakResonance; ++parameter) {
        for (const Case& c : cases) {
            const CapRecord start = Offset(parameter, c.stepsBelow, factor);
            CapList list{start};
            SpiceFit fit;
            ASSERT_EQ(InitSpiceFit(&fit, &list, zin), 0);
            const float before = fit.Error;
            ASSERT_EQ(OptimizeSpice_TweakValue(&fit, 0, parameter, factor), 0);
            const double expected = Quantity(start, parameter) * std::pow(factor, c.stepsKept);
            EXPECT_NEAR(Quantity(fit.Caps[0], parameter) / expected, 1.0, 1e-4)
                << "parameter " << parameter << " start " << c.stepsBelow;
            EXPECT_LE(fit.Error, before);
            EXPECT_FLOAT_EQ(fit.Error, OptimizeSpice_calculate_efficiency(&fit));
        }
    }
}

TEST(SpiceFit, ErrorIsTheSumOfSquaredLogMismatches)
{
    // A 2-ohm resistor (1000 F, no ESL: no reactance to speak of) against a
    // port of 1 ohm and of 0.1 ohm: log10 mismatches 0.30103 and 1.30103.
    ZinSamples zin;
    zin.Freq = {1e6f, 2e6f};
    zin.Z = {Complex(1.0, 0), Complex(0.1, 0)};
    CapList list{Branch(1000.0f, 2.0f, 0.0f)};
    SpiceFit fit;
    ASSERT_EQ(InitSpiceFit(&fit, &list, zin), 0);
    EXPECT_NEAR(fit.Error, 0.30103 * 0.30103 + 1.30103 * 1.30103, 1e-5);
}

TEST(SpiceFit, FitLowersErrorOnKnownCircuit)
{
    const std::vector<CapRecord> truth = {Branch(1e-6f, 0.01f, 1e-9f), Branch(10e-9f, 0.02f, 0.3e-9f),
                                          Branch(1000.0f, 0.005f, 2e-9f)};
    const std::vector<double> f = LogGrid(1e4, 1e9, 101);
    const std::vector<DComplex> z = ParallelBranches(f, truth);
    Board b;
    AddPort(b.board, 0, 1, 1, 0);
    Diagram diagram;
    ASSERT_EQ(SetPortZinCurve(&diagram, 0, 0, static_cast<int>(f.size()), f.data(), z.data()), 0);
    CapList list{Branch(1.5e-6f, 0.02f, 0.6e-9f), Branch(6e-9f, 0.01f, 0.5e-9f), Branch(1000.0f, 0.01f, 1e-9f)};

    SpiceFit start;
    ZinSamples samples;
    ASSERT_EQ(CopyDiagramCurve(&diagram, 0, &samples), 0);
    ASSERT_EQ(InitSpiceFit(&start, &list, samples), 0);

    DebugCapture log;
    ASSERT_EQ(OptimizeSpiceCircuit(&b.board, &diagram, &list, 1, nullptr), 0);
    EXPECT_TRUE(log.Contains("Optimize Spice Circuit\r\n"));
    EXPECT_TRUE(log.Contains("Eff = "));
    SpiceFit after;
    ASSERT_EQ(InitSpiceFit(&after, &list, samples), 0);
    EXPECT_LT(after.Error, 0.1f * start.Error);
    EXPECT_STREQ(diagram.Curve[1].szName, "OptiSpiceCircuit");
    EXPECT_EQ(list.Caps[2].Index, 2u);  // whole records come back
}

TEST(SpiceFit, RefusalsLeaveTheListAlone)
{
    Board b;
    Diagram diagram;
    CapList list, empty, tooLong;
    InitCapDatabaseCreateSpice(&list);
    for (int i = 0; i <= kSpiceFitMaxBranches; ++i) AddCap(&tooLong, i, &kTarget);
    const std::vector<double> f = LogGrid(1e5, 1e9, 11);
    const std::vector<DComplex> z = ParallelBranches(f, {kTarget});
    const auto refused = [&](CapDatabase* branches, int sensitivity, const char* text) {
        PdnMessage message;
        EXPECT_EQ(OptimizeSpiceCircuit(&b.board, &diagram, branches, sensitivity, &message), -1);
        EXPECT_NE(message.Text.find(text), std::string::npos) << message.Text;
    };
    refused(&list, 1, "Did not find Port 0");
    AddPort(b.board, 0, 0, 0, 0);
    refused(&list, 1, "You need a Zin Diagram for Port0");
    ASSERT_EQ(SetPortZinCurve(&diagram, 9, 0, 11, f.data(), z.data()), 0);
    refused(&list, 1, "last diagram slot");
    KillDiagram(&diagram);
    ASSERT_EQ(SetPortZinCurve(&diagram, 2, 0, 11, f.data(), z.data()), 0);
    refused(&list, 3, "sensitivity");
    refused(&empty, 1, "1 to 100 branches");
    refused(&tooLong, 1, "1 to 100 branches");
    const CapRecord r = GetCap(&list, 0);
    EXPECT_EQ(r.Capacitance, 1e-7f);
    EXPECT_EQ(r.ESR, 0.01f);
    EXPECT_EQ(diagram.Curve[3].PointCount, 0);
}

TEST(SpiceFit, SubcircuitTextWritesInductorsAndCapacitors)
{
    CapList list{Branch(1000.0f, 0.005f, 2e-9f)};  // 100 F and more is an inductor
    const CapRecord cap = Branch(1e-7f, 0.01f, 1e-9f);
    EXPECT_EQ(SpiceSubcircuitText(&list), ".subckt PDN n1 n2\r\nL1 n1 n2 2.000000e-09 Rser=5.000000e-03 Cpar=0\r\n.ends\r\n");
    AddCap(&list, 1, &cap);
    EXPECT_NE(SpiceSubcircuitText(&list).find("C2 n1 n2 1.000000e-07 Rser=1.000000e-02 Lser=1.000000e-09 Cpar=0\r\n"),
              std::string::npos);
}

// 1 uF, 10 mOhm, 1 nH: fRes = 1 / (2 pi sqrt(L C)) = 5.0329 MHz, Q = sqrt(L / C) / R = 3.1623.
TEST(CapTuning, ResonanceAndQualityKeepEachOther)
{
    float c = 1e-6f, esr = 0.01f, esl = 1e-9f;
    const double q = CapQualityFactor(c, esr, esl);
    const double fRes = CapResonanceFrequency(c, esl);
    EXPECT_NEAR(fRes, 5032921.2, 10.0);
    EXPECT_NEAR(q, 3.1622777, 1e-5);
    ASSERT_EQ(ScaleCapQuantity(&c, &esr, &esl, kCapResonance, 1.25), 0);
    EXPECT_NEAR(CapResonanceFrequency(c, esl) / fRes, 1.25, 1e-5);
    EXPECT_NEAR(CapQualityFactor(c, esr, esl) / q, 1.0, 1e-5);
    EXPECT_EQ(esr, 0.01f);
    ASSERT_EQ(ScaleCapQuantity(&c, &esr, &esl, kCapQuality, 0.8), 0);
    EXPECT_NEAR(CapResonanceFrequency(c, esl) / fRes, 1.25, 1e-5);
    EXPECT_NEAR(CapQualityFactor(c, esr, esl) / q, 0.8, 1e-5);

    float zeroEsr = 0;
    EXPECT_EQ(ScaleCapQuantity(&c, &zeroEsr, &esl, kCapQuality, 2.0), -1);
    EXPECT_EQ(ScaleCapQuantity(&c, &esr, &esl, 7, 2.0), -1);
}

}  // namespace
