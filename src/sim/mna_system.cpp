// Assembly of the nodal system.
#include "mna_system.h"

#include <algorithm>

#include "element_stamps.h"
#include "huge_pages.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

template <class S>
void stampAll(Stamper<S>& stamper, const Circuit& circuit, const UnknownMap& map, AnalysisPoint point)
{
    for (uint32_t k = 0; k < circuit.elements.size(); ++k) stampElement(stamper, circuit.elements[k], k, point);
    const double gshunt = circuit.options.gshunt;
    if (gshunt > 0)
        for (int u = 0; u < static_cast<int>(map.unknownNode.size()); ++u) stamper.entry(u, u, S(gshunt));
    for (int u = 0; u < map.size; ++u) stamper.entry(u, u, S(0));  // every diagonal exists
}

}  // namespace

SparsePattern compressPattern(int n, std::vector<std::pair<int, int>>& entries, std::vector<int>& slots)
{
    // Counting sort by column: each entry's row goes to the next free place of its column's
    // bucket, and slots remembers that place. Buckets and slots are written in stamp order,
    // which follows the netlist and with it the numbering of the nodes, so the writes stay
    // near each other instead of jumping through the whole entry list as a sort would.
    std::vector<int> start(static_cast<size_t>(n) + 1, 0);
    for (const auto& e : entries) ++start[e.second + 1];
    for (int c = 0; c < n; ++c) start[c + 1] += start[c];
    std::vector<int> bucket;
    bucket.reserve(entries.size());
    prefaultElements(bucket, entries.size());
    bucket.resize(entries.size());
    slots.clear();
    slots.reserve(entries.size());
    prefaultElements(slots, entries.size());
    slots.resize(entries.size());
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (size_t t = 0; t < entries.size(); ++t) {
            const int place = fill[entries[t].second]++;
            bucket[place] = entries[t].first;
            slots[t] = place;
        }
    }
    std::vector<std::pair<int, int>>().swap(entries);

    // Per column: its distinct rows in order become the compressed column, and each bucket
    // place is overwritten with the position of its row there. Counted first, so that the
    // row indices take exactly their room.
    SparsePattern pattern;
    pattern.n = n;
    pattern.colPtr.assign(static_cast<size_t>(n) + 1, 0);
    {
        std::vector<int> seenIn(n, -1);  // last column that had the row
        for (int c = 0; c < n; ++c) {
            int distinct = 0;
            for (int p = start[c]; p < start[c + 1]; ++p)
                if (seenIn[bucket[p]] != c) {
                    seenIn[bucket[p]] = c;
                    ++distinct;
                }
            pattern.colPtr[c + 1] = pattern.colPtr[c] + distinct;
        }
    }
    pattern.rowIdx.reserve(pattern.colPtr[n]);
    prefaultElements(pattern.rowIdx, pattern.colPtr[n]);
    pattern.rowIdx.resize(pattern.colPtr[n]);
    std::vector<int> distinct;
    for (int c = 0; c < n; ++c) {
        const int first = start[c], last = start[c + 1];
        distinct.assign(bucket.begin() + first, bucket.begin() + last);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        const int base = pattern.colPtr[c];
        std::copy(distinct.begin(), distinct.end(), pattern.rowIdx.begin() + base);
        for (int p = first; p < last; ++p)
            bucket[p] = base + static_cast<int>(std::lower_bound(distinct.begin(), distinct.end(), bucket[p]) - distinct.begin());
    }
    for (int& slot : slots) slot = bucket[slot];
    return pattern;
}

template <class S>
void MnaSystem<S>::build(const Circuit& circuit, const UnknownMap& map)
{
    std::vector<std::pair<int, int>> entries;
    // Four entries per two-terminal element, the shunts and the diagonals: more (lines, branches)
    // only grows the vector.
    entries.reserve(circuit.elements.size() * 4 + 2 * static_cast<size_t>(map.size));
    prefaultElements(entries, entries.capacity());
    Stamper<S> stamper(map, &entries);
    stampAll(stamper, circuit, map, AnalysisPoint{map.dc, 1.0});
    pattern_ = compressPattern(map.size, entries, slots_);
    released_ = false;
    values.clear();
    values.reserve(pattern_.rowIdx.size());
    prefaultElements(values, pattern_.rowIdx.size());
    values.resize(pattern_.rowIdx.size(), S(0));
}

template <class S>
void MnaSystem<S>::assemble(const Circuit& circuit, const UnknownMap& map, AnalysisPoint point, bool withRhs)
{
    if (released_) throw SimError("internal error: the nodal system was assembled after its assembly table was freed");
    std::fill(values.begin(), values.end(), S(0));
    fixed.assign(map.fixedSource.size(), S(0));
    for (size_t k = 0; k < map.fixedSource.size(); ++k) {
        const Element& e = circuit.elements[map.fixedSource[k]];
        const S value = fromComplex<S>(sourcePhasor(e, point));
        fixed[k] = e.nodes[0] == map.fixedNode[k] ? value : -value;
    }
    rhs.assign(withRhs ? map.size : 0, S(0));
    Stamper<S> stamper(map, slots_, values.data(), withRhs ? rhs.data() : nullptr, fixed.data());
    stampAll(stamper, circuit, map, point);
}

template class MnaSystem<double>;
template class MnaSystem<Complex>;

}  // namespace korvex::sim
