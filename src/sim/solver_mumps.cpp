// MUMPS: symmetric LDL^T with pivoting (SYM=2), complex for the AC analysis (one analysis per
// sweep, one factorisation per point, its selected-inverse mode for port impedances) and real
// for operating points that are not positive definite (branch currents).
#include <dmumps_c.h>
#include <zmumps_c.h>

#include <algorithm>
#include <cstring>

#include "linear_solver.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

constexpr int kUseCommWorld = -987654;

template <class S>
struct MumpsTraits;

template <>
struct MumpsTraits<Complex> {
    using Struc = ZMUMPS_STRUC_C;
    using Value = ZMUMPS_COMPLEX;
    static void call(Struc* id) { zmumps_c(id); }
    static Value toValue(Complex v) { return {v.real(), v.imag()}; }
    static Complex fromValue(Value v) { return {v.r, v.i}; }
};

template <>
struct MumpsTraits<double> {
    using Struc = DMUMPS_STRUC_C;
    using Value = double;
    static void call(Struc* id) { dmumps_c(id); }
    static Value toValue(double v) { return v; }
    static double fromValue(Value v) { return v; }
};

template <class S>
class MumpsSolver : public LinearSolver<S> {
    using T = MumpsTraits<S>;
    using Value = typename T::Value;
    using LinearSolver<S>::n_;

public:
    MumpsSolver()
    {
        std::memset(&id_, 0, sizeof id_);
        id_.job = -1;
        id_.par = 1;
        id_.sym = 2;  // general symmetric (for complex: symmetric, not Hermitian)
        id_.comm_fortran = kUseCommWorld;
        T::call(&id_);
        if (id_.infog[0] < 0) throw SimError("MUMPS initialisation failed (INFOG(1)=" + std::to_string(id_.infog[0]) + ")");
        initialised_ = true;
        quiet();
    }
    ~MumpsSolver() override
    {
        if (initialised_) {
            id_.job = -2;
            T::call(&id_);
        }
    }
    const char* name() const override { return "MUMPS"; }

    void analyse(const SparsePattern& pattern) override
    {
        n_ = pattern.n;
        irn_.clear();
        jcn_.clear();
        source_.clear();
        for (int c = 0; c < n_; ++c) {
            for (int p = pattern.colPtr[c]; p < pattern.colPtr[c + 1]; ++p) {
                const int r = pattern.rowIdx[p];
                if (r < c) continue;  // lower triangle only
                irn_.push_back(r + 1);
                jcn_.push_back(c + 1);
                source_.push_back(p);
            }
        }
        a_.assign(irn_.size(), T::toValue(S(0)));
        id_.n = n_;
        id_.nnz = static_cast<MUMPS_INT8>(irn_.size());
        id_.irn = irn_.data();
        id_.jcn = jcn_.data();
        id_.a = a_.data();
        id_.job = 1;
        T::call(&id_);
        check("analysis");
    }

    FactorResult factor(const S* values) override
    {
        for (size_t k = 0; k < source_.size(); ++k) a_[k] = T::toValue(values[source_[k]]);
        FactorResult result;
        for (int attempt = 0; attempt < 4; ++attempt) {
            id_.job = 2;
            T::call(&id_);
            if (id_.infog[0] == -9 || id_.infog[0] == -8) {  // work space too small: grow it
                id_.icntl[13] += 100;
                continue;
            }
            break;
        }
        if (id_.infog[0] == -10) {
            result.ok = false;
            result.message = "matrix is singular";
        } else if (id_.infog[0] < 0) {
            result.ok = false;
            result.message = "MUMPS factorisation failed (INFOG(1)=" + std::to_string(id_.infog[0]) +
                             ", INFOG(2)=" + std::to_string(id_.infog[1]) + ")";
        }
        return result;
    }

    void solve(S* rhs, int nrhs) override
    {
        id_.icntl[29] = 0;
        id_.icntl[19] = 0;  // dense right-hand sides
        id_.nrhs = nrhs;
        id_.lrhs = n_;
        id_.rhs = reinterpret_cast<Value*>(rhs);
        id_.job = 3;
        T::call(&id_);
        id_.rhs = nullptr;
        check("solve");
    }

    // ICNTL(30): entries of the inverse from the factors, with the wanted entries given
    // as a sparse pattern by columns.
    void inverseEntries(const std::vector<std::pair<int, int>>& entries, S* out) override
    {
        if (entries.empty()) return;
        std::vector<size_t> order(entries.size());
        for (size_t k = 0; k < order.size(); ++k) order[k] = k;
        std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            return entries[x].second != entries[y].second ? entries[x].second < entries[y].second
                                                          : entries[x].first < entries[y].first;
        });
        std::vector<MUMPS_INT> ptr(n_ + 1, 0), rows(entries.size());
        std::vector<Value> vals(entries.size());
        for (const auto& e : entries) ++ptr[e.second + 1];
        for (int c = 0; c < n_; ++c) ptr[c + 1] += ptr[c];
        for (size_t k = 0; k < order.size(); ++k) rows[k] = entries[order[k]].first + 1;
        for (auto& p : ptr) p += 1;
        id_.icntl[29] = 1;
        id_.nrhs = n_;
        id_.lrhs = n_;
        id_.nz_rhs = static_cast<MUMPS_INT>(entries.size());
        id_.irhs_ptr = ptr.data();
        id_.irhs_sparse = rows.data();
        id_.rhs_sparse = vals.data();
        id_.job = 3;
        T::call(&id_);
        id_.icntl[29] = 0;
        id_.irhs_ptr = nullptr;
        id_.irhs_sparse = nullptr;
        id_.rhs_sparse = nullptr;
        check("selected inversion");
        for (size_t k = 0; k < order.size(); ++k) out[order[k]] = T::fromValue(vals[k]);
    }

private:
    void quiet()
    {
        id_.icntl[0] = -1;
        id_.icntl[1] = -1;
        id_.icntl[2] = -1;
        id_.icntl[3] = 0;
        id_.icntl[13] = 50;  // extra work space, percent
    }
    void check(const char* stage)
    {
        if (id_.infog[0] < 0)
            throw SimError(std::string("MUMPS ") + stage + " failed (INFOG(1)=" + std::to_string(id_.infog[0]) +
                           ", INFOG(2)=" + std::to_string(id_.infog[1]) + ")");
    }

    typename T::Struc id_;
    bool initialised_ = false;
    std::vector<MUMPS_INT> irn_, jcn_;
    std::vector<int> source_;
    std::vector<Value> a_;
};

}  // namespace

std::unique_ptr<LinearSolver<Complex>> makeMumpsSolver() { return std::make_unique<MumpsSolver<Complex>>(); }
std::unique_ptr<LinearSolver<double>> makeMumpsRealSolver() { return std::make_unique<MumpsSolver<double>>(); }

}  // namespace korvex::sim
