#include <gtest/gtest.h>

#include <algorithm>

#include "pdn/opti_cap.h"
#include "pdn_test_support.h"
#include "util/debug_log.h"

using namespace korvex;
using namespace korvex::pdn_test;

namespace {

struct OptiCapFixture : ::testing::Test {
    Board b;
    Diagram diagram;
    CapList catalogue;
    std::vector<double> f = LogGrid(1e5, 1e9, 121);

    void SetUp() override { InitCapDatabase(&catalogue); }

    void PutZin(int slot, uint32_t port, const std::vector<DComplex>& z)
    {
        ASSERT_EQ(SetPortZinCurve(&diagram, slot, port, static_cast<int>(f.size()), f.data(), z.data()), 0);
    }
    std::vector<Cap> PlacedCaps() const
    {
        std::vector<Cap> caps;
        for (Part* p = GetFirstPart(&b.board); p != nullptr; p = GetNextPart(p))
            if (p->Kind == PART_CAP) caps.push_back(*PartRecord<Cap>(p));
        return caps;
    }
    CapBank Bank(const OptiCapParam& param, const std::vector<DComplex>& z, const CapDatabase& from)
    {
        CapBank bank;
        ZinSamples zin;
        zin.Freq.assign(f.begin(), f.begin() + z.size());
        zin.Z = z;
        EXPECT_EQ(InitCapBank(&bank, &param, &from, zin), 0);
        return bank;
    }
};

TEST_F(OptiCapFixture, PlaneMeetsTargetWithFewCapacitorsPlacedOnThePort)
{
    AddPort(b.board, 0, 17, 23, 1);
    AddCapacitor(b.board, 0);  // references 0 and 2 are taken
    AddCapacitor(b.board, 2);
    PutZin(0, 0, PlaneZin(f));
    const OptiCapParam param{.TargetImpedance = 0.05f, .TargetFrequency = 5e7f};
    DebugCapture log;
    ASSERT_EQ(OptimizeCaps(&b.board, &diagram, &param, &catalogue, nullptr), 0);
    EXPECT_TRUE(log.Contains("Capacitor Array \r\n"));
    EXPECT_TRUE(log.Contains("Max Impedance @"));

    const DiagramCurve& result = diagram.Curve[1];
    ASSERT_STREQ(result.szName, "OptiCap");
    ASSERT_EQ(result.PointCount, static_cast<int>(f.size()));
    double worst = 0;
    for (int k = 0; k < result.PointCount && result.pX[k] <= param.TargetFrequency; ++k)
        worst = std::max(worst, static_cast<double>(result.pY[k]));
    EXPECT_LE(worst, 1.02 * param.TargetImpedance);

    std::vector<Cap> caps = PlacedCaps();
    caps.erase(caps.begin(), caps.begin() + 2);
    ASSERT_GE(caps.size(), 2u);
    ASSERT_LE(caps.size(), 5u);
    const uint32_t expectedRefs[] = {1, 3, 4, 5, 6};
    for (size_t i = 0; i < caps.size(); ++i) {
        EXPECT_EQ(caps[i].Ref, expectedRefs[i]);
        EXPECT_EQ(std::vector<uint32_t>({caps[i].x, caps[i].y, caps[i].Layer}), std::vector<uint32_t>({17, 23, 1}));
        EXPECT_GT(caps[i].Capacitance, 0.0f);
    }
}

TEST_F(OptiCapFixture, ErrorSumsSquaredExcessUpToAndAtTheTargetFrequency)
{
    // Target 0.1 ohm; the 0.05-ohm point is below it and never counts.
    f = {1e6, 2e6, 3e6, 4e6};
    const std::vector<DComplex> z = {Complex(1.0, 0), Complex(0.05, 0), Complex(0.5, 0), Complex(10.0, 0)};
    const struct {
        float targetFrequency;
        double error;
    } cases[] = {
        {2.9e6f, 0.81},                // (1 - 0.1)^2
        {3e6f, 0.81 + 0.16},           // the point at the target frequency counts
        {4e6f, 0.81 + 0.16 + 98.01},   // (10 - 0.1)^2
    };
    for (const auto& c : cases) {
        CapBank bank = Bank({.TargetImpedance = 0.1f, .TargetFrequency = c.targetFrequency}, z, catalogue);
        EXPECT_NEAR(calculate_efficiency(&bank), c.error, 1e-5 * c.error) << c.targetFrequency;
    }
}

TEST_F(OptiCapFixture, DescentRunsPassesUntilNothingChanges)
{
    // Resistors (1000 F, no ESL) in parallel with an open port, target 1.05 ohm.
    // Catalogue 100, 2, 1.2, 3 ohm; the bank starts as 100 | 100.
    // Pass 1: slot 0 takes 1.2 (1.2 | 100 = 1.186 is the lowest), slot 1 then
    // takes 2 (the first record with 1.2 | R <= 1.05). Pass 2: with 2 in slot 1,
    // slot 0 takes 2 as well (2 | 2 = 1, the first with no error). Pass 3: no change.
    f = {1e6};
    CapList resistors;
    for (float r : {100.0f, 2.0f, 1.2f, 3.0f}) {
        const CapRecord record = Branch(1000.0f, r, 0.0f);
        AddCap(&resistors, resistors.Count, &record);
    }
    CapBank bank = Bank({.TargetImpedance = 1.05f}, {Complex(1e9, 0)}, resistors);
    bank.Count = 2;
    for (int slot : {0, 1}) {
        bank.Caps[slot] = GetCap(&resistors, 0);
        bank.CatalogueIndex[slot] = 0;
    }
    search_better_capacitors(&bank);
    EXPECT_EQ(bank.CatalogueIndex[0], 1);
    EXPECT_EQ(bank.CatalogueIndex[1], 1);
    EXPECT_EQ(bank.Caps[0].ESR, 2.0f);
    EXPECT_EQ(bank.Error, 0.0f);
}

TEST_F(OptiCapFixture, MaxOneCapacitorOnAnotherPortAndSlot)
{
    AddPort(b.board, 4);
    PutZin(3, 4, PlaneZin(f));
    const OptiCapParam param{.TargetImpedance = 0.01f, .MaxCapacitors = 1, .TargetPort = 4};
    ASSERT_EQ(OptimizeCaps(&b.board, &diagram, &param, &catalogue, nullptr), 0);
    EXPECT_EQ(PlacedCaps().size(), 1u);
    EXPECT_STREQ(diagram.Curve[4].szName, "OptiCap");
}

TEST_F(OptiCapFixture, RefusalsChangeNothing)
{
    AddPort(b.board, 0);
    AddPort(b.board, 9);
    PutZin(9, 9, PlaneZin(f));
    struct Case {
        OptiCapParam param;
        const char* text;
    } cases[] = {
        {{.TargetPort = 3}, "Did not find Port 3"},
        {{.TargetPort = 0}, "You need a Zin Diagram for Port0"},
        {{.TargetPort = 9}, "last diagram slot"},
        {{.MaxCapacitors = 0, .TargetPort = 9}, "Max. No of Capacitors"},
        {{.MaxCapacitors = 101, .TargetPort = 9}, "Max. No of Capacitors"},
        {{.TargetImpedance = 0, .TargetPort = 9}, "Target Impedance"},
    };
    for (const Case& c : cases) {
        PdnMessage message;
        EXPECT_EQ(OptimizeCaps(&b.board, &diagram, &c.param, &catalogue, &message), -1);
        EXPECT_NE(message.Text.find(c.text), std::string::npos) << message.Text;
        EXPECT_EQ(message.Caption, "Error");
    }
    EXPECT_TRUE(PlacedCaps().empty());
    for (int i = 0; i < 9; ++i) EXPECT_EQ(diagram.Curve[i].PointCount, 0);
}

TEST_F(OptiCapFixture, AddingStopsWhenNothingHelpsAndPlacingWhenReferencesRunOut)
{
    // One point where the port is a capacitive -j1 ohm; the only catalogue
    // part is inductive (+j2 ohm at w = 1e6), which would raise |Z| to 2 ohm.
    f = {1e6 / kTwoPi};
    CapList inductive{Branch(1.0f, 0.0f, 2e-6f)};
    CapBank bank = Bank({.TargetImpedance = 0.1f}, {Complex(0, -1)}, inductive);
    const float before = calculate_efficiency(&bank);
    EXPECT_EQ(add_capacitor(&bank), -1);
    EXPECT_EQ(bank.Count, 0u);
    EXPECT_EQ(bank.Error, before);

    // Placement stops when the capacitor references run out.
    for (uint32_t ref = 0; ref < 199; ++ref) AddCapacitor(b.board, ref);
    bank.Count = 3;
    DebugCapture log;
    EXPECT_EQ(PlaceCapBank(&b.board, Port{}, &bank), 1u);  // only reference 199 is left
    EXPECT_EQ(PlacedCaps().back().Ref, 199u);
    EXPECT_TRUE(log.Contains("No free capacitor reference left"));
}

}  // namespace
