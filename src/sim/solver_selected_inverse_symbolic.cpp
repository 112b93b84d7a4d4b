// The supernodal layout of L for the LDL^T with selected inversion: CHOLMOD's symbolic
// analysis (fill-reducing order, elimination tree, column counts, relaxed supernodes, postorder)
// run on the pattern alone, and the split of the supernodal tree into subtrees that two threads
// can factorise and invert independently.
#include <cholmod.h>

#include <algorithm>
#include <cstring>

#include "solver_selected_inverse.h"

namespace korvex::sim::supernodal {

namespace {

// Below the top separators the work divides into subtrees (contiguous ranges, as the tree is
// postordered). Starting from the whole tree, the subtree with the most work is replaced by
// those below its root while it holds more than a quarter of the work left in subtrees; the
// roots taken out are the top separators, worked on after the subtrees.
void splitTree(Layout& layout)
{
    const int count = layout.count();
    std::vector<int> size(count, 1);
    std::vector<double> work(count, 0);
    std::vector<std::vector<int>> children(count + 1);  // children[count]: the roots
    for (int s = 0; s < count; ++s) {
        const double rows = layout.rowCount(s);
        work[s] += layout.columnCount(s) * rows * rows;
        const int parent = layout.rowCount(s) > layout.columnCount(s) ? layout.superOf[layout.rows[layout.rowStart[s] + layout.columnCount(s)]] : -1;
        children[parent < 0 ? count : parent].push_back(s);
        if (parent >= 0) {
            work[parent] += work[s];
            size[parent] += size[s];
        }
    }
    // A subtree is the range of its size ending at its root only if the tree is postordered
    // (CHOLMOD's analysis postorders it): the children's ranges must tile the one below the root.
    for (int p = 0; p <= count; ++p) {
        int next = p < count ? p - size[p] + 1 : 0;
        for (const int c : children[p]) {
            if (c - size[c] + 1 != next) return;
            next = c + 1;
        }
        if (next != p) return;
    }
    std::vector<int> ranges = children[count];
    for (int round = 0; round < 64 && !ranges.empty(); ++round) {
        double total = 0;
        size_t biggest = 0;
        for (size_t k = 0; k < ranges.size(); ++k) {
            total += work[ranges[k]];
            if (work[ranges[k]] > work[ranges[biggest]]) biggest = k;
        }
        const int root = ranges[biggest];
        if ((ranges.size() >= 2 && work[root] <= 0.25 * total) || children[root].empty()) break;
        ranges.erase(ranges.begin() + static_cast<long>(biggest));
        ranges.insert(ranges.end(), children[root].begin(), children[root].end());
    }
    // Handed out largest first, so that the two threads end at about the same time.
    std::sort(ranges.begin(), ranges.end(), [&](int a, int b) { return work[a] > work[b] || (work[a] == work[b] && a < b); });
    for (const int r : ranges) layout.subtrees.push_back({r - size[r] + 1, r + 1, work[r]});
}

}  // namespace

Layout analyse(const SparsePattern& pattern)
{
    Layout layout;
    const int n = layout.n = pattern.n;
    cholmod_common common;
    cholmod_start(&common);
    common.supernodal = CHOLMOD_SUPERNODAL;
    // Relaxed amalgamation only for runs of fewer than four columns, without regard to the
    // zeros: the usual relaxation doubles the entries of L on plane pairs (and of the inverse,
    // kept in the same layout) and was slower.
    common.nrelax[0] = 4;
    common.zrelax[0] = common.zrelax[1] = common.zrelax[2] = 0;
    cholmod_sparse a;
    std::memset(&a, 0, sizeof a);
    a.nrow = a.ncol = static_cast<size_t>(n);
    a.nzmax = pattern.rowIdx.size();
    a.p = const_cast<int*>(pattern.colPtr.data());
    a.i = const_cast<int*>(pattern.rowIdx.data());
    a.stype = -1;
    a.itype = CHOLMOD_INT;
    a.xtype = CHOLMOD_PATTERN;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = 1;
    a.packed = 1;
    cholmod_factor* l = cholmod_analyze(&a, &common);
    if (!l || !l->is_super) {
        if (l) cholmod_free_factor(&l, &common);
        cholmod_finish(&common);
        throw SimError("ordering for the selected inversion failed");
    }
    const int* perm = static_cast<const int*>(l->Perm);
    layout.perm.assign(perm, perm + n);
    const int count = static_cast<int>(l->nsuper);
    const int* super = static_cast<const int*>(l->super);
    const int* pi = static_cast<const int*>(l->pi);
    const int* s = static_cast<const int*>(l->s);
    layout.first.assign(super, super + count + 1);
    layout.rowStart.assign(pi, pi + count + 1);
    layout.rows.assign(s, s + pi[count]);
    cholmod_free_factor(&l, &common);
    cholmod_finish(&common);

    layout.pinv.assign(n, 0);
    for (int k = 0; k < n; ++k) layout.pinv[layout.perm[k]] = k;
    layout.superOf.assign(n, 0);
    layout.valueStart.assign(count + 1, 0);
    for (int t = 0; t < count; ++t) {
        std::sort(layout.rows.begin() + layout.rowStart[t], layout.rows.begin() + layout.rowStart[t + 1]);
        for (int k = layout.first[t]; k < layout.first[t + 1]; ++k) layout.superOf[k] = t;
        layout.valueStart[t + 1] = layout.valueStart[t] + static_cast<size_t>(layout.rowCount(t)) * layout.columnCount(t);
    }
    splitTree(layout);
    return layout;
}

}  // namespace korvex::sim::supernodal
