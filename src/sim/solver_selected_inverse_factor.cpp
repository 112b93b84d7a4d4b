// Supernodal left-looking LDL^T without pivoting (complex symmetric): each supernode gathers its
// columns of A, subtracts the updates of the supernodes below it (dense products through the
// BLAS, scattered by row position) and factorises its dense block in column panels. The
// updates into a supernode are applied in the order of the updating supernodes, whatever order
// the supernodes were factorised in, so independent subtrees can run on two threads and give
// the serial result bit for bit.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "solver_selected_inverse.h"
#include "solver_selected_inverse_blas.h"

namespace korvex::sim::supernodal {

namespace {

constexpr int kPanel = 64;                 // columns per panel of a dense block
constexpr double kPivotFloor = 1e-13;      // |d_k| relative to |A_kk| below which the pivot vanishes
constexpr double kLargestMultiplier = 1e8;  // larger entries of L mean lost digits

struct Failure {
    int column = -1;  // permuted
    const char* message = nullptr;
};

class Factoriser {
public:
    Factoriser(const Layout& layout, const SparsePattern& pattern, const Complex* values, ComplexBuffer& l, ComplexBuffer& d)
        : layout_(layout), pattern_(pattern), values_(values), l_(l), d_(d), head_(layout.count(), -1), next_(layout.count(), -1),
          position_(layout.count(), 0)
    {
    }

    // Per thread: the row map and the buffers of one update.
    struct Workspace {
        std::vector<int> map;
        ComplexBuffer product, scaled;
        std::vector<int> updaters;
        std::vector<double> diagonalScale;  // |A_kk| of the supernode's columns
        std::vector<std::pair<int, int>> deferredLinks;  // (supernode, target) outside the range
    };

    // Factorises supernodes [begin, end) in order; links into supernodes at or past `end` wait
    // in the workspace until link() is called. Returns false (and keeps the first failure) when
    // a pivot fails.
    bool run(int begin, int end, Workspace& w)
    {
        if (w.map.size() != static_cast<size_t>(layout_.n)) w.map.assign(layout_.n, 0);
        for (int s = begin; s < end; ++s) {
            if (failed_.load(std::memory_order_relaxed)) return false;
            if (!factorSupernode(s, end, w)) return false;
        }
        return true;
    }

    void link(Workspace& w)
    {
        for (const auto& [s, target] : w.deferredLinks) push(s, target);
        w.deferredLinks.clear();
    }

    Failure failure() const { return failure_; }

    // Whether the dense operations may use two threads (not while two subtrees run).
    bool parallel = false;

private:
    void push(int s, int target)
    {
        next_[s] = head_[target];
        head_[target] = s;
    }

    bool factorSupernode(int s, int rangeEnd, Workspace& w)
    {
        const int k1 = layout_.first[s], columns = layout_.columnCount(s), rows = layout_.rowCount(s);
        const int* rowList = layout_.rows.data() + layout_.rowStart[s];
        Complex* block = l_.data() + layout_.valueStart[s];
        for (int i = 0; i < rows; ++i) w.map[rowList[i]] = i;
        std::fill(block, block + static_cast<size_t>(rows) * columns, Complex(0));
        std::vector<double>& diagonalScale = w.diagonalScale;
        diagonalScale.assign(columns, 0);
        for (int c = 0; c < columns; ++c) {
            const int k = k1 + c, original = layout_.perm[k];
            for (int p = pattern_.colPtr[original]; p < pattern_.colPtr[original + 1]; ++p) {
                const int i = layout_.pinv[pattern_.rowIdx[p]];
                if (i < k) continue;
                block[static_cast<size_t>(c) * rows + w.map[i]] += values_[p];
                if (i == k) diagonalScale[c] = std::abs(values_[p]);
            }
        }
        w.updaters.clear();
        for (int u = head_[s]; u != -1; u = next_[u]) w.updaters.push_back(u);
        std::sort(w.updaters.begin(), w.updaters.end());
        for (const int u : w.updaters) {
            applyUpdate(u, s, block, rows, w);
            const int uStart = layout_.rowStart[u], uRows = layout_.rowCount(u);
            if (position_[u] < uRows) {
                const int target = layout_.superOf[layout_.rows[uStart + position_[u]]];
                if (target >= rangeEnd) w.deferredLinks.emplace_back(u, target);
                else push(u, target);
            }
        }
        head_[s] = -1;
        if (!factorBlock(s, block, rows, columns, diagonalScale, w)) return false;
        position_[s] = columns;
        if (rows > columns) {
            const int target = layout_.superOf[rowList[columns]];
            if (target >= rangeEnd) w.deferredLinks.emplace_back(s, target);
            else push(s, target);
        }
        return true;
    }

    // Subtracts L_u(rows r, :) D_u L_u(rows c, :)^T from supernode s, where c are the rows of u
    // among the columns of s (from position_[u] on) and r those rows and all below them.
    void applyUpdate(int u, int s, Complex* block, int rows, Workspace& w)
    {
        const int k2 = layout_.first[s + 1], k1 = layout_.first[s];
        const int uStart = layout_.rowStart[u], uRows = layout_.rowCount(u), uColumns = layout_.columnCount(u);
        const int* uRowList = layout_.rows.data() + uStart;
        const int p1 = position_[u];
        int p2 = p1;
        while (p2 < uRows && uRowList[p2] < k2) ++p2;
        const int inColumns = p2 - p1, below = uRows - p1;
        const Complex* lu = l_.data() + layout_.valueStart[u];
        const Complex* du = d_.data() + layout_.first[u];
        w.scaled.reserve(static_cast<size_t>(inColumns) * uColumns);
        for (int c = 0; c < uColumns; ++c)
            for (int i = 0; i < inColumns; ++i)
                w.scaled[static_cast<size_t>(c) * inColumns + i] = lu[static_cast<size_t>(c) * uRows + p1 + i] * du[c];
        w.product.reserve(static_cast<size_t>(below) * inColumns);
        gemm(parallel, 'N', 'T', below, inColumns, uColumns, Complex(1), lu + p1, uRows, w.scaled.data(), inColumns, Complex(0), w.product.data(),
             below);
        for (int j = 0; j < inColumns; ++j) {
            Complex* target = block + static_cast<size_t>(uRowList[p1 + j] - k1) * rows;
            const Complex* source = w.product.data() + static_cast<size_t>(j) * below;
            for (int i = j; i < below; ++i) target[w.map[uRowList[p1 + i]]] -= source[i];
        }
        position_[u] = p2;
    }

    // LDL^T of the dense block (rows x columns, the diagonal block on top) in column panels:
    // each panel's diagonal part unblocked, the rows below it by a triangular solve, the rest
    // of the block updated by one product.
    bool factorBlock(int s, Complex* a, int lda, int columns, const std::vector<double>& diagonalScale, Workspace& w)
    {
        const int k1 = layout_.first[s];
        Complex* d = d_.data() + k1;
        for (int c0 = 0; c0 < columns; c0 += kPanel) {
            const int width = std::min(kPanel, columns - c0), c1 = c0 + width;
            for (int k = c0; k < c1; ++k) {
                Complex* colK = a + static_cast<size_t>(k) * lda;
                const Complex dk = colK[k];
                if (!(std::abs(dk) > kPivotFloor * diagonalScale[k]) || !std::isfinite(std::abs(dk)))
                    return fail(k1 + k, "vanishing pivot without pivoting");
                d[k] = dk;
                const Complex inverse = Complex(1) / dk;  // one division; multiplying is much cheaper
                for (int j = k + 1; j < c1; ++j) {
                    const Complex ljk = colK[j] * inverse;
                    Complex* colJ = a + static_cast<size_t>(j) * lda;
                    for (int i = j; i < c1; ++i) colJ[i] -= colK[i] * ljk;
                }
                for (int i = k + 1; i < c1; ++i) colK[i] *= inverse;
            }
            const int below = lda - c1, trailing = columns - c1;
            if (below == 0) continue;
            Complex* panelBelow = a + static_cast<size_t>(c0) * lda + c1;
            trsmRightUnitLower(parallel, 'T', below, width, a + static_cast<size_t>(c0) * lda + c0, lda, panelBelow, lda);  // now L D
            if (trailing > 0) {
                w.scaled.reserve(static_cast<size_t>(trailing) * width);
                for (int c = 0; c < width; ++c)
                    std::copy_n(panelBelow + static_cast<size_t>(c) * lda, trailing, w.scaled.data() + static_cast<size_t>(c) * trailing);
            }
            for (int c = 0; c < width; ++c) {
                Complex* column = panelBelow + static_cast<size_t>(c) * lda;
                const Complex inverse = Complex(1) / d[c0 + c];
                bool grown = false;  // also set by a NaN
                for (int i = 0; i < below; ++i) {
                    column[i] *= inverse;
                    grown |= !(std::norm(column[i]) <= kLargestMultiplier * kLargestMultiplier);
                }
                if (grown) return fail(k1 + c0 + c, "element growth without pivoting");
            }
            if (trailing > 0)
                gemm(parallel, 'N', 'T', below, trailing, width, Complex(-1), panelBelow, lda, w.scaled.data(), trailing, Complex(1),
                     a + static_cast<size_t>(c1) * lda + c1, lda);
        }
        for (int k = 0; k < columns; ++k)
            for (int i = k + 1; i < columns; ++i)
                if (!(std::norm(a[static_cast<size_t>(k) * lda + i]) <= kLargestMultiplier * kLargestMultiplier))
                    return fail(k1 + k, "element growth without pivoting");
        return true;
    }

    bool fail(int column, const char* message)
    {
        std::lock_guard lock(failureMutex_);
        if (!failed_.exchange(true) || column < failure_.column) failure_ = {column, message};
        return false;
    }

    const Layout& layout_;
    const SparsePattern& pattern_;
    const Complex* values_;
    ComplexBuffer& l_;
    ComplexBuffer& d_;
    std::vector<int> head_, next_, position_;
    std::atomic<bool> failed_{false};
    std::mutex failureMutex_;
    Failure failure_;
};

}  // namespace

FactorResult factor(const Layout& layout, const SparsePattern& pattern, const Complex* values, ComplexBuffer& l, ComplexBuffer& d,
                    int threads)
{
    l.resize(layout.valueStart.back());
    d.resize(layout.n);
    const SerialBlas serialBlas;
    Factoriser factoriser(layout, pattern, values, l, d);
    std::vector<Factoriser::Workspace> workspaces(2);
    // The subtrees first (on two threads), then the supernodes above them.
    forPieces(static_cast<int>(layout.subtrees.size()), threads >= 2, [&](int t, int thread) {
        factoriser.run(layout.subtrees[t].begin, layout.subtrees[t].end, workspaces[thread]);
    });
    for (auto& w : workspaces) factoriser.link(w);
    std::vector<char> inSubtree(layout.count(), 0);
    for (const auto& t : layout.subtrees) std::fill(inSubtree.begin() + t.begin, inSubtree.begin() + t.end, 1);
    factoriser.parallel = threads >= 2;
    for (int s = 0; s < layout.count(); ++s) {
        if (inSubtree[s]) continue;
        if (!factoriser.run(s, s + 1, workspaces[0])) break;
        factoriser.link(workspaces[0]);
    }
    FactorResult result;
    const Failure failure = factoriser.failure();
    if (failure.message) {
        result.ok = false;
        result.column = layout.perm[failure.column];
        result.message = failure.message;
    }
    return result;
}

}  // namespace korvex::sim::supernodal
