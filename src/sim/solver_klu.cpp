// KLU: the general fallback for real and complex systems (unsymmetric or indefinite).
#include <klu.h>

#include <type_traits>

#include "linear_solver.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

template <class S>
class KluSolver : public LinearSolver<S> {
    static constexpr bool kComplex = std::is_same_v<S, Complex>;

public:
    KluSolver() { klu_defaults(&common_); }
    ~KluSolver() override { release(); }
    const char* name() const override { return "KLU"; }

    void analyse(const SparsePattern& pattern) override
    {
        release();
        this->n_ = pattern.n;
        colPtr_ = pattern.colPtr;
        rowIdx_ = pattern.rowIdx;
        symbolic_ = klu_analyze(this->n_, colPtr_.data(), rowIdx_.data(), &common_);
        if (!symbolic_) throw SimError("KLU analysis failed (status " + std::to_string(common_.status) + ")");
    }

    FactorResult factor(const S* values) override
    {
        if (numeric_) freeNumeric();
        double* x = const_cast<double*>(reinterpret_cast<const double*>(values));
        if constexpr (kComplex) numeric_ = klu_z_factor(colPtr_.data(), rowIdx_.data(), x, symbolic_, &common_);
        else numeric_ = klu_factor(colPtr_.data(), rowIdx_.data(), x, symbolic_, &common_);
        FactorResult result;
        if (!numeric_ || common_.status == KLU_SINGULAR) {
            result.ok = false;
            result.column = common_.status == KLU_SINGULAR ? common_.singular_col : -1;
            result.message = common_.status == KLU_SINGULAR ? "matrix is singular" : "KLU factorisation failed";
        }
        return result;
    }

    void solve(S* rhs, int nrhs) override
    {
        double* b = reinterpret_cast<double*>(rhs);
        int ok;
        if constexpr (kComplex) ok = klu_z_solve(symbolic_, numeric_, this->n_, nrhs, b, &common_);
        else ok = klu_solve(symbolic_, numeric_, this->n_, nrhs, b, &common_);
        if (!ok) throw SimError("KLU solve failed");
    }

private:
    void freeNumeric()
    {
        if constexpr (kComplex) klu_z_free_numeric(&numeric_, &common_);
        else klu_free_numeric(&numeric_, &common_);
    }
    void release()
    {
        if (numeric_) freeNumeric();
        if (symbolic_) klu_free_symbolic(&symbolic_, &common_);
    }

    klu_common common_{};
    klu_symbolic* symbolic_ = nullptr;
    klu_numeric* numeric_ = nullptr;
    std::vector<int> colPtr_, rowIdx_;
};

}  // namespace

std::unique_ptr<LinearSolver<double>> makeKluRealSolver() { return std::make_unique<KluSolver<double>>(); }
std::unique_ptr<LinearSolver<Complex>> makeKluComplexSolver() { return std::make_unique<KluSolver<Complex>>(); }

}  // namespace korvex::sim
