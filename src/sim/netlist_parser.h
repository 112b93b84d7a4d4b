// Builds the flattened circuit from the netlist text: elements, subcircuit instances,
// parameters, analyses and output requests.
#pragma once
#include <string_view>
#include <vector>

#include "circuit.h"
#include "netlist_text.h"

namespace korvex::sim {

// Throws SimError with the line of the culprit on any error.
void parseNetlist(const NetlistText& text, Circuit& circuit);
// The same with the plain element lines from line number `split` on taken apart ahead on a
// second thread (split >= the line count: all on this thread). The result is the same for
// every split; parseNetlist splits large netlists a fifth of the way in.
void parseNetlistSplitAt(const NetlistText& text, Circuit& circuit, size_t split);

// Resolves node and element names inside one subcircuit instance (or at the top level).
struct NodeScope {
    std::string path;  // instance path, "" at the top level, e.g. "x1:x2"
    const std::unordered_map<std::string, int>* ports = nullptr;
    int resolve(Circuit& circuit, std::string_view name) const;
    std::string elementName(std::string_view name) const;
};

// Adds one element line (R, C, L, V, I, T) to the circuit.
void addElement(Circuit& circuit, const std::vector<Token>& tokens, int line, const NodeScope& scope);

// Handles one directive line other than .subckt/.ends/.end.
void addDirective(Circuit& circuit, const std::vector<Token>& tokens, int line);

}  // namespace korvex::sim
