// The Fortran BLAS routines of the supernodal LDL^T and selected inversion (complex double,
// transposes without conjugation). Large products and solves are cut into pieces whose bounds
// depend only on the sizes, each piece one single-threaded BLAS call; two threads may share
// the pieces. So the values do not depend on the number of threads: the BLAS's own threads
// would change the order of the sums with the thread count.
#pragma once
#include <algorithm>
#include <atomic>
#include <thread>

#include "mna_system.h"

extern "C" {
void zgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const korvex::sim::Complex* alpha,
            const korvex::sim::Complex* a, const int* lda, const korvex::sim::Complex* b, const int* ldb,
            const korvex::sim::Complex* beta, korvex::sim::Complex* c, const int* ldc);
void ztrsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m, const int* n,
            const korvex::sim::Complex* alpha, const korvex::sim::Complex* a, const int* lda, korvex::sim::Complex* b, const int* ldb);
}

namespace korvex::sim::supernodal {

constexpr double kSmallWork = 2048;        // multiply-adds below which a product is a plain loop
constexpr int kPiece = 128;                // rows or columns per piece of a large operation
constexpr double kPiecewiseWork = 4e6;     // multiply-adds from which an operation is cut up

// Runs f(piece, thread) for the pieces 0 .. pieces - 1, on threads 0 and 1 when `parallel`.
template <class F>
void forPieces(int pieces, bool parallel, F&& f)
{
    std::atomic<int> next{0};
    auto work = [&](int thread) {
        for (int p; (p = next.fetch_add(1)) < pieces;) f(p, thread);
    };
    if (parallel && pieces >= 2) {
        std::thread helper(work, 1);
        work(0);
        helper.join();
    } else {
        work(0);
    }
}

inline int piecesFor(int length, double work)
{
    return work >= kPiecewiseWork && length >= 2 * kPiece ? (length + kPiece - 1) / kPiece : 1;
}

// The product of small blocks (most supernodes are a few columns wide), where a BLAS call costs
// more than the arithmetic. beta 0 does not read C.
inline void gemmSmall(char ta, char tb, int m, int n, int k, Complex alpha, const Complex* a, int lda, const Complex* b, int ldb, Complex beta,
                      Complex* c, int ldc)
{
    const size_t aRow = ta == 'N' ? 1 : lda, aColumn = ta == 'N' ? lda : 1;
    const size_t bRow = tb == 'N' ? 1 : ldb, bColumn = tb == 'N' ? ldb : 1;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < m; ++i) {
            double re = 0, im = 0;
            for (int l = 0; l < k; ++l) {
                const Complex x = a[i * aRow + l * aColumn], y = b[l * bRow + j * bColumn];
                re += x.real() * y.real() - x.imag() * y.imag();
                im += x.real() * y.imag() + x.imag() * y.real();
            }
            Complex& out = c[i + static_cast<size_t>(j) * ldc];
            const Complex sum = Complex(alpha.real() * re - alpha.imag() * im, alpha.real() * im + alpha.imag() * re);
            out = beta == Complex(0) ? sum : sum + beta * out;
        }
    }
}

// C = alpha op(A) op(B) + beta C, column-major, op 'N' or 'T'; cut along the longer side of C.
inline void gemm(bool parallel, char ta, char tb, int m, int n, int k, Complex alpha, const Complex* a, int lda, const Complex* b, int ldb,
                 Complex beta, Complex* c, int ldc)
{
    if (m <= 0 || n <= 0) return;
    if (static_cast<double>(m) * n * k <= kSmallWork) return gemmSmall(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc);
    const bool byRows = m >= n;
    const int length = byRows ? m : n;
    const int pieces = piecesFor(length, static_cast<double>(m) * n * k);
    forPieces(pieces, parallel, [&](int p, int) {
        const int begin = p * length / pieces, end = (p + 1) * length / pieces, size = end - begin;
        if (byRows) {
            const Complex* ap = ta == 'N' ? a + begin : a + static_cast<size_t>(begin) * lda;
            zgemm_(&ta, &tb, &size, &n, &k, &alpha, ap, &lda, b, &ldb, &beta, c + begin, &ldc);
        } else {
            const Complex* bp = tb == 'N' ? b + static_cast<size_t>(begin) * ldb : b + begin;
            zgemm_(&ta, &tb, &m, &size, &k, &alpha, a, &lda, bp, &ldb, &beta, c + static_cast<size_t>(begin) * ldc, &ldc);
        }
    });
}

// X op(L) = B for the unit lower triangle L (n x n), B m x n overwritten; cut along the rows.
inline void trsmRightUnitLower(bool parallel, char trans, int m, int n, const Complex* l, int ldl, Complex* b, int ldb)
{
    if (m <= 0 || n <= 1) return;  // a 1 x 1 unit triangle changes nothing
    const int pieces = piecesFor(m, static_cast<double>(m) * n * n / 2);
    const char side = 'R', uplo = 'L', diag = 'U';
    const Complex one(1);
    forPieces(pieces, parallel, [&](int p, int) {
        const int begin = p * m / pieces, end = (p + 1) * m / pieces, size = end - begin;
        ztrsm_(&side, &uplo, &trans, &diag, &size, &n, &one, l, &ldl, b + begin, &ldb);
    });
}

// L^T X = B for the unit lower triangle L (m x m), B m x n overwritten (small: one call).
inline void trsmLeftUnitLowerTransposed(int m, int n, const Complex* l, int ldl, Complex* b, int ldb)
{
    if (m <= 1 || n <= 0) return;
    const char side = 'L', uplo = 'L', trans = 'T', diag = 'U';
    const Complex one(1);
    ztrsm_(&side, &uplo, &trans, &diag, &m, &n, &one, l, &ldl, b, &ldb);
}

}  // namespace korvex::sim::supernodal
