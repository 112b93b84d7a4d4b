// Multigrid-preconditioned CG against the direct solve on mesh-like DC networks, and the
// fall-back to CHOLMOD when CG does not converge.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

#include "sim_test_support.h"

namespace korvex::sim::test {
namespace {

// Two copper layers of n x n nodes with uneven sheet resistances (some branches a hundred
// times stronger, as plane necks and fills give), a few vias, a load current and a ground.
std::string meshDeck(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> spread(0.0, 2.0);
    std::ostringstream deck;
    deck << "* mesh\n";
    auto node = [n](int layer, int x, int y) { return "n" + std::to_string(layer) + "_" + std::to_string(y * n + x); };
    int count = 0;
    for (int layer = 0; layer < 2; ++layer)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                if (x + 1 < n) deck << "r" << ++count << " " << node(layer, x, y) << " " << node(layer, x + 1, y) << " " << 4.9e-4 * std::pow(10.0, spread(rng)) << "\n";
                if (y + 1 < n) deck << "r" << ++count << " " << node(layer, x, y) << " " << node(layer, x, y + 1) << " " << 4.9e-4 * std::pow(10.0, spread(rng)) << "\n";
            }
    for (int v = 1; v <= 3; ++v) deck << "rv" << v << " " << node(0, v * n / 4, n / 2) << " " << node(1, v * n / 4, n / 2) << " 2.1e-4\n";
    deck << "rgnd " << node(1, n - 1, n - 1) << " 0 1e-6\n";
    deck << "i1 " << node(0, n / 2, n / 3) << " " << node(0, 0, 0) << " 2.5\n";
    deck << "i2 0 " << node(1, 1, n - 2) << " 0.7\n";
    deck << ".options gshunt=1e-12\n.op\n.end\n";
    return deck.str();
}

// The largest difference of the node voltages of a run from the reference's, relative to the
// largest reference voltage.
double worstDeviation(const DeckRun& reference, const DeckRun& run)
{
    std::vector<double> expected, got;
    for (const auto& [from, to] : {std::pair{&reference, &expected}, std::pair{&run, &got}})
        for (size_t k = 0; k < from->raw.names.size(); ++k)
            if (from->raw.names[k].rfind("V(", 0) == 0) to->push_back(from->raw.value(0, k).real());
    EXPECT_EQ(got.size(), expected.size());
    if (got.size() != expected.size() || expected.empty()) return INFINITY;
    double scale = 0, worst = 0;
    for (size_t k = 0; k < got.size(); ++k) {
        scale = std::max(scale, std::abs(expected[k]));
        worst = std::max(worst, std::abs(got[k] - expected[k]));
    }
    return scale > 0 ? worst / scale : INFINITY;
}

TEST(MultigridSolver, MatchesDirectSolveAndFallsBackWhenNotConverged)
{
    const std::string deck = meshDeck(60, 7);
    SimulatorOptions direct, multigrid, automatic, starved;
    direct.solver = SolverKind::Cholmod;
    multigrid.solver = SolverKind::Amg;
    automatic.amgThreshold = 1000;  // 7200 unknowns: the automatic choice takes multigrid
    starved.solver = SolverKind::Amg;
    starved.amg.maxIterations = 2;  // cannot reach the tolerance: CHOLMOD takes over

    const DeckRun reference = runDeck(deck, direct, "direct");
    ASSERT_EQ(reference.exitCode, 0) << reference.log;

    struct Case {
        const char* name;
        SimulatorOptions options;
        const char* logText;
    };
    for (const Case& c : {Case{"forced", multigrid, "solver hypre BoomerAMG + CG"},
                          Case{"automatic", automatic, "solver hypre BoomerAMG + CG"},
                          Case{"fallback", starved, "falling back to CHOLMOD"}}) {
        const DeckRun run = runDeck(deck, c.options, c.name);
        ASSERT_EQ(run.exitCode, 0) << c.name << "\n" << run.log;
        EXPECT_NE(run.log.find(c.logText), std::string::npos) << c.name << "\n" << run.log;
        EXPECT_LT(worstDeviation(reference, run), 1e-9) << c.name;
    }
}

TEST(MultigridSolver, TwoMpiProcessesGiveTheDirectSolution)
{
    if (std::system("command -v mpirun >/dev/null 2>&1") != 0) GTEST_SKIP() << "mpirun is not installed";
    const std::string deck = meshDeck(40, 11);
    SimulatorOptions direct;
    direct.solver = SolverKind::Cholmod;
    const DeckRun reference = runDeck(deck, direct, "direct");
    ASSERT_EQ(reference.exitCode, 0) << reference.log;

    const auto dir = scratchDir();
    const std::string netlist = writeFile(dir / "mpi.cir", deck);
    // A clean environment: an MPI started in this test process (by the multigrid tests) leaves
    // variables that would make mpirun take itself for a child. mpirun refuses root unless
    // told; --oversubscribe lets two processes share fewer cores.
    const char* path = std::getenv("PATH");
    const std::string command = "env -i PATH='" + std::string(path ? path : "/usr/bin:/bin") +
                                "' OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 mpirun -np 2 --oversubscribe " +
                                std::string(KORVEX_SIM) + " -b " + netlist + " > " + (dir / "mpirun.out").string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readText(dir / "mpirun.out");
    DeckRun run;
    run.raw = readRaw((dir / "mpi.raw").string());
    run.log = readText(dir / "mpi.log");
    EXPECT_NE(run.log.find("MPI: 2 processes"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("solver hypre BoomerAMG + CG"), std::string::npos) << run.log;
    EXPECT_LT(worstDeviation(reference, run), 1e-9);
}

}  // namespace
}  // namespace korvex::sim::test
