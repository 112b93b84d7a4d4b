// Hand-worked AC values (lossless lines, network parameters, the plates of a plane pair) and
// the solvers against each other.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
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

// A variable of an AC run against a value worked out by hand at every frequency point f.
struct Expected {
    const char* variable;
    std::function<C(double f)> want;
    double absolute, relative;  // |got - want| < absolute + relative |want|
};

struct AcCase {
    std::string what, deck;
    std::vector<Expected> expected;
    size_t minPoints = 1;
};

void expectHandWorkedValues(const AcCase& c)
{
    SCOPED_TRACE(c.what);
    const DeckRun run = runDeck(c.deck);
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_GE(run.raw.points, c.minPoints);
    for (const Expected& e : c.expected) {
        const int v = run.raw.index(e.variable);
        ASSERT_GE(v, 0) << e.variable;
        for (size_t p = 0; p < run.raw.points; ++p) {
            const double f = run.raw.value(p, 0).real();
            const C want = e.want(f);
            EXPECT_LT(std::abs(run.raw.value(p, v) - want), e.absolute + e.relative * std::abs(want)) << e.variable << " f = " << f;
        }
    }
}

// Zin = Z0 (ZL + j Z0 tan(bl)) / (Z0 + j ZL tan(bl)), bl = omega * Td.
C lineInputImpedance(double z0, double zl, double td, double f)
{
    const double t = std::tan(2 * M_PI * f * td);
    return z0 * (zl + j * z0 * t) / (z0 + j * zl * t);
}

// At whole numbers of half waves the pi network of the line has no finite admittances; the
// result must still follow the chain equations V1 = cos(t) V2 + j Z0 sin(t) I2,
// I1 = j sin(t) V2 / Z0 + cos(t) I2 there and beside it.
AcCase halfWaves(double rs, double rl, const char* sweep)
{
    std::ostringstream deck;
    deck << "* half wave\nV1 in 0 RSER=" << rs << " AC=1\nT1 in 0 out 0 Td=1n Z0=50\nRterm out 0 " << rl
         << "\n.save V(out)\n" << sweep << "\n.end\n";
    auto want = [rs, rl](double f) {
        const double t = 2 * M_PI * f * 1e-9, z0 = 50;
        return 1.0 / (std::cos(t) + j * z0 * std::sin(t) / rl + rs * (j * std::sin(t) / z0 + std::cos(t) / rl));
    };
    return {sweep, deck.str(), {{"V(out)", want, 1e-9, 0}}};
}

TEST(LosslessLine, FollowsTheLineEquations)
{
    auto delay = [](double f) { return std::exp(-j * 2.0 * M_PI * f * 0.3e-9); };
    auto zero = [](double) { return C(0); };
    const AcCase cases[] = {
        // From far below the first resonance (where a difference of large terms would lose all
        // digits) up to a few wavelengths; 4-terminal line with a floating reference as well
        // (the reference resistor is in series). At 1 Hz the line is a 3e-7 ohm link to the
        // load: the elimination itself costs digits in any nodal solver, hence 1e-8.
        {"input impedance",
         "* line\nI1 0 a AC 1\nT1 a 0 b 0 Td=1n Z0=50\nRL b 0 10\nI2 0 c AC 1\nRr r 0 1e-3\nT2 c r d r Td=1n Z0=50\n"
         "RL2 d r 10\n.save V(a) V(c)\n.ac dec 5 1 10g\n.end\n",
         {{"V(a)", [](double f) { return lineInputImpedance(50, 10, 1e-9, f); }, 0, 1e-8},
          {"V(c)", [](double f) { return lineInputImpedance(50, 10, 1e-9, f) + 1e-3; }, 0, 1e-8}},
         41},
        {"matched: no reflection, a pure delay",
         "* matched\nV1 in 0 RSER=50 AC=1\nT1 in 0 out 0 Td=0.3n Z0=50\nRterm out 0 50\n.net I(Rterm) V1\n"
         ".ac lin 7 10meg 3g\n.end\n",
         {{"S11(v1)", zero, 1e-12, 0}, {"S22(v1)", zero, 1e-12, 0}, {"S21(v1)", delay, 1e-12, 0}, {"S12(v1)", delay, 1e-12, 0}},
         7},
        halfWaves(50, 50, ".ac lin 11 450meg 550meg"),  // matched: |V(out)| = 0.5, theta = pi at 500 MHz
        halfWaves(10, 200, ".ac lin 10 100meg 1g"),     // theta = pi at 500 MHz and 2 pi at 1 GHz
        halfWaves(50, 50, ".ac lin 3 1.5g 2.5g"),       // 3 pi, 4 pi, 5 pi
    };
    for (const AcCase& c : cases) expectHandWorkedValues(c);
}

TEST(NetworkParameters, MatchHandWorkedValues)
{
    auto constant = [](C value) { return [value](double) { return value; }; };
    const AcCase cases[] = {
        // Between a and b: 30 ohm and 1 nF directly, and 10 + 20 ohm through ground.
        {"floating one-port",
         "* floating port\nI1 a b AC 0\nR3 a b 30\nC1 a b 1n\nR1 a 0 10\nR2 b 0 20\n.net I1\n.ac lin 3 1meg 10meg\n.end\n",
         {{"Zin(i1)", [](double f) { return 1.0 / (1.0 / 30 + 1.0 / 30 + j * 2.0 * M_PI * f * 1e-9); }, 0, 1e-9}},
         3},
        // 50 ohm source, 10 ohm in series, 25 ohm termination. Port 1 sees 35 ohm, port 2 sees
        // 60 ohm; from a 1 V source, V2 = 25/85 V (S21 = 2 V2 sqrt(50/25)) and from port 2,
        // V1 = 50/85 V (S12 = 2 V1 sqrt(25/50)).
        {"two-port with unequal reference impedances",
         "* unequal\nV1 in 0 RSER=50 AC=1\nR1 in out 10\nRterm out 0 25\n.net I(Rterm) V1\n.ac list 1meg\n.end\n",
         {{"S11(v1)", constant(-15.0 / 85), 1e-12, 0},
          {"S21(v1)", constant(50.0 / 85 * std::sqrt(2.0)), 1e-12, 0},
          {"S12(v1)", constant(100.0 / 85 * std::sqrt(0.5)), 1e-12, 0},
          {"S22(v1)", constant(35.0 / 85), 1e-12, 0}}},
    };
    for (const AcCase& c : cases) expectHandWorkedValues(c);
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
