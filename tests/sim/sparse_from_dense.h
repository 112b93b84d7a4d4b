// A dense complex matrix as the solvers take it: the full pattern (zeros off the diagonal
// dropped) in columns, and its values.
#pragma once
#include <vector>

#include "linear_solver.h"

namespace korvex::sim::test {

struct SparseMatrix {
    SparsePattern pattern;
    std::vector<Complex> values;
};

inline SparseMatrix sparseFromDense(const std::vector<std::vector<Complex>>& a)
{
    SparseMatrix m;
    const int n = static_cast<int>(a.size());
    m.pattern.n = n;
    m.pattern.colPtr.assign(n + 1, 0);
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            if (a[r][c] == Complex(0) && r != c) continue;
            m.pattern.rowIdx.push_back(r);
            m.values.push_back(a[r][c]);
        }
        m.pattern.colPtr[c + 1] = static_cast<int>(m.pattern.rowIdx.size());
    }
    return m;
}

}  // namespace korvex::sim::test
