// The solver backends directly: inverse entries, multiple right-hand sides, failure reports.
#include <gtest/gtest.h>

#include <random>

#include "linear_solver.h"
#include "sparse_from_dense.h"

namespace korvex::sim {
namespace {

using test::sparseFromDense;
using TestMatrix = test::SparseMatrix;

// A random sparse complex symmetric, diagonally weighted matrix (a lossy LC network).
std::vector<std::vector<Complex>> randomNetwork(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.1, 1.0);
    std::vector<std::vector<Complex>> a(n, std::vector<Complex>(n, Complex(0)));
    auto link = [&](int i, int j, Complex y) {
        a[i][i] += y;
        a[j][j] += y;
        a[i][j] -= y;
        a[j][i] -= y;
    };
    for (int i = 0; i < n; ++i) {
        a[i][i] += Complex(u(rng) * 0.01, u(rng));
        if (i + 1 < n) link(i, i + 1, Complex(u(rng), -u(rng) * 3));
        if (i + 7 < n) link(i, i + 7, Complex(u(rng), u(rng)));
    }
    return a;
}

TEST(Solvers, InverseEntriesAgreeAcrossBackends)
{
    const TestMatrix m = sparseFromDense(randomNetwork(40, 3));
    std::vector<std::pair<int, int>> entries;
    for (int i = 0; i < 40; ++i) entries.emplace_back(i, i);
    entries.emplace_back(3, 10);
    entries.emplace_back(39, 0);  // outside the pattern of L: answered by solves
    std::vector<std::vector<Complex>> results;
    for (auto make : {makeKluComplexSolver, makeMumpsSolver, makeSelectedInverseSolver}) {
        auto solver = make();
        solver->analyse(m.pattern);
        ASSERT_TRUE(solver->factor(m.values.data()).ok) << solver->name();
        std::vector<Complex> out(entries.size());
        solver->inverseEntries(entries, out.data());
        results.push_back(out);
        // Two right-hand sides at once: A x = b for b = A * ones.
        std::vector<Complex> b(80, Complex(0));
        for (int c = 0; c < 40; ++c)
            for (int p = m.pattern.colPtr[c]; p < m.pattern.colPtr[c + 1]; ++p) {
                b[m.pattern.rowIdx[p]] += m.values[p];
                b[40 + m.pattern.rowIdx[p]] += 2.0 * m.values[p];
            }
        solver->solve(b.data(), 2);
        for (int k = 0; k < 40; ++k) {
            EXPECT_LT(std::abs(b[k] - 1.0), 1e-10) << solver->name();
            EXPECT_LT(std::abs(b[40 + k] - 2.0), 1e-10) << solver->name();
        }
    }
    for (size_t s = 1; s < results.size(); ++s)
        for (size_t k = 0; k < entries.size(); ++k)
            EXPECT_LT(std::abs(results[s][k] - results[0][k]), 1e-10 * std::abs(results[0][k])) << s << " " << k;
}

TEST(Solvers, ReportFailuresInsteadOfWrongResults)
{
    // Zero diagonal: fine for pivoting solvers, refused by LDL^T without pivoting.
    const TestMatrix swap = sparseFromDense({{Complex(0), Complex(1)}, {Complex(1), Complex(0)}});
    auto ldl = makeSelectedInverseSolver();
    ldl->analyse(swap.pattern);
    EXPECT_FALSE(ldl->factor(swap.values.data()).ok);
    auto mumps = makeMumpsSolver();
    mumps->analyse(swap.pattern);
    EXPECT_TRUE(mumps->factor(swap.values.data()).ok);

    // Singular: KLU names the column.
    const TestMatrix singular = sparseFromDense({{Complex(1), Complex(1)}, {Complex(1), Complex(1)}});
    auto klu = makeKluComplexSolver();
    klu->analyse(singular.pattern);
    const FactorResult r = klu->factor(singular.values.data());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.column, 1);

    // Not positive definite: CHOLMOD says so (the operating point then switches to KLU).
    SparsePattern p{2, {0, 2, 4}, {0, 1, 0, 1}};
    const double indefinite[] = {1, 2, 2, 1};
    auto cholmod = makeCholmodSolver();
    cholmod->analyse(p);
    EXPECT_TRUE(cholmod->factor(indefinite).notPositiveDefinite);
}

}  // namespace
}  // namespace korvex::sim
