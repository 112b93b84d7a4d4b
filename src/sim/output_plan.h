// Which quantities go into the RAW file, in which order and under which names: the .save
// requests, or all node voltages and element currents (and the .net quantities) without them.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "circuit.h"
#include "raw_writer.h"

namespace korvex::sim {

enum class NetQuantity { Zin, S11, S21, S12, S22 };

struct OutputVariable {
    enum class Kind { Voltage, Current, Network } kind = Kind::Voltage;
    int index = 0;  // circuit node, element or .net index
    NetQuantity quantity = NetQuantity::Zin;
    std::string name;          // moved into the RAW header by takeRawVariables()
    const char* type = "";     // RAW variable type
};

struct OutputPlan {
    std::vector<OutputVariable> variables;
    bool needsSolution = false;  // node voltages or element currents wanted
    bool needsNet = false;
    // The RAW variable list (with "frequency" first for AC); moves the names out of the plan,
    // which has no further use for them (a large netlist has millions).
    std::vector<RawVariable> takeRawVariables(bool withFrequency);
};

// Checks the .net directives against the circuit (sources, terminations, reference impedances).
void validateNets(Circuit& circuit);

// Throws SimError (with the .save line) for names that are neither nodes, elements nor .net sources.
OutputPlan makeOutputPlan(Circuit& circuit, bool ac);

}  // namespace korvex::sim
