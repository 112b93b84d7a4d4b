// Numbering of the unknowns of one analysis: free node voltages, then branch currents.
// Nodes held by a grounded ideal voltage source are eliminated (their voltage is known).
#pragma once
#include <cstdint>
#include <vector>

#include "circuit.h"

namespace korvex::sim {

constexpr int kGround = -1;
// Codes <= -2 name fixed nodes: code = -2 - k for fixed node k.
inline int fixedCode(int k) { return -2 - k; }
inline int fixedIndex(int code) { return -2 - code; }

struct UnknownMap {
    bool dc = false;
    std::vector<int> nodeCode;             // per circuit node: unknown, kGround or a fixed code
    std::vector<uint32_t> fixedSource;     // fixed node k -> the voltage source holding it
    std::vector<int> fixedNode;            // fixed node k -> circuit node
    std::vector<int> branch;               // per element: its first branch unknown or -1
    std::vector<int> unknownNode;          // per unknown: circuit node, or -1 for a branch
    std::vector<uint32_t> unknownElement;  // per unknown: the element of a branch
    int size = 0;
    bool hasBranches() const { return branchCount > 0; }
    int branchCount = 0;
};

// How many current unknowns the element needs in this analysis (0, 1, or 2 for a line in its
// modal form); maxOmega is the highest angular frequency of an AC sweep.
int branchUnknowns(const Element& element, bool dc, double maxOmega = 0.0);

// Throws SimError for sources in parallel and for nodes without a path to ground.
UnknownMap buildUnknownMap(const Circuit& circuit, bool dc, double maxOmega = 0.0);

// Name of an unknown for messages: "node n1" or "branch of v1".
std::string describeUnknown(const Circuit& circuit, const UnknownMap& map, int unknown);

}  // namespace korvex::sim
