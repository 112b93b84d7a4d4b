// Complex symmetric LDL^T without pivoting (simplicial, up-looking) and the selected
// inversion of Takahashi: every entry of the inverse on the pattern of L, for about the cost
// of one factorisation. Serves the impedance at every node of a plane (one .net per node),
// where one solve per node would cost n solves. The fill-reducing order comes from CHOLMOD.
// Without pivoting a pivot can vanish; factor() then reports failure and the caller falls
// back to a pivoting solver.
#include <cholmod.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "linear_solver.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

class SelectedInverseSolver : public LinearSolver<Complex> {
public:
    const char* name() const override { return "LDL^T with selected inversion"; }

    void analyse(const SparsePattern& pattern) override
    {
        n_ = pattern.n;
        colPtr_ = pattern.colPtr;
        rowIdx_ = pattern.rowIdx;
        order();
        symbolic();
        inverseValid_ = false;
    }

    FactorResult factor(const Complex* values) override
    {
        inverseValid_ = false;
        FactorResult result;
        const int n = n_;
        std::vector<Complex> y(n, Complex(0));
        std::vector<int> pattern(n), flag(n), lnz(n);
        double largestMultiplier = 0;  // growth of L: large multipliers mean lost digits
        for (int k = 0; k < n; ++k) {
            int top = n;
            flag[k] = k;
            lnz[k] = 0;
            const int kk = perm_[k];
            double diagonalScale = 0;
            for (int p = colPtr_[kk]; p < colPtr_[kk + 1]; ++p) {
                int i = pinv_[rowIdx_[p]];
                if (i > k) continue;
                y[i] += values[p];
                if (i == k) diagonalScale = std::abs(values[p]);
                int len = 0;
                for (; flag[i] != k; i = parent_[i]) {
                    pattern[len++] = i;
                    flag[i] = k;
                }
                while (len > 0) pattern[--top] = pattern[--len];
            }
            d_[k] = y[k];
            y[k] = 0;
            for (; top < n; ++top) {
                const int i = pattern[top];
                const Complex yi = y[i];
                y[i] = 0;
                const int end = lp_[i] + lnz[i];
                for (int p = lp_[i]; p < end; ++p) y[li_[p]] -= lx_[p] * yi;
                const Complex lki = yi / d_[i];
                largestMultiplier = std::max(largestMultiplier, std::abs(lki));
                d_[k] -= lki * yi;
                li_[end] = k;
                lx_[end] = lki;
                ++lnz[i];
            }
            if (!(std::abs(d_[k]) > 1e-13 * diagonalScale) || !std::isfinite(std::abs(d_[k])) || largestMultiplier > 1e8) {
                result.ok = false;
                result.column = perm_[k];
                result.message = largestMultiplier > 1e8 ? "element growth without pivoting" : "vanishing pivot without pivoting";
                return result;
            }
        }
        return result;
    }

    void solve(Complex* rhs, int nrhs) override
    {
        std::vector<Complex> x(n_);
        for (int c = 0; c < nrhs; ++c) {
            Complex* b = rhs + static_cast<size_t>(c) * n_;
            for (int k = 0; k < n_; ++k) x[k] = b[perm_[k]];
            for (int j = 0; j < n_; ++j)
                for (int p = lp_[j]; p < lp_[j + 1]; ++p) x[li_[p]] -= lx_[p] * x[j];
            for (int j = 0; j < n_; ++j) x[j] /= d_[j];
            for (int j = n_ - 1; j >= 0; --j)
                for (int p = lp_[j]; p < lp_[j + 1]; ++p) x[j] -= lx_[p] * x[li_[p]];
            for (int k = 0; k < n_; ++k) b[perm_[k]] = x[k];
        }
    }

    void inverseEntries(const std::vector<std::pair<int, int>>& entries, Complex* out) override
    {
        if (!inverseValid_) takahashi();
        std::vector<std::pair<int, int>> missing;
        std::vector<size_t> missingIndex;
        for (size_t k = 0; k < entries.size(); ++k) {
            int i = pinv_[entries[k].first], j = pinv_[entries[k].second];
            if (i == j) {
                out[k] = zd_[j];
                continue;
            }
            if (i < j) std::swap(i, j);
            auto first = li_.begin() + lp_[j], last = li_.begin() + lp_[j + 1];
            auto found = std::lower_bound(first, last, i);
            if (found != last && *found == i) {
                out[k] = zx_[found - li_.begin()];
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
    void order()
    {
        cholmod_common common;
        cholmod_start(&common);
        common.supernodal = CHOLMOD_SIMPLICIAL;
        cholmod_sparse a;
        std::memset(&a, 0, sizeof a);
        std::vector<double> ones(rowIdx_.size(), 1.0);
        a.nrow = a.ncol = static_cast<size_t>(n_);
        a.nzmax = rowIdx_.size();
        a.p = colPtr_.data();
        a.i = rowIdx_.data();
        a.x = ones.data();
        a.stype = -1;
        a.itype = CHOLMOD_INT;
        a.xtype = CHOLMOD_REAL;
        a.dtype = CHOLMOD_DOUBLE;
        a.sorted = 1;
        a.packed = 1;
        cholmod_factor* l = cholmod_analyze(&a, &common);
        if (!l) {
            cholmod_finish(&common);
            throw SimError("ordering for the selected inversion failed");
        }
        const int* perm = static_cast<const int*>(l->Perm);
        perm_.assign(perm, perm + n_);
        cholmod_free_factor(&l, &common);
        cholmod_finish(&common);
        pinv_.assign(n_, 0);
        for (int k = 0; k < n_; ++k) pinv_[perm_[k]] = k;
    }

    // Elimination tree and column counts of L (the symbolic step of the up-looking LDL^T).
    void symbolic()
    {
        const int n = n_;
        parent_.assign(n, -1);
        std::vector<int> flag(n), lnz(n, 0);
        for (int k = 0; k < n; ++k) {
            flag[k] = k;
            const int kk = perm_[k];
            for (int p = colPtr_[kk]; p < colPtr_[kk + 1]; ++p) {
                int i = pinv_[rowIdx_[p]];
                if (i >= k) continue;
                for (; flag[i] != k; i = parent_[i]) {
                    if (parent_[i] == -1) parent_[i] = k;
                    ++lnz[i];
                    flag[i] = k;
                }
            }
        }
        lp_.assign(n + 1, 0);
        for (int k = 0; k < n; ++k) lp_[k + 1] = lp_[k] + lnz[k];
        li_.assign(lp_[n], 0);
        lx_.assign(lp_[n], Complex(0));
        d_.assign(n, Complex(0));
    }

    // Z = inverse on the pattern of L, columns from last to first:
    // Z(i,j) = -sum_k L(k,j) Z(i,k) for i in struct(L(:,j)); Z(j,j) = 1/d_j - sum_k L(k,j) Z(k,j).
    void takahashi()
    {
        const int n = n_;
        zx_.assign(lx_.size(), Complex(0));
        zd_.assign(n, Complex(0));
        std::vector<int> position(n, -1);
        std::vector<Complex> y;
        for (int j = n - 1; j >= 0; --j) {
            const int begin = lp_[j], count = lp_[j + 1] - lp_[j];
            y.assign(count, Complex(0));
            for (int t = 0; t < count; ++t) position[li_[begin + t]] = t;
            for (int t = 0; t < count; ++t) {
                const int k = li_[begin + t];
                const Complex lkj = lx_[begin + t];
                y[t] += zd_[k] * lkj;
                for (int p = lp_[k]; p < lp_[k + 1]; ++p) {
                    const int u = position[li_[p]];
                    if (u < 0) continue;
                    y[u] += zx_[p] * lkj;
                    y[t] += zx_[p] * lx_[begin + u];
                }
            }
            Complex diagonal = 1.0 / d_[j];
            for (int t = 0; t < count; ++t) {
                zx_[begin + t] = -y[t];
                diagonal += lx_[begin + t] * y[t];
                position[li_[begin + t]] = -1;
            }
            zd_[j] = diagonal;
        }
        inverseValid_ = true;
    }

    std::vector<int> colPtr_, rowIdx_, perm_, pinv_, parent_, lp_, li_;
    std::vector<Complex> lx_, d_, zx_, zd_;
    bool inverseValid_ = false;
};

}  // namespace

std::unique_ptr<LinearSolver<Complex>> makeSelectedInverseSolver() { return std::make_unique<SelectedInverseSolver>(); }

}  // namespace korvex::sim
