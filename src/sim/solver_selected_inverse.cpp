// Complex symmetric LDL^T without pivoting and the selected inversion of Takahashi: every
// entry of the inverse on the pattern of L, for about the cost of one factorisation. Serves
// the impedance at every node of a plane (one .net per node), where one solve per node would
// cost n solves. Supernodal: dense blocks through the BLAS, in CHOLMOD's fill-reducing order
// (solver_selected_inverse_symbolic.cpp, _factor.cpp, _takahashi.cpp). Without pivoting a
// pivot can vanish; factor() then reports failure and the caller falls back to a pivoting solver.
#include <algorithm>
#include <thread>

#include "blas_info.h"
#include "solver_selected_inverse.h"

namespace korvex::sim {

namespace supernodal {

int availableThreads()
{
    const int blas = setBlasThreads(1);
    if (blas > 0) setBlasThreads(blas);
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min({2, blas > 0 ? blas : cores, cores}));
}

SerialBlas::SerialBlas() : previous_(setBlasThreads(1)) {}

SerialBlas::~SerialBlas()
{
    if (previous_ > 0) setBlasThreads(previous_);
}

void solve(const Layout& layout, const ComplexBuffer& l, const ComplexBuffer& d, Complex* b, std::vector<Complex>& work)
{
    work.resize(layout.n);
    Complex* x = work.data();
    for (int k = 0; k < layout.n; ++k) x[k] = b[layout.perm[k]];
    const int count = layout.count();
    for (int s = 0; s < count; ++s) {
        const int rows = layout.rowCount(s), k1 = layout.first[s];
        const int* rowList = layout.rows.data() + layout.rowStart[s];
        for (int c = 0; c < layout.columnCount(s); ++c) {
            const Complex* column = l.data() + layout.valueStart[s] + static_cast<size_t>(c) * rows;
            const Complex xk = x[k1 + c];
            for (int i = c + 1; i < rows; ++i) x[rowList[i]] -= column[i] * xk;
        }
    }
    for (int k = 0; k < layout.n; ++k) x[k] /= d[k];
    for (int s = count - 1; s >= 0; --s) {
        const int rows = layout.rowCount(s), k1 = layout.first[s];
        const int* rowList = layout.rows.data() + layout.rowStart[s];
        for (int c = layout.columnCount(s) - 1; c >= 0; --c) {
            const Complex* column = l.data() + layout.valueStart[s] + static_cast<size_t>(c) * rows;
            Complex sum = x[k1 + c];
            for (int i = c + 1; i < rows; ++i) sum -= column[i] * x[rowList[i]];
            x[k1 + c] = sum;
        }
    }
    for (int k = 0; k < layout.n; ++k) b[layout.perm[k]] = x[k];
}

}  // namespace supernodal

namespace {

class SelectedInverseSolver : public LinearSolver<Complex> {
public:
    const char* name() const override { return "LDL^T with selected inversion"; }

    void analyse(const SparsePattern& pattern) override
    {
        pattern_ = &pattern;
        layout_ = supernodal::analyse(pattern);
        n_ = layout_.n;
        inverseValid_ = false;
    }

    FactorResult factor(const Complex* values) override
    {
        inverseValid_ = false;
        z_.release();
        return supernodal::factor(layout_, *pattern_, values, l_, d_, supernodal::availableThreads());
    }

    void solve(Complex* rhs, int nrhs) override
    {
        for (int c = 0; c < nrhs; ++c) supernodal::solve(layout_, l_, d_, rhs + static_cast<size_t>(c) * n_, solveWork_);
    }

    void inverseEntries(const std::vector<std::pair<int, int>>& entries, Complex* out) override
    {
        if (!inverseValid_) {
            supernodal::selectedInverse(layout_, l_, d_, z_, supernodal::availableThreads());
            inverseValid_ = true;
        }
        std::vector<std::pair<int, int>> missing;
        std::vector<size_t> missingIndex;
        for (size_t k = 0; k < entries.size(); ++k) {
            int i = layout_.pinv[entries[k].first], j = layout_.pinv[entries[k].second];
            if (i < j) std::swap(i, j);
            const int s = layout_.superOf[j];
            const auto first = layout_.rows.begin() + layout_.rowStart[s], last = layout_.rows.begin() + layout_.rowStart[s + 1];
            const auto found = std::lower_bound(first, last, i);
            if (found != last && *found == i) {
                out[k] = z_[layout_.valueStart[s] + static_cast<size_t>(j - layout_.first[s]) * layout_.rowCount(s) + (found - first)];
            } else {
                missing.push_back(entries[k]);
                missingIndex.push_back(k);
            }
        }
        if (!missing.empty()) {  // outside the pattern of L: unit solves
            std::vector<Complex> values(missing.size());
            LinearSolver<Complex>::inverseEntries(missing, values.data());
            for (size_t k = 0; k < missing.size(); ++k) out[missingIndex[k]] = values[k];
        }
    }

private:
    const SparsePattern* pattern_ = nullptr;  // outlives the solver (see LinearSolver::analyse)
    supernodal::Layout layout_;
    supernodal::ComplexBuffer l_, d_, z_;
    std::vector<Complex> solveWork_;
    bool inverseValid_ = false;
};

}  // namespace

std::unique_ptr<LinearSolver<Complex>> makeSelectedInverseSolver() { return std::make_unique<SelectedInverseSolver>(); }

}  // namespace korvex::sim
