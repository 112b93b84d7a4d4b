// The parts of the LDL^T with selected inversion (solver_selected_inverse*.cpp): the supernodal
// layout of L, the numeric factorisation and Takahashi's selected inversion on that layout.
// Complex symmetric throughout: transposes, never conjugate transposes.
#pragma once
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "linear_solver.h"

namespace korvex::sim::supernodal {

// L in supernodes: supernode s holds the columns first[s] .. first[s + 1] - 1 (permuted order)
// and the rows rows[rowStart[s] ..rowStart[s + 1]) in ascending order, its own columns first. Its
// values are one dense column-major block of rowCount(s) x columnCount(s) from valueStart[s];
// the diagonal block holds L's unit lower triangle below the diagonal (the diagonal itself is D,
// kept apart), and the inverse uses the same layout.
struct Layout {
    int n = 0;
    std::vector<int> perm, pinv;  // permuted column k is original column perm[k]
    std::vector<int> first, rowStart, rows, superOf;
    std::vector<size_t> valueStart;

    int count() const { return static_cast<int>(first.size()) - 1; }
    int columnCount(int s) const { return first[s + 1] - first[s]; }
    int rowCount(int s) const { return rowStart[s + 1] - rowStart[s]; }
    // Subtrees below the top separators as ranges of supernodes [begin, end) that can be
    // worked on independently, largest work first; the supernodes outside them are ancestors
    // of them (the top separators). Empty when the tree does not split (or is not postordered).
    struct Subtree {
        int begin, end;
        double work;
    };
    std::vector<Subtree> subtrees;
};

// Complex storage left uninitialised: every entry of L and of the inverse is written before it is
// read, and filling gigabytes with zeros first would cost seconds.
class ComplexBuffer {
public:
    void resize(size_t size)
    {
        if (size == size_) return;
        data_.reset(static_cast<Complex*>(std::malloc(size * sizeof(Complex))));
        if (!data_ && size > 0) throw std::bad_alloc();
        size_ = size;
    }
    // At least `size` entries, the old contents not kept (workspaces).
    void reserve(size_t size)
    {
        if (size > size_) resize(size);
    }
    void release() { resize(0); }
    size_t size() const { return size_; }
    Complex* data() { return data_.get(); }
    const Complex* data() const { return data_.get(); }
    Complex& operator[](size_t k) { return data_.get()[k]; }
    const Complex& operator[](size_t k) const { return data_.get()[k]; }

private:
    struct Free {
        void operator()(Complex* p) const { std::free(p); }
    };
    std::unique_ptr<Complex, Free> data_;
    size_t size_ = 0;
};

// Fill-reducing order, elimination tree and supernodes (fundamental ones, runs of fewer than
// four columns joined), all from CHOLMOD's symbolic analysis of the pattern.
// The pattern holds both triangles. Throws SimError when the analysis fails.
Layout analyse(const SparsePattern& pattern);

// L and D of A = L D L^T without pivoting; values follow the pattern. Reports a vanishing pivot
// or element growth (the caller then falls back to a pivoting solver).
FactorResult factor(const Layout& layout, const SparsePattern& pattern, const Complex* values, ComplexBuffer& l, ComplexBuffer& d,
                    int threads);

// Solves A x = b in place for one right-hand side in the original order; `work` holds the
// permuted vector (kept by the caller so that a sweep does not allocate it at every point).
void solve(const Layout& layout, const ComplexBuffer& l, const ComplexBuffer& d, Complex* b, std::vector<Complex>& work);

// The inverse on the pattern of L (same layout as l; the diagonal blocks hold full lower
// triangles including the diagonal).
void selectedInverse(const Layout& layout, const ComplexBuffer& l, const ComplexBuffer& d, ComplexBuffer& z, int threads);

// Threads worth using: as many as the BLAS would use, at most two. While the factorisation
// and the inversion run, the BLAS itself runs on one thread (see solver_selected_inverse_blas.h).
int availableThreads();

// Sets the BLAS to one thread for its lifetime.
class SerialBlas {
public:
    SerialBlas();
    ~SerialBlas();
    SerialBlas(const SerialBlas&) = delete;
    SerialBlas& operator=(const SerialBlas&) = delete;

private:
    int previous_;
};

}  // namespace korvex::sim::supernodal
