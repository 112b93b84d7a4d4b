// One interface for the sparse direct solvers: analyse the pattern once, factor per step and
// frequency point, solve many right-hand sides, and entries of the inverse (the impedance
// seen at many ports). New backends only implement this interface.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mna_system.h"

namespace korvex::sim {

enum class SolverKind { Automatic, Cholmod, Klu, Mumps };

struct FactorResult {
    bool ok = true;
    bool notPositiveDefinite = false;  // worth retrying with a general solver
    int column = -1;                   // column of the zero or negative pivot, if known
    std::string message;
};

template <class S>
class LinearSolver {
public:
    virtual ~LinearSolver() = default;
    virtual const char* name() const = 0;
    // Throws SimError when the backend cannot be set up.
    virtual void analyse(const SparsePattern& pattern) = 0;
    virtual FactorResult factor(const S* values) = 0;
    // Solves in place; rhs holds nrhs columns of length n one after another.
    virtual void solve(S* rhs, int nrhs) = 0;
    // Entries (row, column) of the inverse of the factored matrix. The default solves with
    // unit vectors in blocks; backends with a selected-inverse mode override it.
    virtual void inverseEntries(const std::vector<std::pair<int, int>>& entries, S* out);

protected:
    int n_ = 0;
};

std::unique_ptr<LinearSolver<double>> makeCholmodSolver();
std::unique_ptr<LinearSolver<double>> makeKluRealSolver();
std::unique_ptr<LinearSolver<Complex>> makeKluComplexSolver();
std::unique_ptr<LinearSolver<Complex>> makeMumpsSolver();
std::unique_ptr<LinearSolver<double>> makeMumpsRealSolver();
// LDL^T without pivoting plus Takahashi's selected inversion, for many port impedances.
std::unique_ptr<LinearSolver<Complex>> makeSelectedInverseSolver();

const char* solverKindName(SolverKind kind);
bool parseSolverKind(const std::string& text, SolverKind& kind);

}  // namespace korvex::sim
