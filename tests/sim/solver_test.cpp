// The solver backends directly, against a dense inverse by Gauss-Jordan elimination written here:
// every entry of the inverse and solves with several right-hand sides, on complex symmetric
// matrices whose supernodes range from one column to wider than a panel; the supernodal LDL^T's
// threads; and the failure reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "linear_solver.h"
#include "solver_selected_inverse.h"

namespace korvex::sim {
namespace {

using Dense = std::vector<std::vector<Complex>>;

struct Sparse {
    SparsePattern pattern;
    std::vector<Complex> values;
};

// The full pattern in columns (zeros off the diagonal dropped) and its values.
Sparse sparseFromDense(const Dense& a)
{
    Sparse m;
    const int n = static_cast<int>(a.size());
    m.pattern.n = n;
    m.pattern.colPtr.assign(n + 1, 0);
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            if (a[r][c] == Complex(0) && r != c) continue;
            m.pattern.rowIdx.push_back(r);
            m.values.push_back(a[r][c]);
        }
        m.pattern.colPtr[c + 1] = static_cast<int>(m.pattern.rowIdx.size());
    }
    return m;
}

// The inverse by Gauss-Jordan elimination with partial pivoting on [A | I].
Dense denseInverse(Dense a)
{
    const int n = static_cast<int>(a.size());
    Dense x(n, std::vector<Complex>(n, Complex(0)));
    for (int i = 0; i < n; ++i) x[i][i] = 1;
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(x[c], x[pivot]);
        const Complex p = a[c][c];
        for (int k = 0; k < n; ++k) {
            a[c][k] /= p;
            x[c][k] /= p;
        }
        for (int r = 0; r < n; ++r) {
            if (r == c || a[r][c] == Complex(0)) continue;
            const Complex f = a[r][c];
            for (int k = 0; k < n; ++k) {
                a[r][k] -= f * a[c][k];
                x[r][k] -= f * x[c][k];
            }
        }
    }
    return x;
}

// Nodal admittance of a k x k grid of lossy branches with a capacitance to ground at each node
// (G + j omega C, varying so that no two entries are alike).
Dense gridAdmittance(int k, double omega)
{
    const int n = k * k;
    Dense a(n, std::vector<Complex>(n, Complex(0)));
    auto branch = [&](int i, int j, Complex y) {
        a[i][i] += y;
        a[j][j] += y;
        a[i][j] -= y;
        a[j][i] -= y;
    };
    for (int i = 0; i < n; ++i) {
        const int x = i % k, y = i / k;
        a[i][i] += Complex(1e-3 * (1 + i % 5), omega * (1 + 0.1 * (i % 7)));
        if (x + 1 < k) branch(i, i + 1, Complex(1.0 + 0.01 * i, -0.5));
        if (y + 1 < k) branch(i, i + k, Complex(0.8, -0.3 - 0.001 * i));
    }
    return a;
}

// The grid with a node tied to all others (a dense row and column: a wide top supernode).
Dense gridWithDenseNode(int k)
{
    Dense a = gridAdmittance(k, 0.3);
    const int n = static_cast<int>(a.size());
    for (auto& row : a) row.push_back(Complex(0));
    a.emplace_back(n + 1, Complex(0));
    for (int i = 0; i < n; ++i) {
        const Complex y(0.05, 0.01 * (i % 3));
        a[i][i] += y;
        a[n][n] += y;
        a[i][n] -= y;
        a[n][i] -= y;
    }
    a[n][n] += Complex(0.1, 0.2);
    return a;
}

Dense fullyDense(int n)
{
    Dense a(n, std::vector<Complex>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i][j] = i == j ? Complex(n, 1 + 0.01 * i) : Complex(0.3 / (1 + i + j), -0.2 / (2 + i * j % 5));
    return a;
}

int widestSupernode(const SparsePattern& pattern)
{
    const supernodal::Layout layout = supernodal::analyse(pattern);
    int widest = 0;
    for (int s = 0; s < layout.count(); ++s) widest = std::max(widest, layout.columnCount(s));
    return widest;
}

// Every backend gives every entry of the inverse (the supernodal one from its selected inverse
// inside the pattern of L, by solves outside it) and solves two right-hand sides at once.
TEST(SelectedInverse, EveryEntryAndSolveOfEveryBackendMatchesDenseInverse)
{
    struct Case {
        const char* name;
        std::function<Dense()> make;
        int minWidest;  // the widest supernode at least this wide, so the case covers it
    };
    const Case cases[] = {
        {"1x1", [] { return Dense{{Complex(2, -3)}}; }, 1},
        {"diagonal", [] {
             Dense a(9, std::vector<Complex>(9, Complex(0)));
             for (int i = 0; i < 9; ++i) a[i][i] = Complex(1 + i, -0.5 * i);
             return a;
         }, 1},
        {"grid 4x4", [] { return gridAdmittance(4, 0.7); }, 2},
        {"grid 20x20", [] { return gridAdmittance(20, 0.05); }, 10},
        {"grid with a dense node", [] { return gridWithDenseNode(12); }, 8},
        {"dense, wider than a panel", [] { return fullyDense(150); }, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Dense a = c.make();
        const int n = static_cast<int>(a.size());
        const Dense reference = denseInverse(a);
        const Sparse m = sparseFromDense(a);
        EXPECT_GE(widestSupernode(m.pattern), c.minWidest);
        std::vector<std::pair<int, int>> entries;
        double scale = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                entries.emplace_back(i, j);
                scale = std::max(scale, std::abs(reference[i][j]));
            }
        for (auto make : {makeSelectedInverseSolver, makeKluComplexSolver, makeMumpsSolver}) {
            auto solver = make();
            SCOPED_TRACE(solver->name());
            solver->analyse(m.pattern);
            ASSERT_TRUE(solver->factor(m.values.data()).ok);
            std::vector<Complex> z(entries.size());
            solver->inverseEntries(entries, z.data());
            double worst = 0;
            for (size_t k = 0; k < entries.size(); ++k)
                worst = std::max(worst, std::abs(z[k] - reference[entries[k].first][entries[k].second]));
            EXPECT_LT(worst, 1e-12 * scale);
            // A x = b for b = A * ones and A * twos.
            std::vector<Complex> b(2 * n, Complex(0));
            for (int r = 0; r < n; ++r)
                for (int col = 0; col < n; ++col) {
                    b[r] += a[r][col];
                    b[n + r] += 2.0 * a[r][col];
                }
            solver->solve(b.data(), 2);
            for (int k = 0; k < n; ++k) {
                EXPECT_LT(std::abs(b[k] - 1.0), 1e-10) << k;
                EXPECT_LT(std::abs(b[n + k] - 2.0), 1e-10) << k;
            }
        }
    }
}

TEST(SelectedInverse, TwoThreadsGiveTheSerialResultBitForBit)
{
    // The grid splits into subtrees; the dense matrix has products large enough to be cut up.
    for (const Dense& a : {gridAdmittance(40, 0.2), fullyDense(400)}) {
        const Sparse m = sparseFromDense(a);
        const supernodal::Layout layout = supernodal::analyse(m.pattern);
        EXPECT_EQ(layout.subtrees.size() >= 2, a.size() == 1600);
        supernodal::ComplexBuffer l[2], d[2], z[2];
        for (int t = 0; t < 2; ++t) {
            ASSERT_TRUE(supernodal::factor(layout, m.pattern, m.values.data(), l[t], d[t], t + 1).ok);
            supernodal::selectedInverse(layout, l[t], d[t], z[t], t + 1);
        }
        auto same = [](const supernodal::ComplexBuffer& x, const supernodal::ComplexBuffer& y) {
            return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(Complex)) == 0;
        };
        EXPECT_TRUE(same(l[0], l[1]) && same(d[0], d[1]));
        // The inverse is kept on and below the diagonal of each supernode's block only; above it
        // the buffer is never written nor read.
        size_t differing = 0;
        for (int s = 0; s < layout.count(); ++s)
            for (int c = 0; c < layout.columnCount(s); ++c)
                for (int r = c; r < layout.rowCount(s); ++r) {
                    const size_t k = layout.valueStart[s] + static_cast<size_t>(c) * layout.rowCount(s) + r;
                    differing += std::memcmp(&z[0][k], &z[1][k], sizeof(Complex)) != 0;
                }
        EXPECT_EQ(differing, 0u);
    }
}

// Each backend either factors or says why it cannot: LDL^T without pivoting refuses a zero or
// tiny pivot that MUMPS takes, KLU names the singular column.
TEST(Solvers, ReportFailuresInsteadOfWrongResults)
{
    using Make = std::unique_ptr<LinearSolver<Complex>> (*)();
    const Dense swap{{Complex(0), Complex(1)}, {Complex(1), Complex(0)}};
    const Dense singular{{Complex(1, 1), Complex(1, 1)}, {Complex(1, 1), Complex(1, 1)}};
    struct Case {
        Make make;
        Dense a;
        bool ok;
        const char* message;  // checked where not null
        int column;           // -1: any column
    };
    const Case cases[] = {
        {makeSelectedInverseSolver, swap, false, "vanishing pivot without pivoting", -1},
        {makeSelectedInverseSolver, singular, false, "vanishing pivot without pivoting", -1},
        {makeSelectedInverseSolver, {{Complex(1e-10), Complex(1)}, {Complex(1), Complex(1)}}, false, "element growth without pivoting", -1},
        {makeMumpsSolver, swap, true, nullptr, -1},
        {makeKluComplexSolver, {{Complex(1), Complex(1)}, {Complex(1), Complex(1)}}, false, nullptr, 1},
    };
    for (const Case& c : cases) {
        const Sparse m = sparseFromDense(c.a);
        auto solver = c.make();
        SCOPED_TRACE(solver->name());
        solver->analyse(m.pattern);
        const FactorResult r = solver->factor(m.values.data());
        EXPECT_EQ(r.ok, c.ok);
        if (r.ok) continue;
        if (c.message) {
            EXPECT_EQ(r.message, c.message);
        }
        EXPECT_TRUE(c.column < 0 ? r.column >= 0 : r.column == c.column) << r.column;
    }

    // Not positive definite: CHOLMOD says so (the operating point then switches to KLU).
    SparsePattern p{2, {0, 2, 4}, {0, 1, 0, 1}};
    const double indefinite[] = {1, 2, 2, 1};
    auto cholmod = makeCholmodSolver();
    cholmod->analyse(p);
    EXPECT_TRUE(cholmod->factor(indefinite).notPositiveDefinite);
}

}  // namespace
}  // namespace korvex::sim
