// Takahashi's selected inversion on the supernodal L: Z = A^-1 on the pattern of L, supernodes
// from the last to the first. For supernode J with the rows R below it,
//   Lhat = L_RJ L_JJ^-1,  Z_RJ = -Z_RR Lhat,  Z_JJ = L_JJ^-T D_J^-1 L_JJ^-1 - Lhat^T Z_RJ,
// where Z_RR lies on the pattern of L in supernodes already done. A wide supernode is taken in
// column panels from its last, each panel treating the later columns of J as part of its R, so
// the work on the diagonal block is a product rather than a full triangular inverse. Z over the
// rows of the supernode is held as a full square, both triangles, so that the products cut
// into pieces by rows. The ranges of independent subtrees run on two threads after the top
// separators.
#include <algorithm>

#include "solver_selected_inverse.h"
#include "solver_selected_inverse_blas.h"

namespace korvex::sim::supernodal {

namespace {

constexpr int kPanel = 64;

struct Workspace {
    std::vector<int> map, position;
    ComplexBuffer zFull, lhat;
};

// Z over the rows of supernode s (J then R) in w.zFull (rows x rows): Z_RR, both triangles,
// gathered from the supernodes that hold the columns of R. The rows of R from a column on are
// all rows of the supernode t holding that column; their positions there come from a map over
// t's rows, or by binary search when t has many more rows than are looked up.
void gatherZrr(const Layout& layout, const ComplexBuffer& z, int s, Workspace& w)
{
    const int columns = layout.columnCount(s), rows = layout.rowCount(s);
    const int* rowList = layout.rows.data() + layout.rowStart[s];
    w.position.resize(rows);
    for (int a = columns; a < rows;) {
        const int t = layout.superOf[rowList[a]];
        const int tRows = layout.rowCount(t);
        const int* tRowList = layout.rows.data() + layout.rowStart[t];
        if (tRows > 8 * (rows - a)) {
            const int* from = tRowList;
            for (int b = a; b < rows; ++b) {
                from = std::lower_bound(from, tRowList + tRows, rowList[b]);
                w.position[b] = static_cast<int>(from - tRowList);
            }
        } else {
            for (int i = 0; i < tRows; ++i) w.map[tRowList[i]] = i;
            for (int b = a; b < rows; ++b) w.position[b] = w.map[rowList[b]];
        }
        for (; a < rows && layout.superOf[rowList[a]] == t; ++a) {
            const Complex* zColumn = z.data() + layout.valueStart[t] + static_cast<size_t>(rowList[a] - layout.first[t]) * tRows;
            Complex* out = w.zFull.data() + static_cast<size_t>(a) * rows;
            for (int b = a; b < rows; ++b) out[b] = w.zFull[static_cast<size_t>(b) * rows + a] = zColumn[w.position[b]];
        }
    }
}

void invertSupernode(const Layout& layout, const ComplexBuffer& l, const ComplexBuffer& d, ComplexBuffer& z, int s, bool parallel,
                     Workspace& w)
{
    const int columns = layout.columnCount(s), rows = layout.rowCount(s);
    const Complex* ls = l.data() + layout.valueStart[s];
    const Complex* ds = d.data() + layout.first[s];
    w.zFull.reserve(static_cast<size_t>(rows) * rows);
    gatherZrr(layout, z, s, w);
    Complex* zf = w.zFull.data();
    for (int c1 = columns; c1 > 0;) {
        const int c0 = std::max(0, c1 - kPanel), width = c1 - c0, below = rows - c1;
        Complex* zDiagonal = zf + static_cast<size_t>(c0) * rows + c0;
        if (below > 0) {
            // Lhat = L_RP L_PP^-1 for the panel P; Z_RP = -Z_RR Lhat; Z_PP -= Lhat^T Z_RP below.
            w.lhat.reserve(static_cast<size_t>(below) * width);
            for (int c = 0; c < width; ++c)
                std::copy_n(ls + static_cast<size_t>(c0 + c) * rows + c1, below, w.lhat.data() + static_cast<size_t>(c) * below);
            trsmRightUnitLower(parallel, 'N', below, width, ls + static_cast<size_t>(c0) * rows + c0, rows, w.lhat.data(), below);
            gemm(parallel, 'N', 'N', below, width, below, Complex(-1), zf + static_cast<size_t>(c1) * rows + c1, rows, w.lhat.data(), below,
                 Complex(0), zf + static_cast<size_t>(c0) * rows + c1, rows);
        }
        // Z_PP = L_PP^-T D_P^-1 L_PP^-1 - Lhat^T Z_RP.
        for (int c = 0; c < width; ++c) {
            std::fill_n(zDiagonal + static_cast<size_t>(c) * rows, width, Complex(0));
            zDiagonal[static_cast<size_t>(c) * rows + c] = Complex(1) / ds[c0 + c];
        }
        const Complex* lDiagonal = ls + static_cast<size_t>(c0) * rows + c0;
        trsmLeftUnitLowerTransposed(width, width, lDiagonal, rows, zDiagonal, rows);
        trsmRightUnitLower(false, 'N', width, width, lDiagonal, rows, zDiagonal, rows);
        if (below > 0)
            gemm(false, 'T', 'N', width, width, below, Complex(-1), w.lhat.data(), below, zf + static_cast<size_t>(c0) * rows + c1, rows,
                 Complex(1), zDiagonal, rows);
        // The panels to the left read the rows of P as columns: the upper triangle and the rows
        // of P right of it mirror the lower ones (only the lower triangle is kept in the end).
        for (int c = 0; c < width && c0 > 0; ++c) {
            const Complex* column = zf + static_cast<size_t>(c0 + c) * rows;
            for (int i = c0 + c + 1; i < rows; ++i) zf[static_cast<size_t>(i) * rows + c0 + c] = column[i];
        }
        c1 = c0;
    }
    Complex* zs = z.data() + layout.valueStart[s];
    for (int c = 0; c < columns; ++c) std::copy_n(zf + static_cast<size_t>(c) * rows, rows, zs + static_cast<size_t>(c) * rows);
}

}  // namespace

void selectedInverse(const Layout& layout, const ComplexBuffer& l, const ComplexBuffer& d, ComplexBuffer& z, int threads)
{
    z.resize(l.size());
    const SerialBlas serialBlas;
    std::vector<Workspace> workspaces(2);
    for (auto& w : workspaces) w.map.assign(layout.n, 0);
    std::vector<char> inSubtree(layout.count(), 0);
    for (const auto& t : layout.subtrees) std::fill(inSubtree.begin() + t.begin, inSubtree.begin() + t.end, 1);
    for (int s = layout.count() - 1; s >= 0; --s)
        if (!inSubtree[s]) invertSupernode(layout, l, d, z, s, threads >= 2, workspaces[0]);
    forPieces(static_cast<int>(layout.subtrees.size()), threads >= 2, [&](int t, int thread) {
        for (int s = layout.subtrees[t].end - 1; s >= layout.subtrees[t].begin; --s) invertSupernode(layout, l, d, z, s, false, workspaces[thread]);
    });
}

}  // namespace korvex::sim::supernodal
