// The nodal system of one analysis: pattern (built once), values and right-hand side
// (assembled per step and frequency point).
#pragma once
#include <utility>
#include <vector>

#include "circuit.h"
#include "stamper.h"
#include "unknown_map.h"

namespace korvex::sim {

// Compressed sparse columns of the full (both triangles) matrix, rows sorted in each column.
struct SparsePattern {
    int n = 0;
    std::vector<int> colPtr;
    std::vector<int> rowIdx;
    size_t nonZeros() const { return rowIdx.size(); }
};

// Compresses stamped (row, column) entries, in stamp order, to the pattern; slots receives for
// each entry its position in rowIdx. Empties entries.
SparsePattern compressPattern(int n, std::vector<std::pair<int, int>>& entries, std::vector<int>& slots);

template <class S>
class MnaSystem {
public:
    void build(const Circuit& circuit, const UnknownMap& map);
    // Fills values, the fixed node voltages and (when wanted) the excitation right-hand side.
    void assemble(const Circuit& circuit, const UnknownMap& map, AnalysisPoint point, bool withRhs);
    // After the last assembly: frees the table that places each stamp in the matrix (as large as
    // the matrix itself); assemble() may not be called again.
    void releaseAssembly() { std::vector<int>().swap(slots_); released_ = true; }

    const SparsePattern& pattern() const { return pattern_; }
    std::vector<S> values;
    std::vector<S> rhs;
    std::vector<S> fixed;

private:
    SparsePattern pattern_;
    std::vector<int> slots_;
    bool released_ = false;
};

}  // namespace korvex::sim
