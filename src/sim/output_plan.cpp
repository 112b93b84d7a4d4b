// Building the output plan from .save and .net.
#include "output_plan.h"

#include <set>

#include "sim_error.h"

namespace korvex::sim {

namespace {

const char* quantityName(NetQuantity q)
{
    switch (q) {
    case NetQuantity::Zin: return "Zin";
    case NetQuantity::S11: return "S11";
    case NetQuantity::S21: return "S21";
    case NetQuantity::S12: return "S12";
    case NetQuantity::S22: return "S22";
    }
    return "?";
}

NetQuantity quantityFromWord(const std::string& word)
{
    if (word == "s11") return NetQuantity::S11;
    if (word == "s21") return NetQuantity::S21;
    if (word == "s12") return NetQuantity::S12;
    if (word == "s22") return NetQuantity::S22;
    return NetQuantity::Zin;
}

OutputVariable voltage(int node) { return {OutputVariable::Kind::Voltage, NetQuantity::Zin, node}; }

OutputVariable current(int element) { return {OutputVariable::Kind::Current, NetQuantity::Zin, element}; }

OutputVariable network(int net, NetQuantity q) { return {OutputVariable::Kind::Network, q, net}; }

}  // namespace

void validateNets(Circuit& circuit)
{
    if (!circuit.nets.empty()) circuit.indexElements();
    std::set<std::string> sources;
    for (const NetSpec& net : circuit.nets) {
        auto src = circuit.elementIndex.find(net.source);
        if (src == circuit.elementIndex.end()) throw SimError(net.line, ".net source '" + net.source + "' does not exist");
        const Element& source = circuit.elements[src->second];
        if (source.kind != ElementKind::VoltageSource && source.kind != ElementKind::CurrentSource)
            throw SimError(net.line, ".net source '" + net.source + "' is not a voltage or current source");
        if (!sources.insert(net.source).second) throw SimError(net.line, ".net for '" + net.source + "' given twice");
        if (net.rin > 0 || net.rout > 0)
            throw SimError(net.line, "Rin= and Rout= are not supported: the reference impedances are the source's RSER and the terminating resistance");
        if (!net.output.empty()) {
            auto term = circuit.elementIndex.find(net.output);
            if (term == circuit.elementIndex.end() || circuit.elements[term->second].kind != ElementKind::Resistor)
                throw SimError(net.line, ".net output I(" + net.output + ") must name a resistor");
            if (circuit.elements[term->second].values[kValue] <= 0)
                throw SimError(net.line, "terminating resistor " + net.output + " must be positive");
            if (source.kind != ElementKind::VoltageSource || source.values[kSrcRser] <= 0)
                throw SimError(net.line, "two-port .net needs a voltage source with RSER as port 1");
        } else if (source.kind == ElementKind::VoltageSource && source.values[kSrcRser] <= 0) {
            throw SimError(net.line, ".net of a voltage source needs its RSER (the reference impedance)");
        }
    }
}

OutputPlan makeOutputPlan(Circuit& circuit, bool ac)
{
    if (!circuit.saves.empty() || !circuit.nets.empty()) circuit.indexElements();
    OutputPlan plan;
    std::unordered_map<std::string, int> netOf;
    for (int k = 0; k < static_cast<int>(circuit.nets.size()); ++k) netOf[circuit.nets[k].source] = k;

    if (circuit.saves.empty()) {
        plan.allNodes = circuit.nodeCount() - 1;
        plan.allElements = static_cast<int>(circuit.elements.size());
        if (ac) {
            for (int k = 0; k < static_cast<int>(circuit.nets.size()); ++k) {
                if (circuit.nets[k].output.empty()) {
                    plan.listed.push_back(network(k, NetQuantity::Zin));
                } else {
                    for (NetQuantity q : {NetQuantity::S11, NetQuantity::S21, NetQuantity::S12, NetQuantity::S22})
                        plan.listed.push_back(network(k, q));
                }
            }
        }
    } else {
        std::set<std::string> seen;
        for (const SaveSpec& save : circuit.saves) {
            OutputVariable v;
            if (save.kind == SaveSpec::Kind::Voltage) {
                const int node = circuit.findNode(save.target);
                if (node < 0) throw SimError(save.line, ".save: no node named '" + save.target + "'");
                v = voltage(node);
            } else if (save.kind == SaveSpec::Kind::Current) {
                auto found = circuit.elementIndex.find(save.target);
                if (found == circuit.elementIndex.end()) throw SimError(save.line, ".save: no element named '" + save.target + "'");
                v = current(static_cast<int>(found->second));
            } else {
                if (!ac) throw SimError(save.line, ".save " + save.quantity + "(...) needs an .ac analysis");
                auto found = netOf.find(save.target);
                if (found == netOf.end()) throw SimError(save.line, ".save: no .net for source '" + save.target + "'");
                const NetQuantity q = quantityFromWord(save.quantity);
                const NetSpec& net = circuit.nets[found->second];
                if (q != NetQuantity::Zin && net.output.empty()) {
                    const Element& src = circuit.elements[circuit.elementIndex.at(net.source)];
                    const bool hasReference = src.kind == ElementKind::VoltageSource;
                    if (!hasReference || q != NetQuantity::S11)
                        throw SimError(save.line, ".save " + save.quantity + ": the .net of '" + save.target + "' is a one-port");
                }
                v = network(found->second, q);
            }
            if (seen.insert(OutputPlan::rawVariable(circuit, v).name).second) plan.listed.push_back(v);
        }
    }
    plan.needsSolution = plan.allNodes + plan.allElements > 0;
    for (const OutputVariable& v : plan.listed) {
        if (v.kind == OutputVariable::Kind::Network) plan.needsNet = true;
        else plan.needsSolution = true;
    }
    return plan;
}

RawVariable OutputPlan::rawVariable(const Circuit& circuit, const OutputVariable& variable)
{
    switch (variable.kind) {
    case OutputVariable::Kind::Voltage: {
        const std::string_view node = circuit.nodeNames[variable.index];
        std::string name;
        name.reserve(node.size() + 3);
        name.append("V(").append(node).append(")");
        return {std::move(name), "voltage"};
    }
    case OutputVariable::Kind::Current:
        return {"I(" + rawElementName(circuit.elements[variable.index].name) + ")", "device_current"};
    case OutputVariable::Kind::Network:
        return {std::string(quantityName(variable.quantity)) + "(" + circuit.nets[variable.index].source + ")",
                variable.quantity == NetQuantity::Zin ? "impedance" : "dimensionless"};
    }
    return {};
}

void OutputPlan::describeVariables(const Circuit& circuit, bool withFrequency, RawHeader& header) const
{
    header.variableCount = size() + (withFrequency ? 1 : 0);
    header.variable = [this, &circuit, withFrequency](size_t k) -> RawVariable {
        if (withFrequency) {
            if (k == 0) return {"frequency", "frequency"};
            --k;
        }
        return rawVariable(circuit, (*this)[k]);
    };
}

}  // namespace korvex::sim
