// Which quantities go into the RAW file, in which order and under which names: the .save
// requests, or all node voltages and element currents (and the .net quantities) without them.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "circuit.h"
#include "raw_writer.h"

namespace korvex::sim {

enum class NetQuantity : uint8_t { Zin, S11, S21, S12, S22 };

// Eight bytes per variable: a large netlist has millions. Names are made when the RAW header
// is written, one at a time, and not kept.
struct OutputVariable {
    enum class Kind : uint8_t { Voltage, Current, Network } kind = Kind::Voltage;
    NetQuantity quantity = NetQuantity::Zin;
    int index = 0;  // circuit node, element or .net index
};

struct OutputPlan {
    // Without .save the plan starts with every node voltage and every element current, which
    // are counted, not listed (a large netlist has millions); `listed` holds the rest.
    int allNodes = 0;     // voltages of nodes 1 ... allNodes first
    int allElements = 0;  // then currents of elements 0 ... allElements - 1
    std::vector<OutputVariable> listed;
    size_t size() const { return static_cast<size_t>(allNodes) + static_cast<size_t>(allElements) + listed.size(); }
    OutputVariable operator[](size_t k) const
    {
        if (k < static_cast<size_t>(allNodes)) return {OutputVariable::Kind::Voltage, NetQuantity::Zin, static_cast<int>(k) + 1};
        k -= static_cast<size_t>(allNodes);
        if (k < static_cast<size_t>(allElements)) return {OutputVariable::Kind::Current, NetQuantity::Zin, static_cast<int>(k)};
        return listed[k - static_cast<size_t>(allElements)];
    }
    bool needsSolution = false;  // node voltages or element currents wanted
    bool needsNet = false;
    // RAW name and type of a variable.
    static RawVariable rawVariable(const Circuit& circuit, const OutputVariable& variable);
    // Fills the header's variable list (with "frequency" first for AC); the circuit must
    // outlive the header.
    void describeVariables(const Circuit& circuit, bool withFrequency, RawHeader& header) const;
};

// Checks the .net directives against the circuit (sources, terminations, reference impedances).
void validateNets(Circuit& circuit);

// Throws SimError (with the .save line) for names that are neither nodes, elements nor .net sources.
OutputPlan makeOutputPlan(Circuit& circuit, bool ac);

}  // namespace korvex::sim
