// Building the unknown map and the check for floating nodes.
#include "unknown_map.h"

#include <numeric>

#include "element_stamps.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

bool isIdealGroundedSource(const Element& e)
{
    return e.kind == ElementKind::VoltageSource && e.values[kSrcRser] == 0 && (e.nodes[0] == 0) != (e.nodes[1] == 0);
}

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(int n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int x)
    {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    }
    void join(int a, int b) { parent[find(a)] = find(b); }
};

// Elements that connect their nodes in this analysis (current sources and, at DC,
// capacitors without Rpar do not).
bool conducts(const Element& e, bool dc)
{
    switch (e.kind) {
    case ElementKind::CurrentSource: return false;
    case ElementKind::Capacitor: return !dc || e.values[kRpar] > 0;
    default: return true;
    }
}

void checkFloatingNodes(const Circuit& circuit, bool dc)
{
    if (circuit.options.gshunt > 0) return;
    UnionFind sets(circuit.nodeCount());
    for (const Element& e : circuit.elements) {
        if (!conducts(e, dc)) continue;
        if (e.kind == ElementKind::TLine) {
            sets.join(e.nodes[0], e.nodes[1]);  // each port conducts through the line
            sets.join(e.nodes[2], e.nodes[3]);
            sets.join(e.nodes[0], e.nodes[2]);
        } else {
            sets.join(e.nodes[0], e.nodes[1]);
        }
    }
    const int groundSet = sets.find(0);
    for (int n = 1; n < circuit.nodeCount(); ++n) {
        if (sets.find(n) != groundSet) {
            int line = 0;
            for (const Element& e : circuit.elements)
                for (int t = 0; t < e.nodeCount(); ++t)
                    if (e.nodes[t] == n && line == 0) line = e.line;
            throw SimError(line, "node " + std::string(circuit.nodeNames[n]) + " has no " + (dc ? "DC " : "") +
                                     "path to ground (floating node)");
        }
    }
}

}  // namespace

int branchUnknowns(const Element& e, bool dc, double maxOmega)
{
    switch (e.kind) {
    case ElementKind::Resistor: return e.values[kValue] == 0;  // a short (values rounded to 0 by "%f")
    case ElementKind::VoltageSource: return e.values[kSrcRser] == 0 && !isIdealGroundedSource(e);
    case ElementKind::Inductor: return dc ? e.values[kRser] == 0 : e.values[kRser] == 0 && e.values[kValue] == 0;
    case ElementKind::TLine: return dc ? 1 : usesModalLine(e, maxOmega) ? 2 : 0;
    default: return 0;
    }
}

UnknownMap buildUnknownMap(const Circuit& circuit, bool dc, double maxOmega)
{
    checkFloatingNodes(circuit, dc);
    UnknownMap map;
    map.dc = dc;
    map.nodeCode.assign(circuit.nodeCount(), 0);
    map.nodeCode[0] = kGround;
    map.branch.assign(circuit.elements.size(), -1);
    // One pass over the elements (millions in a mesh) finds the grounded sources and the few
    // elements with branch currents, which are numbered after the nodes.
    std::vector<uint32_t> withBranches;
    for (uint32_t k = 0; k < circuit.elements.size(); ++k) {
        const Element& e = circuit.elements[k];
        if (!isIdealGroundedSource(e)) {
            if (branchUnknowns(e, dc, maxOmega) != 0) withBranches.push_back(k);
            continue;
        }
        const int node = e.nodes[0] != 0 ? e.nodes[0] : e.nodes[1];
        if (map.nodeCode[node] != 0) {
            const Element& other = circuit.elements[map.fixedSource[fixedIndex(map.nodeCode[node])]];
            throw SimError(e.line, "voltage sources " + other.name.str() + " and " + e.name.str() + " in parallel at node " +
                                       std::string(circuit.nodeNames[node]));
        }
        map.nodeCode[node] = fixedCode(static_cast<int>(map.fixedSource.size()));
        map.fixedSource.push_back(k);
        map.fixedNode.push_back(node);
    }
    int next = 0;
    map.unknownNode.reserve(circuit.nodeCount() - 1 - map.fixedNode.size());
    for (int n = 1; n < circuit.nodeCount(); ++n) {
        if (map.nodeCode[n] != 0) continue;
        map.nodeCode[n] = next++;
        map.unknownNode.push_back(n);
    }
    for (const uint32_t k : withBranches) {
        const int count = branchUnknowns(circuit.elements[k], dc, maxOmega);
        map.branch[k] = next;
        next += count;
        map.unknownElement.resize(next, 0);
        for (int u = next - count; u < next; ++u) map.unknownElement[u] = k;
        map.branchCount += count;
    }
    map.size = next;
    return map;
}

std::string describeUnknown(const Circuit& circuit, const UnknownMap& map, int unknown)
{
    if (unknown < 0 || unknown >= map.size) return "unknown " + std::to_string(unknown);
    if (unknown < static_cast<int>(map.unknownNode.size())) return "node " + std::string(circuit.nodeNames[map.unknownNode[unknown]]);
    return "branch current of " + circuit.elements[map.unknownElement[unknown]].name.str();
}

}  // namespace korvex::sim
