// Element lines: R, C, L, V, I and T with their values and instance parameters.
#include <cmath>

#include "netlist_parser.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

std::string str(std::string_view v) { return std::string(v); }

// Stores a number at once, or an expression (braced or not) for evaluation at every step.
void setValue(Circuit& circuit, uint32_t element, uint8_t slot, std::string_view text, int line)
{
    double number = 0.0;
    if (parseSpiceNumber(text, number)) {
        circuit.elements[element].values[slot] = number;
        return;
    }
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    uint32_t expr = circuit.exprTable.intern(text, line);
    circuit.deferred.push_back({element, slot, expr});
}

struct InstanceParam {
    const char* name;
    uint8_t slot;
};

void setInstanceParams(Circuit& circuit, uint32_t index, const std::vector<Token>& tokens, size_t first,
                       std::initializer_list<InstanceParam> allowed, int line)
{
    for (size_t k = first; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        const std::string_view name = circuit.elements[index].name.view();
        if (!t.assign)
            throw SimError(line, "unexpected '" + str(t.text) + "' on element " + str(name) + " (wrong number of nodes or values?)");
        bool known = false;
        for (const auto& p : allowed) {
            if (t.key == p.name) {
                setValue(circuit, index, p.slot, t.value, line);
                known = true;
            }
        }
        if (!known) throw SimError(line, "unknown parameter '" + str(t.key) + "' on element " + str(name));
    }
}

// Sources: [dc] value, ac mag [phase], ac=mag [phase], rser=r (V only).
void parseSource(Circuit& circuit, uint32_t index, const std::vector<Token>& tokens, bool voltage, int line)
{
    const std::string name = circuit.elements[index].name.str();
    bool haveDc = false;
    for (size_t k = 3; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        auto takePhase = [&]() {
            if (k + 1 < tokens.size() && !tokens[k + 1].assign) {
                double dummy;
                std::string_view next = tokens[k + 1].text;
                if (parseSpiceNumber(next, dummy) || next.front() == '{') {
                    setValue(circuit, index, kAcPhase, next, line);
                    ++k;
                }
            }
        };
        if (t.assign) {
            if (t.key == "ac") {
                setValue(circuit, index, kAcMag, t.value, line);
                takePhase();
            } else if (t.key == "dc") {
                setValue(circuit, index, kDc, t.value, line);
                haveDc = true;
            } else if (voltage && t.key == "rser") {
                setValue(circuit, index, kSrcRser, t.value, line);
            } else {
                throw SimError(line, "unknown parameter '" + str(t.key) + "' on source " + name);
            }
        } else if (t.text == "ac") {
            if (k + 1 >= tokens.size() || tokens[k + 1].assign) throw SimError(line, "missing AC amplitude on source " + name);
            setValue(circuit, index, kAcMag, tokens[++k].text, line);
            takePhase();
        } else if (t.text == "dc") {
            if (k + 1 >= tokens.size() || tokens[k + 1].assign) throw SimError(line, "missing DC value on source " + name);
            setValue(circuit, index, kDc, tokens[++k].text, line);
            haveDc = true;
        } else if (!haveDc) {
            double number;
            if (!parseSpiceNumber(t.text, number) && t.text.front() != '{')
                throw SimError(line, "unexpected '" + str(t.text) + "' on source " + name);
            setValue(circuit, index, kDc, t.text, line);
            haveDc = true;
        } else {
            throw SimError(line, "unexpected '" + str(t.text) + "' on source " + name);
        }
    }
}

}  // namespace

int NodeScope::resolve(Circuit& circuit, std::string_view name) const
{
    if (name == "0" || name == "gnd") return 0;
    if (ports) {
        auto found = ports->find(std::string(name));
        if (found != ports->end()) return found->second;
    }
    if (path.empty()) return circuit.node(name);
    return circuit.node(path + ":" + std::string(name));
}

std::string NodeScope::elementName(std::string_view name) const
{
    if (path.empty()) return std::string(name);
    return std::string(name) + ":" + path;
}

void addElement(Circuit& circuit, const std::vector<Token>& tokens, int line, const NodeScope& scope)
{
    const std::string_view first = tokens[0].text;
    ElementKind kind;
    int nodes = 2;
    switch (first[0]) {
    case 'r': kind = ElementKind::Resistor; break;
    case 'c': kind = ElementKind::Capacitor; break;
    case 'l': kind = ElementKind::Inductor; break;
    case 'v': kind = ElementKind::VoltageSource; break;
    case 'i': kind = ElementKind::CurrentSource; break;
    case 't': kind = ElementKind::TLine; nodes = 4; break;
    default: throw SimError(line, "unknown element type '" + str(first) + "'");
    }
    if (tokens[0].assign) throw SimError(line, "bad element name '" + str(first) + "'");
    for (int k = 1; k <= nodes; ++k) {
        if (static_cast<int>(tokens.size()) <= k || tokens[k].assign)
            throw SimError(line, "element " + str(first) + " needs " + std::to_string(nodes) + " nodes");
    }
    Element element;
    element.kind = kind;
    element.line = line;
    element.name = ElementName(scope.elementName(first));
    for (int k = 0; k < nodes; ++k) element.nodes[k] = scope.resolve(circuit, tokens[1 + k].text);
    const uint32_t index = static_cast<uint32_t>(circuit.elements.size());
    circuit.elements.push_back(std::move(element));

    const bool passive = kind == ElementKind::Resistor || kind == ElementKind::Capacitor || kind == ElementKind::Inductor;
    if (passive) {
        if (tokens.size() < 4 || tokens[3].assign) throw SimError(line, "missing value on element " + str(first));
        setValue(circuit, index, kValue, tokens[3].text, line);
    }
    switch (kind) {
    case ElementKind::Resistor: setInstanceParams(circuit, index, tokens, 4, {{"r", kValue}}, line); break;
    case ElementKind::Capacitor:
        setInstanceParams(circuit, index, tokens, 4,
                          {{"rser", kRser}, {"lser", kLser}, {"cpar", kCpar}, {"rpar", kRpar}}, line);
        break;
    case ElementKind::Inductor:
        setInstanceParams(circuit, index, tokens, 4, {{"rser", kRser}, {"cpar", kCpar}, {"rpar", kRpar}}, line);
        break;
    case ElementKind::VoltageSource: parseSource(circuit, index, tokens, true, line); break;
    case ElementKind::CurrentSource: parseSource(circuit, index, tokens, false, line); break;
    case ElementKind::TLine: {
        bool haveTd = false, haveZ0 = false;
        for (size_t k = 5; k < tokens.size(); ++k) {
            haveTd |= tokens[k].assign && tokens[k].key == "td";
            haveZ0 |= tokens[k].assign && tokens[k].key == "z0";
        }
        if (!haveTd || !haveZ0) throw SimError(line, "transmission line " + str(first) + " needs Td= and Z0=");
        setInstanceParams(circuit, index, tokens, 5, {{"td", kTd}, {"z0", kZ0}}, line);
        break;
    }
    }
}

}  // namespace korvex::sim
