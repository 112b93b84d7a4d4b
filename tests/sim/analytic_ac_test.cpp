// Lossless line against its textbook impedance, and the solvers against each other.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <sstream>

#include "sim_test_support.h"
#include "sim_netlist_generators.h"

namespace korvex::sim::test {
namespace {

using C = std::complex<double>;
const C j(0, 1);

// The plane-pair netlist of the benchmarks as text (map: one .net per node at frequency).
std::string planePairDeck(const bench::PlanePair& plane, bool map, double frequency, int pointsPerDecade = 10)
{
    const auto path = scratchDir() / "plane_pair.cir";
    EXPECT_TRUE(bench::writePlanePairNetlist(path.string(), plane, map, frequency, pointsPerDecade));
    return readText(path);
}

// Zin = Z0 (ZL + j Z0 tan(bl)) / (Z0 + j ZL tan(bl)), bl = omega * Td.
C lineInputImpedance(double z0, double zl, double td, double f)
{
    const double t = std::tan(2 * M_PI * f * td);
    return z0 * (zl + j * z0 * t) / (z0 + j * zl * t);
}

TEST(LosslessLine, InputImpedanceFollowsTheLineEquation)
{
    // From far below the first resonance (where a difference of large terms would lose all
    // digits) up to a few wavelengths; 4-terminal line with a floating reference as well.
    // At 1 Hz the line is a 3e-7 ohm link to the load: the elimination itself costs digits in
    // any nodal solver, hence 1e-8 rather than machine precision.
    const double td = 1e-9, z0 = 50, zl = 10;
    const DeckRun run = runDeck(
        "* line\nI1 0 a AC 1\nT1 a 0 b 0 Td=1n Z0=50\nRL b 0 10\n"
        "I2 0 c AC 1\nRr r 0 1e-3\nT2 c r d r Td=1n Z0=50\nRL2 d r 10\n"
        ".save V(a) V(c)\n.ac dec 5 1 10g\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_GT(run.raw.points, 40u);
    const int va = run.raw.index("V(a)"), vc = run.raw.index("V(c)");
    for (size_t p = 0; p < run.raw.points; ++p) {
        const double f = run.raw.value(p, 0).real();
        const C want = lineInputImpedance(z0, zl, td, f);
        EXPECT_LE(std::abs(run.raw.value(p, va) - want), 1e-8 * std::abs(want)) << "f = " << f;
        const C floating = want + 1e-3;  // the reference resistor is in series
        EXPECT_LE(std::abs(run.raw.value(p, vc) - floating), 1e-8 * std::abs(floating)) << "f = " << f;
    }
}

TEST(LosslessLine, MatchedLineHasNoReflectionAndAPureDelay)
{
    const DeckRun run = runDeck("* matched\nV1 in 0 RSER=50 AC=1\nT1 in 0 out 0 Td=0.3n Z0=50\nRterm out 0 50\n"
                                ".net I(Rterm) V1\n.ac lin 7 10meg 3g\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    const int s11 = run.raw.index("S11(v1)"), s21 = run.raw.index("S21(v1)"), s12 = run.raw.index("S12(v1)"),
              s22 = run.raw.index("S22(v1)");
    ASSERT_GE(s11, 0);
    for (size_t p = 0; p < run.raw.points; ++p) {
        const double w = 2 * M_PI * run.raw.value(p, 0).real();
        const C delay = std::exp(-j * w * 0.3e-9);
        EXPECT_LT(std::abs(run.raw.value(p, s11)), 1e-12);
        EXPECT_LT(std::abs(run.raw.value(p, s22)), 1e-12);
        EXPECT_LT(std::abs(run.raw.value(p, s21) - delay), 1e-12);
        EXPECT_LT(std::abs(run.raw.value(p, s12) - delay), 1e-12);
    }
}

// At whole numbers of half waves the pi network of the line has no finite admittances; the
// result must still follow the chain equations V1 = cos(t) V2 + j Z0 sin(t) I2,
// I1 = j sin(t) V2 / Z0 + cos(t) I2 there and beside it.
TEST(LosslessLine, HalfAndWholeWavesGiveTheChainEquationValues)
{
    struct Case {
        double rs, rl;
        const char* sweep;
    } cases[] = {
        {50, 50, ".ac lin 11 450meg 550meg"},  // matched: |V(out)| = 0.5 everywhere, theta = pi at 500 MHz
        {10, 200, ".ac lin 10 100meg 1g"},     // theta = pi at 500 MHz and 2 pi at 1 GHz
        {50, 50, ".ac lin 3 1.5g 2.5g"},       // 3 pi, 4 pi, 5 pi
    };
    const double td = 1e-9, z0 = 50;
    for (const Case& c : cases) {
        std::ostringstream deck;
        deck << "* half wave\nV1 in 0 RSER=" << c.rs << " AC=1\nT1 in 0 out 0 Td=1n Z0=50\nRterm out 0 " << c.rl
             << "\n.save V(out)\n" << c.sweep << "\n.end\n";
        const DeckRun run = runDeck(deck.str());
        ASSERT_EQ(run.exitCode, 0) << run.log;
        const int out = run.raw.index("V(out)");
        for (size_t p = 0; p < run.raw.points; ++p) {
            const double t = 2 * M_PI * run.raw.value(p, 0).real() * td;
            const C want = 1.0 / (std::cos(t) + j * z0 * std::sin(t) / c.rl + c.rs * (j * std::sin(t) / z0 + std::cos(t) / c.rl));
            EXPECT_LT(std::abs(run.raw.value(p, out) - want), 1e-9) << c.sweep << " theta/pi = " << t / M_PI;
            if (c.rs == c.rl) {
                EXPECT_NEAR(std::abs(run.raw.value(p, out)), 0.5, 1e-9);
            }
        }
    }
}

TEST(NetworkParameters, FloatingOnePortSeesTheImpedanceBetweenItsNodes)
{
    // Between a and b: 30 ohm and 1 nF directly, and 10 + 20 ohm through ground.
    const DeckRun run = runDeck("* floating port\nI1 a b AC 0\nR3 a b 30\nC1 a b 1n\nR1 a 0 10\nR2 b 0 20\n"
                                ".net I1\n.ac lin 3 1meg 10meg\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    const int zin = run.raw.index("Zin(i1)");
    ASSERT_GE(zin, 0);
    for (size_t p = 0; p < run.raw.points; ++p) {
        const double w = 2 * M_PI * run.raw.value(p, 0).real();
        const C want = 1.0 / (1.0 / 30 + 1.0 / 30 + j * w * 1e-9);
        EXPECT_LT(std::abs(run.raw.value(p, zin) - want), 1e-9 * std::abs(want));
    }
}

TEST(NetworkParameters, TwoPortWithUnequalReferenceImpedances)
{
    // 50 ohm source, 10 ohm in series, 25 ohm termination. Port 1 sees 35 ohm,
    // port 2 sees 60 ohm; from a 1 V source, V2 = 25/85 V (S21 = 2 V2 sqrt(50/25))
    // and from port 2, V1 = 50/85 V (S12 = 2 V1 sqrt(25/50)).
    const DeckRun run = runDeck("* unequal\nV1 in 0 RSER=50 AC=1\nR1 in out 10\nRterm out 0 25\n"
                                ".net I(Rterm) V1\n.ac list 1meg\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    const std::pair<const char*, double> expected[] = {
        {"S11(v1)", -15.0 / 85},
        {"S21(v1)", 50.0 / 85 * std::sqrt(2.0)},
        {"S12(v1)", 100.0 / 85 * std::sqrt(0.5)},
        {"S22(v1)", 35.0 / 85},
    };
    for (const auto& [name, value] : expected) {
        const int v = run.raw.index(name);
        ASSERT_GE(v, 0) << name;
        EXPECT_LT(std::abs(run.raw.value(0, v) - value), 1e-12) << name;
    }
}

// A small random ladder with every element kind, solved by every backend.
std::string randomNetwork(unsigned seed, bool ac)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.5, 2.0);
    std::ostringstream deck;
    deck << "* random\n";
    const int nodes = 12;
    for (int k = 1; k <= nodes; ++k) {
        deck << "R" << k << " n" << k << " " << (k > 1 ? "n" + std::to_string(k - 1) : "0") << " " << 10 * u(rng) << "\n";
        deck << "Rg" << k << " n" << k << " 0 " << 100 * u(rng) << "\n";
        if (ac) {
            deck << "C" << k << " n" << k << " 0 " << u(rng) * 1e-9 << " Rser=" << u(rng) * 0.1 << " Lser=" << u(rng) * 1e-9 << "\n";
            deck << "L" << k << " n" << k << " n" << (k % nodes) + 1 << " " << u(rng) * 1e-7 << " Rser=" << u(rng) << " Cpar=1p\n";
        }
        if (k % 4 == 0) deck << "T" << k << " n" << k << " 0 n" << (k + 5) % nodes + 1 << " 0 Td=" << u(rng) * 1e-9 << " Z0=" << 40 * u(rng) << "\n";
    }
    deck << "I1 0 n3 " << (ac ? "AC 1" : "1") << "\nV1 n7 0 " << (ac ? "AC 1 30" : "2") << " RSER=5\n";
    deck << "I_p n9 0 AC 0\n.net I_p\n";
    deck << (ac ? ".ac dec 3 1meg 1g\n" : ".op\n") << ".end\n";
    return deck.str();
}

void expectSameResults(const DeckRun& a, const DeckRun& b, double tolerance)
{
    ASSERT_EQ(a.exitCode, 0) << a.log;
    ASSERT_EQ(b.exitCode, 0) << b.log;
    ASSERT_EQ(a.raw.names, b.raw.names);
    ASSERT_EQ(a.raw.points, b.raw.points);
    for (size_t p = 0; p < a.raw.points; ++p) {
        for (size_t v = 0; v < a.raw.names.size(); ++v) {
            const C x = a.raw.value(p, v), y = b.raw.value(p, v);
            EXPECT_LE(std::abs(x - y), tolerance * std::max(std::abs(y), 1e-6)) << a.raw.names[v] << " point " << p;
        }
    }
}

TEST(Solvers, AllBackendsAgree)
{
    SimulatorOptions klu, mumps;
    klu.solver = SolverKind::Klu;
    mumps.solver = SolverKind::Mumps;
    expectSameResults(runDeck(randomNetwork(7, false), {}, "cholmod"), runDeck(randomNetwork(7, false), klu, "klu"), 1e-10);
    expectSameResults(runDeck(randomNetwork(7, false), mumps, "mumps_op"), runDeck(randomNetwork(7, false), klu, "klu_op"), 1e-10);
    expectSameResults(runDeck(randomNetwork(7, true), mumps, "mumps"), runDeck(randomNetwork(7, true), klu, "klu"), 1e-9);
}

TEST(Solvers, SupernodalPathsMatchKlu)
{
    // The supernodal LDL^T, for a map with one .net per node (selected inversion, by default)
    // and for a one-port sweep of a nodal system above its size threshold (lowered here), gives
    // KLU's impedances; below the threshold the sweep stays with MUMPS.
    struct Case {
        bench::PlanePair plane;
        bool map;
        size_t supernodalFrom;
        const char* logged;
        size_t variables;
    };
    for (const Case& c : {Case{{.n = 12}, true, SimulatorOptions{}.supernodalAcThreshold, "selected inversion", 145},
                          Case{{.n = 16}, false, 100, "solver LDL^T", 2}}) {
        const std::string text = planePairDeck(c.plane, c.map, c.map ? 300e6 : 0, 2);
        SimulatorOptions supernodal, klu;
        supernodal.supernodalAcThreshold = c.supernodalFrom;
        klu.solver = SolverKind::Klu;
        const DeckRun run = runDeck(text, supernodal, "supernodal");
        ASSERT_EQ(run.exitCode, 0) << run.log;
        EXPECT_NE(run.log.find(c.logged), std::string::npos) << run.log;
        EXPECT_EQ(run.raw.names.size(), c.variables);
        expectSameResults(run, runDeck(text, klu, "reference"), 1e-9);
    }
    SimulatorOptions defaults;
    EXPECT_EQ(runDeck(planePairDeck({.n = 16}, false, 0, 2), defaults, "default").log.find("solver LDL^T"), std::string::npos);
}

TEST(Solvers, SweepOnTwoCoresEqualsSerialRun)
{
    // The same sweep with the frequency points factorised one after another and two at a time
    // gives the same bytes, for the port impedance alone and for every node voltage.
    const std::string portOnly = planePairDeck({.n = 20}, false, 0, 2);
    std::string allNodes = portOnly;
    allNodes.erase(allNodes.find(".save Zin(I000)\n"), 16);
    // Both factorisations that sweep on two cores: MUMPS, and the supernodal LDL^T (threshold
    // lowered to this system), whose serial run factorises on two threads.
    for (const size_t supernodalFrom : {size_t(1) << 30, size_t(100)}) {
        for (const std::string& text : {portOnly, allNodes}) {
            SimulatorOptions serial, parallel;
            serial.sweepThreads = 1;
            parallel.sweepThreads = 2;
            serial.supernodalAcThreshold = parallel.supernodalAcThreshold = supernodalFrom;
            const DeckRun a = runDeck(text, serial, "serial");
            const DeckRun b = runDeck(text, parallel, "parallel");
            EXPECT_EQ(a.log.find("solver LDL^T") != std::string::npos, supernodalFrom == 100) << a.log;
            ASSERT_EQ(a.exitCode, 0) << a.log;
            ASSERT_EQ(b.exitCode, 0) << b.log;
            EXPECT_EQ(a.log.find("two cores"), std::string::npos) << a.log;
            EXPECT_NE(b.log.find("Frequency points on two cores (two processes): 7 of 7"), std::string::npos) << b.log;
            EXPECT_EQ(a.raw.points, 7u);
            EXPECT_GT(a.raw.names.size(), text == portOnly ? 1u : 1000u);
            EXPECT_TRUE(a.raw.bytes.substr(a.raw.dataOffset) == b.raw.bytes.substr(b.raw.dataOffset));
        }
    }
}

TEST(PlanePair, ImpedanceMapShowsTheParallelPlateCapacitanceAtLowFrequency)
{
    // Far below the first cavity resonance every node sees the whole plate capacitance with
    // the dielectric loss: Zin = 1 / (j w C (1 - j Df)), C = er e0 A / d.
    const bench::PlanePair plane{.n = 10};
    const double f = 1e6;
    const DeckRun run = runDeck(planePairDeck(plane, true, f), {}, "plate");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    const double c = plane.er * 8.852e-12 * plane.size * plane.size / plane.distance;
    const C want = 1.0 / (j * 2.0 * M_PI * f * c * (1.0 - j * plane.df));
    ASSERT_EQ(run.raw.names.size(), 101u);
    for (size_t v = 1; v < run.raw.names.size(); ++v)
        EXPECT_LT(std::abs(run.raw.value(0, v) - want), 1e-3 * std::abs(want)) << run.raw.names[v];
}

TEST(PlanePair, SteppedSweepAsTheBoardWritesItRuns)
{
    // .step over sub-bands, table() and pow() frequency limits, {R/f} loss resistors,
    // hypot() copper resistors, a port and a capacitor with Rser and Lser.
    const bench::PlanePair plane{.n = 8};
    const DeckRun run = runDeck(planePairDeck(plane, false, 0, 10), {}, "sweep");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.raw.names, (std::vector<std::string>{"frequency", "Zin(i000)"}));
    ASSERT_EQ(run.raw.points, 31u);
    EXPECT_DOUBLE_EQ(run.raw.value(0, 0).real(), 1e6);
    EXPECT_NEAR(run.raw.value(30, 0).real(), 1e9, 1e-3);
    // At 1 MHz the port sees the plate capacitance in parallel with the 100 nF capacitor.
    const double c = plane.er * 8.852e-12 * plane.size * plane.size / plane.distance + 100e-9;
    EXPECT_NEAR(run.raw.value(0, 1).imag(), -1 / (2 * M_PI * 1e6 * c), 0.02 / (2 * M_PI * 1e6 * c));
}

}  // namespace
}  // namespace korvex::sim::test
