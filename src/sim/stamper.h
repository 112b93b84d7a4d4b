// Collects matrix entries from the element stamps. In pattern mode it records the positions;
// in value mode it adds values in exactly the same order, so each entry finds its slot in the
// compressed matrix without a search.
#pragma once
#include <complex>
#include <utility>
#include <vector>

#include "unknown_map.h"

namespace korvex::sim {

using Complex = std::complex<double>;

template <class S>
class Stamper {
public:
    // Pattern mode.
    Stamper(const UnknownMap& map, std::vector<std::pair<int, int>>* pattern) : map_(map), pattern_(pattern) {}
    // Value mode; rhs may be null (no excitation wanted), fixed holds the fixed node voltages.
    Stamper(const UnknownMap& map, const std::vector<int>& slots, S* values, S* rhs, const S* fixed)
        : map_(map), slots_(&slots), values_(values), rhs_(rhs), fixed_(fixed) {}

    // Entry of unknown codes (kGround and fixed codes are folded away).
    void entry(int row, int col, S value)
    {
        if (row < 0) return;
        if (col < 0) {
            if (col != kGround && rhs_) rhs_[row] -= value * fixed_[fixedIndex(col)];
            return;
        }
        if (pattern_) pattern_->emplace_back(row, col);
        else values_[(*slots_)[next_++]] += value;
    }
    void rhs(int row, S value)
    {
        if (row >= 0 && rhs_) rhs_[row] += value;
    }
    int code(int node) const { return map_.nodeCode[node]; }
    int branch(uint32_t element) const { return map_.branch[element]; }

    // Admittance y between circuit nodes a and b.
    void admittance(int a, int b, S y)
    {
        const int ca = code(a), cb = code(b);
        entry(ca, ca, y);
        entry(cb, cb, y);
        entry(ca, cb, -y);
        entry(cb, ca, -y);
    }
    // Current injected into circuit node n.
    void inject(int n, S current) { rhs(code(n), current); }
    // Branch unknown k with +1 at node p and -1 at node m, symmetric.
    void incidence(int k, int p, int m)
    {
        entry(code(p), k, S(1));
        entry(k, code(p), S(1));
        entry(code(m), k, S(-1));
        entry(k, code(m), S(-1));
    }
    bool patternMode() const { return pattern_ != nullptr; }

private:
    const UnknownMap& map_;
    std::vector<std::pair<int, int>>* pattern_ = nullptr;
    const std::vector<int>* slots_ = nullptr;
    S* values_ = nullptr;
    S* rhs_ = nullptr;
    const S* fixed_ = nullptr;
    size_t next_ = 0;
};

// Analysis point: DC (operating point) or angular frequency omega > 0.
struct AnalysisPoint {
    bool dc = true;
    double omega = 0.0;
};

}  // namespace korvex::sim
