// One interface for the sparse direct solvers: analyse the pattern once, factor per step and
// frequency point, solve many right-hand sides, and entries of the inverse (the impedance
// seen at many ports). New backends only implement this interface.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mna_system.h"
#include "sim_error.h"

namespace korvex::sim {

enum class SolverKind { Automatic, Amg, Cholmod, Klu, Mumps };

struct FactorResult {
    bool ok = true;
    bool notPositiveDefinite = false;  // worth retrying with a general solver
    int column = -1;                   // column of the zero or negative pivot, if known
    std::string message;
};

// An iterative solver that stopped short of its tolerance; the caller retries with a direct one.
class SolverNotConverged : public SimError {
public:
    using SimError::SimError;
};

template <class S>
class LinearSolver {
public:
    virtual ~LinearSolver() = default;
    virtual const char* name() const = 0;
    // Throws SimError when the backend cannot be set up. The pattern must outlive the
    // solver (backends may keep a reference instead of a copy).
    virtual void analyse(const SparsePattern& pattern) = 0;
    virtual FactorResult factor(const S* values) = 0;
    // Solves in place; rhs holds nrhs columns of length n one after another.
    virtual void solve(S* rhs, int nrhs) = 0;
    // Entries (row, column) of the inverse of the factored matrix. The default solves with
    // unit vectors in blocks; backends with a selected-inverse mode override it.
    virtual void inverseEntries(const std::vector<std::pair<int, int>>& entries, S* out);
    // Figures of the last factorisation and solve worth a log line (iterations and the like).
    virtual std::string report() const { return {}; }

protected:
    int n_ = 0;

private:
    std::vector<S> unitColumns_;  // inverseEntries' right-hand sides, kept from point to point
};

std::unique_ptr<LinearSolver<double>> makeCholmodSolver();

// Multigrid-preconditioned CG. The tolerance is on ||b - A x|| / ||b||; 1e-14 keeps the node
// voltages of mesh networks within 1e-9 relative of a direct solve (at 2 million unknowns CG
// ends at 8e-15 and the voltages lie 5e-10 from CHOLMOD's, so there is no margin to spare).
struct AmgSettings {
    double tolerance = 1e-14;
    int maxIterations = 200;
};
inline constexpr const char* kAmgSolverName = "hypre BoomerAMG + CG";
std::unique_ptr<LinearSolver<double>> makeAmgSolver(const AmgSettings& settings = {});
// Whether the multigrid module could be loaded (analyse() on an AMG solver says why not).
bool amgAvailable();

// This process in MPI_COMM_WORLD (starting MPI through the multigrid module); size 0 when the
// module cannot be loaded.
struct MpiWorld {
    int rank = 0, size = 0;
};
MpiWorld mpiWorld();
// Whether an MPI launcher (mpirun, mpiexec) started this process.
bool launchedByMpirun();
std::unique_ptr<LinearSolver<double>> makeKluRealSolver();
std::unique_ptr<LinearSolver<Complex>> makeKluComplexSolver();
std::unique_ptr<LinearSolver<Complex>> makeMumpsSolver();
std::unique_ptr<LinearSolver<double>> makeMumpsRealSolver();
// LDL^T without pivoting plus Takahashi's selected inversion, for many port impedances.
std::unique_ptr<LinearSolver<Complex>> makeSelectedInverseSolver();

const char* solverKindName(SolverKind kind);
bool parseSolverKind(const std::string& text, SolverKind& kind);

}  // namespace korvex::sim
