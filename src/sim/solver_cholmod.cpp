// CHOLMOD: real symmetric positive definite systems (operating point without branch currents).
#include <cholmod.h>

#include <cstring>

#include "linear_solver.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

class CholmodSolver : public LinearSolver<double> {
public:
    CholmodSolver()
    {
        cholmod_start(&common_);
        // Always LL^T: it stops at the first pivot that is not positive, where LDL^T without
        // pivoting would carry on through an indefinite matrix.
        common_.supernodal = CHOLMOD_SUPERNODAL;
    }
    ~CholmodSolver() override
    {
        if (factor_) cholmod_free_factor(&factor_, &common_);
        cholmod_finish(&common_);
    }
    const char* name() const override { return "CHOLMOD"; }

    void analyse(const SparsePattern& pattern) override
    {
        // The pattern is the caller's (it outlives the solver): no copy of a large matrix.
        n_ = pattern.n;
        std::memset(&matrix_, 0, sizeof matrix_);
        matrix_.nrow = matrix_.ncol = static_cast<size_t>(n_);
        matrix_.nzmax = pattern.rowIdx.size();
        matrix_.p = const_cast<int*>(pattern.colPtr.data());
        matrix_.i = const_cast<int*>(pattern.rowIdx.data());
        matrix_.stype = -1;  // only the lower triangle is used
        matrix_.itype = CHOLMOD_INT;
        matrix_.xtype = CHOLMOD_PATTERN;  // the analysis needs no values
        matrix_.dtype = CHOLMOD_DOUBLE;
        matrix_.sorted = 1;
        matrix_.packed = 1;
        matrix_.x = nullptr;
        if (factor_) cholmod_free_factor(&factor_, &common_);
        factor_ = cholmod_analyze(&matrix_, &common_);
        matrix_.xtype = CHOLMOD_REAL;
        if (!factor_ || common_.status < CHOLMOD_OK) throw SimError("CHOLMOD analysis failed (status " + std::to_string(common_.status) + ")");
    }

    FactorResult factor(const double* values) override
    {
        matrix_.x = const_cast<double*>(values);
        common_.quick_return_if_not_posdef = 1;
        cholmod_factorize(&matrix_, factor_, &common_);
        FactorResult result;
        if (common_.status == CHOLMOD_NOT_POSDEF) {
            result.ok = false;
            result.notPositiveDefinite = true;
            const size_t minor = factor_->minor;
            if (minor < static_cast<size_t>(n_)) {
                const int* perm = static_cast<const int*>(factor_->Perm);
                result.column = perm ? perm[minor] : static_cast<int>(minor);
            }
            result.message = "matrix is not positive definite";
        } else if (common_.status < CHOLMOD_OK) {
            result.ok = false;
            result.message = "CHOLMOD factorisation failed (status " + std::to_string(common_.status) + ")";
        }
        return result;
    }

    void solve(double* rhs, int nrhs) override
    {
        cholmod_dense b;
        std::memset(&b, 0, sizeof b);
        b.nrow = static_cast<size_t>(n_);
        b.ncol = static_cast<size_t>(nrhs);
        b.nzmax = b.nrow * b.ncol;
        b.d = b.nrow;
        b.x = rhs;
        b.xtype = CHOLMOD_REAL;
        b.dtype = CHOLMOD_DOUBLE;
        cholmod_dense* x = cholmod_solve(CHOLMOD_A, factor_, &b, &common_);
        if (!x) throw SimError("CHOLMOD solve failed");
        std::memcpy(rhs, x->x, sizeof(double) * b.nzmax);
        cholmod_free_dense(&x, &common_);
    }

private:
    cholmod_common common_{};
    cholmod_sparse matrix_{};
    cholmod_factor* factor_ = nullptr;
};

}  // namespace

std::unique_ptr<LinearSolver<double>> makeCholmodSolver() { return std::make_unique<CholmodSolver>(); }

}  // namespace korvex::sim
