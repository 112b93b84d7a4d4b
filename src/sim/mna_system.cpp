// Assembly of the nodal system.
#include "mna_system.h"

#include <algorithm>

#include "element_stamps.h"
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

template <class S>
void MnaSystem<S>::build(const Circuit& circuit, const UnknownMap& map)
{
    std::vector<std::pair<int, int>> entries;
    entries.reserve(circuit.elements.size() * 4 + map.size);
    Stamper<S> stamper(map, &entries);
    stampAll(stamper, circuit, map, AnalysisPoint{map.dc, 1.0});

    const int n = map.size;
    std::vector<int> start(n + 1, 0);
    for (const auto& e : entries) ++start[e.second + 1];
    for (int c = 0; c < n; ++c) start[c + 1] += start[c];
    std::vector<int> order(entries.size());
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int t = 0; t < static_cast<int>(entries.size()); ++t) order[fill[entries[t].second]++] = t;
    }
    released_ = false;
    slots_.assign(entries.size(), 0);
    pattern_.n = n;
    pattern_.colPtr.assign(n + 1, 0);
    pattern_.rowIdx.clear();
    pattern_.rowIdx.reserve(entries.size() / 2 + n);
    for (int c = 0; c < n; ++c) {
        auto first = order.begin() + start[c], last = order.begin() + start[c + 1];
        std::sort(first, last, [&](int x, int y) { return entries[x].first < entries[y].first; });
        int previousRow = -1;
        for (auto it = first; it != last; ++it) {
            const int row = entries[*it].first;
            if (row != previousRow) {
                pattern_.rowIdx.push_back(row);
                previousRow = row;
            }
            slots_[*it] = static_cast<int>(pattern_.rowIdx.size()) - 1;
        }
        pattern_.colPtr[c + 1] = static_cast<int>(pattern_.rowIdx.size());
    }
    pattern_.rowIdx.shrink_to_fit();
    values.assign(pattern_.rowIdx.size(), S(0));
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
