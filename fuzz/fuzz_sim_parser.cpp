// korvex-sim's netlist reading: lines and continuations, tokens, elements, directives,
// subcircuit expansion and the parameter and element-value expressions; the input is
// also tried as one expression on its own.
#include <algorithm>
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
