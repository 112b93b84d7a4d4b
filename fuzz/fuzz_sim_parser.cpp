// korvex-sim's netlist reading: lines and continuations, tokens, elements, directives,
// subcircuit expansion and the parameter and element-value expressions, read on one thread and
// with a second one from a line the input chooses (the two must agree); the input is
// also tried as one expression on its own.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "expression.h"
#include "netlist_parser.h"
#include "netlist_text.h"
#include "param_evaluator.h"
#include "sim_error.h"

using namespace korvex::sim;

namespace {

// The circuit as the later stages see it, or the error.
std::string parsedText(const NetlistText& text, size_t split)
{
    Circuit circuit;
    try {
        parseNetlistSplitAt(text, circuit, split);
    } catch (const SimError& e) {
        return std::to_string(e.line()) + e.what();
    }
    std::string out = circuit.title;
    for (int k = 0; k < circuit.nodeCount(); ++k) out.append(circuit.nodeNames[k]).push_back('\n');
    for (const Element& e : circuit.elements) {
        out.append(e.name.view()).append(std::to_string(e.line) + " " + std::to_string(static_cast<int>(e.kind)));
        for (int node : e.nodes) out += " " + std::to_string(node);
        for (int slot = 0; slot < kValueSlots; ++slot) out += " " + std::to_string(std::bit_cast<uint64_t>(e.values[slot]));
        out.push_back('\n');
    }
    for (const DeferredValue& d : circuit.deferred)
        out += std::to_string(d.element) + " " + std::to_string(d.slot) + " " + std::to_string(d.expr) + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    try {
        ExprPtr expr = parseExpression(input, 1);
        evaluateExpression(*expr, [](const std::string& name) -> double {
            if (name.size() == 1) return static_cast<double>(name[0]);
            throw SimError(1, "undefined parameter '" + name + "'");
        }, 1);
    } catch (const SimError&) {
    }
    try {
        NetlistText text;
        text.loadString(input);
        // Read with a second thread from a line chosen by the input: same circuit, same error.
        const std::string once = parsedText(text, SIZE_MAX);
        if (parsedText(text, size == 0 ? 0 : data[size - 1] % (text.lines().size() + 1)) != once) __builtin_trap();
        Circuit circuit;
        parseNetlist(text, circuit);
        ParamEvaluator evaluator(circuit);
        // A legitimate .step may have a million points; the first ones and the last show
        // what the evaluation does, all of them would only make an execution slow.
        const std::vector<double> steps = stepValues(circuit);
        for (size_t k = 0; k < steps.size(); k = k + 1 < 64 ? k + 1 : std::max(k + 1, steps.size() - 1)) {
            if (circuit.step.active) evaluator.setStepValue(circuit.step.param, steps[k]);
            evaluator.applyToElements(circuit);
        }
    } catch (const SimError&) {
    }
    return 0;
}
