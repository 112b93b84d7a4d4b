// The multigrid module: hypre's BoomerAMG as preconditioner of CG on a ParCSR matrix whose rows
// are split evenly over the MPI processes. A process started without mpirun runs MPI as a
// singleton of one process.
#include <HYPRE.h>
#include <HYPRE_krylov.h>
#include <HYPRE_parcsr_ls.h>
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "amg_module.h"

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void finishMpi()
{
    int finalized = 0;
    MPI_Finalized(&finalized);
    if (!finalized) {
        HYPRE_Finalize();
        MPI_Finalize();
    }
}

// MPI and hypre once per process; MPI_Finalize runs at exit.
void startMpi()
{
    int started = 0;
    MPI_Initialized(&started);
    if (started) return;
    // A singleton needs no runtime daemon; this keeps start-up short (see also the transports
    // korvex-sim chooses before it loads this module).
    setenv("OMPI_MCA_ess_singleton_isolated", "1", 0);
    MPI_Init(nullptr, nullptr);
    HYPRE_Init();
    std::atexit(finishMpi);
}

struct Share {
    int first = 0, last = -1;  // rows owned by this process, inclusive
};

Share shareOf(int n, int rank, int size)
{
    const long long per = n / size, extra = n % size;
    Share s;
    s.first = static_cast<int>(rank * per + std::min<long long>(rank, extra));
    s.last = s.first + static_cast<int>(per + (rank < extra ? 1 : 0)) - 1;
    return s;
}

struct Handle {
    int n = 0, rank = 0, size = 1;
    Share share;
    HYPRE_IJMatrix ij = nullptr;
    HYPRE_ParCSRMatrix parcsr = nullptr;
    HYPRE_Solver amg = nullptr;
    HYPRE_Solver pcg = nullptr;
    std::vector<int> counts, offsets;  // rows per process, for gathering the solution
};

void release(Handle* h)
{
    if (h->pcg) HYPRE_ParCSRPCGDestroy(h->pcg);
    if (h->amg) HYPRE_BoomerAMGDestroy(h->amg);
    if (h->ij) HYPRE_IJMatrixDestroy(h->ij);
    delete h;
}

}  // namespace

extern "C" {

void korvexAmgWorld(int* rank, int* size)
{
    startMpi();
    MPI_Comm_rank(MPI_COMM_WORLD, rank);
    MPI_Comm_size(MPI_COMM_WORLD, size);
}

void* korvexAmgSetup(const KorvexAmgMatrix* matrix, KorvexAmgResult* result)
{
    const double start = now();
    startMpi();
    auto* h = new Handle;
    h->n = matrix->n;
    MPI_Comm_rank(MPI_COMM_WORLD, &h->rank);
    MPI_Comm_size(MPI_COMM_WORLD, &h->size);
    h->share = shareOf(h->n, h->rank, h->size);
    for (int p = 0; p < h->size; ++p) {
        const Share s = shareOf(h->n, p, h->size);
        h->offsets.push_back(s.first);
        h->counts.push_back(s.last - s.first + 1);
    }

    const int first = h->share.first, last = h->share.last, rows = last - first + 1;
    HYPRE_IJMatrixCreate(MPI_COMM_WORLD, first, last, first, last, &h->ij);
    HYPRE_IJMatrixSetObjectType(h->ij, HYPRE_PARCSR);
    std::vector<HYPRE_Int> sizes(static_cast<size_t>(std::max(rows, 0))), rowIds(sizes.size());
    for (int r = 0; r < rows; ++r) {
        rowIds[r] = first + r;
        sizes[r] = matrix->rowPtr[first + r + 1] - matrix->rowPtr[first + r];
    }
    // Entries per row in this process's own columns and in the others': with both known, hypre
    // fills its ParCSR blocks directly instead of going through its row-by-row auxiliary matrix.
    std::vector<HYPRE_Int> ownColumns(sizes.size()), otherColumns(sizes.size());
    for (int r = 0; r < rows; ++r) {
        for (int k = matrix->rowPtr[first + r]; k < matrix->rowPtr[first + r + 1]; ++k) {
            const int c = matrix->colIdx[k];
            ++(c >= first && c <= last ? ownColumns : otherColumns)[r];
        }
    }
    HYPRE_IJMatrixSetDiagOffdSizes(h->ij, ownColumns.data(), otherColumns.data());
    HYPRE_IJMatrixSetMaxOffProcElmts(h->ij, 0);
    HYPRE_IJMatrixInitialize(h->ij);
    if (rows > 0) {
        const int begin = matrix->rowPtr[first];
        HYPRE_IJMatrixSetValues(h->ij, rows, sizes.data(), rowIds.data(), matrix->colIdx + begin, matrix->values + begin);
    }
    HYPRE_IJMatrixAssemble(h->ij);
    void* object = nullptr;
    HYPRE_IJMatrixGetObject(h->ij, &object);
    h->parcsr = static_cast<HYPRE_ParCSRMatrix>(object);

    // One V-cycle per CG iteration; symmetric smoothing keeps the preconditioner symmetric.
    HYPRE_BoomerAMGCreate(&h->amg);
    HYPRE_BoomerAMGSetPrintLevel(h->amg, 0);
    HYPRE_BoomerAMGSetCoarsenType(h->amg, 10);    // HMIS
    HYPRE_BoomerAMGSetInterpType(h->amg, 6);      // extended+i
    HYPRE_BoomerAMGSetPMaxElmts(h->amg, 4);
    HYPRE_BoomerAMGSetStrongThreshold(h->amg, 0.25);
    HYPRE_BoomerAMGSetRelaxType(h->amg, 6);       // symmetric hybrid Gauss-Seidel
    HYPRE_BoomerAMGSetNumSweeps(h->amg, 1);
    HYPRE_BoomerAMGSetMaxIter(h->amg, 1);
    HYPRE_BoomerAMGSetTol(h->amg, 0.0);

    HYPRE_ParCSRPCGCreate(MPI_COMM_WORLD, &h->pcg);
    HYPRE_PCGSetTwoNorm(h->pcg, 1);
    HYPRE_PCGSetRelChange(h->pcg, 0);
    HYPRE_PCGSetPrintLevel(h->pcg, 0);
    HYPRE_PCGSetPrecond(h->pcg, (HYPRE_PtrToSolverFcn)HYPRE_BoomerAMGSolve, (HYPRE_PtrToSolverFcn)HYPRE_BoomerAMGSetup,
                        h->amg);

    // The hierarchy is built once here (PCG's own setup calls the preconditioner's setup).
    HYPRE_IJVector b = nullptr, x = nullptr;
    HYPRE_IJVectorCreate(MPI_COMM_WORLD, first, last, &b);
    HYPRE_IJVectorSetObjectType(b, HYPRE_PARCSR);
    HYPRE_IJVectorInitialize(b);
    HYPRE_IJVectorAssemble(b);
    HYPRE_IJVectorCreate(MPI_COMM_WORLD, first, last, &x);
    HYPRE_IJVectorSetObjectType(x, HYPRE_PARCSR);
    HYPRE_IJVectorInitialize(x);
    HYPRE_IJVectorAssemble(x);
    void* bo = nullptr;
    void* xo = nullptr;
    HYPRE_IJVectorGetObject(b, &bo);
    HYPRE_IJVectorGetObject(x, &xo);
    const HYPRE_Int status = HYPRE_ParCSRPCGSetup(h->pcg, h->parcsr, static_cast<HYPRE_ParVector>(bo),
                                                  static_cast<HYPRE_ParVector>(xo));
    HYPRE_IJVectorDestroy(b);
    HYPRE_IJVectorDestroy(x);
    result->setupSeconds = now() - start;
    if (status != 0) {
        std::snprintf(result->message, sizeof result->message, "BoomerAMG setup failed (hypre error %d)", static_cast<int>(status));
        HYPRE_ClearAllErrors();
        release(h);
        return nullptr;
    }
    return h;
}

int korvexAmgSolve(void* handle, const double* rhs, double* solution, double tolerance, int maxIterations,
                   KorvexAmgResult* result)
{
    auto* h = static_cast<Handle*>(handle);
    const int first = h->share.first, last = h->share.last, rows = last - first + 1;
    std::vector<HYPRE_Int> ids(static_cast<size_t>(std::max(rows, 0)));
    for (int r = 0; r < rows; ++r) ids[r] = first + r;
    std::vector<double> zeros(ids.size(), 0.0);

    HYPRE_IJVector b = nullptr, x = nullptr;
    HYPRE_IJVectorCreate(MPI_COMM_WORLD, first, last, &b);
    HYPRE_IJVectorSetObjectType(b, HYPRE_PARCSR);
    HYPRE_IJVectorInitialize(b);
    if (rows > 0) HYPRE_IJVectorSetValues(b, rows, ids.data(), rhs + first);
    HYPRE_IJVectorAssemble(b);
    HYPRE_IJVectorCreate(MPI_COMM_WORLD, first, last, &x);
    HYPRE_IJVectorSetObjectType(x, HYPRE_PARCSR);
    HYPRE_IJVectorInitialize(x);
    if (rows > 0) HYPRE_IJVectorSetValues(x, rows, ids.data(), zeros.data());
    HYPRE_IJVectorAssemble(x);
    void* bo = nullptr;
    void* xo = nullptr;
    HYPRE_IJVectorGetObject(b, &bo);
    HYPRE_IJVectorGetObject(x, &xo);

    HYPRE_PCGSetTol(h->pcg, tolerance);
    HYPRE_PCGSetMaxIter(h->pcg, maxIterations);
    HYPRE_ParCSRPCGSolve(h->pcg, h->parcsr, static_cast<HYPRE_ParVector>(bo), static_cast<HYPRE_ParVector>(xo));
    HYPRE_Int iterations = 0;
    double residual = 0;
    HYPRE_PCGGetNumIterations(h->pcg, &iterations);
    HYPRE_PCGGetFinalRelativeResidualNorm(h->pcg, &residual);
    HYPRE_ClearAllErrors();  // not converging is reported through the residual, not as an error
    result->iterations = static_cast<int>(iterations);
    result->relativeResidual = residual;
    result->converged = residual <= tolerance ? 1 : 0;

    if (rows > 0) HYPRE_IJVectorGetValues(x, rows, ids.data(), solution + first);
    HYPRE_IJVectorDestroy(b);
    HYPRE_IJVectorDestroy(x);
    if (h->size > 1)
        MPI_Allgatherv(MPI_IN_PLACE, 0, MPI_DATATYPE_NULL, solution, h->counts.data(), h->offsets.data(), MPI_DOUBLE,
                       MPI_COMM_WORLD);
    return 0;
}

void korvexAmgFree(void* handle)
{
    if (handle) release(static_cast<Handle*>(handle));
}

}  // extern "C"
