// korvex-sim's netlist reading: lines and continuations, tokens, elements, directives,
// subcircuit expansion and the parameter and element-value expressions; the input is
// also tried as one expression on its own.
#include <cstdint>
#include <string>

#include "expression.h"
#include "netlist_parser.h"
#include "netlist_text.h"
#include "param_evaluator.h"
#include "sim_error.h"

using namespace korvex::sim;

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
        Circuit circuit;
        parseNetlist(text, circuit);
        ParamEvaluator evaluator(circuit);
        for (double value : stepValues(circuit)) {
            if (circuit.step.active) evaluator.setStepValue(circuit.step.param, value);
            evaluator.applyToElements(circuit);
        }
    } catch (const SimError&) {
    }
    return 0;
}
