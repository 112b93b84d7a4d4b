// The interface between korvex-sim and its multigrid module (korvex-sim-amg.so). The module
// carries hypre and MPI; it is loaded only when a system is solved by multigrid, so that every
// other run starts without MPI, and its own MPI library is bound before the MPI stand-ins that
// the sequential MUMPS carries. Plain C types only.
#pragma once

extern "C" {

// A symmetric positive definite matrix, compressed rows of both triangles, 0-based.
struct KorvexAmgMatrix {
    int n;
    const int* rowPtr;
    const int* colIdx;
    const double* values;
};

struct KorvexAmgResult {
    int converged;         // 1 when the relative residual reached the tolerance
    int iterations;
    double relativeResidual;
    double setupSeconds;   // MPI start-up (first call only) and the multigrid hierarchy
    char message[256];     // reason when something failed
};

// Builds the multigrid hierarchy; returns a handle, or null with result->message set.
// Every MPI process calls it with the whole matrix; each keeps its share of the rows.
typedef void* (*KorvexAmgSetupFn)(const KorvexAmgMatrix* matrix, KorvexAmgResult* result);
// Preconditioned CG for one right-hand side; x receives the whole solution on every process.
// Returns 0 on success (result->converged tells whether the tolerance was met).
typedef int (*KorvexAmgSolveFn)(void* handle, const double* rhs, double* x, double tolerance, int maxIterations,
                                KorvexAmgResult* result);
typedef void (*KorvexAmgFreeFn)(void* handle);
// Rank and size of this process in MPI_COMM_WORLD (starts MPI when needed).
typedef void (*KorvexAmgWorldFn)(int* rank, int* size);

}
