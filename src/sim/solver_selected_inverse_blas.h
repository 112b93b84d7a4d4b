// The Fortran BLAS routines of the supernodal LDL^T and selected inversion (complex double).
// ZSYRK and ZSYMM are the symmetric, non-conjugating forms, as complex symmetric matrices need.
#pragma once
#include "mna_system.h"

extern "C" {
void zgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const korvex::sim::Complex* alpha,
            const korvex::sim::Complex* a, const int* lda, const korvex::sim::Complex* b, const int* ldb,
            const korvex::sim::Complex* beta, korvex::sim::Complex* c, const int* ldc);
void ztrsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m, const int* n,
            const korvex::sim::Complex* alpha, const korvex::sim::Complex* a, const int* lda, korvex::sim::Complex* b, const int* ldb);
void zsymm_(const char* side, const char* uplo, const int* m, const int* n, const korvex::sim::Complex* alpha,
            const korvex::sim::Complex* a, const int* lda, const korvex::sim::Complex* b, const int* ldb,
            const korvex::sim::Complex* beta, korvex::sim::Complex* c, const int* ldc);
}

namespace korvex::sim::supernodal {

// C = alpha op(A) op(B) + beta C, column-major, op 'N' or 'T'.
inline void gemm(char ta, char tb, int m, int n, int k, Complex alpha, const Complex* a, int lda, const Complex* b, int ldb, Complex beta,
                 Complex* c, int ldc)
{
    if (m <= 0 || n <= 0) return;
    zgemm_(&ta, &tb, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
}

// Solves with the unit lower triangle of A: side 'L' gives op(A) X = B, 'R' gives X op(A) = B.
inline void trsmUnitLower(char side, char trans, int m, int n, const Complex* a, int lda, Complex* b, int ldb)
{
    if (m <= 0 || n <= 0) return;
    const char uplo = 'L', diag = 'U';
    const Complex one(1);
    ztrsm_(&side, &uplo, &trans, &diag, &m, &n, &one, a, &lda, b, &ldb);
}

// C = alpha A B + beta C with A symmetric (its lower triangle is read), m x m.
inline void symmLower(int m, int n, Complex alpha, const Complex* a, int lda, const Complex* b, int ldb, Complex beta, Complex* c, int ldc)
{
    if (m <= 0 || n <= 0) return;
    const char side = 'L', uplo = 'L';
    zsymm_(&side, &uplo, &m, &n, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
}

}  // namespace korvex::sim::supernodal
