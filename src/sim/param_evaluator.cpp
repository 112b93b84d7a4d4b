// Parameter and element value evaluation.
#include "param_evaluator.h"

#include <algorithm>
#include <cmath>

#include "sim_error.h"

namespace korvex::sim {

ParamEvaluator::ParamEvaluator(const Circuit& circuit)
    : circuit_(circuit), exprCache_(circuit.exprTable.exprs.size()), exprDone_(circuit.exprTable.exprs.size(), 0)
{
}

void ParamEvaluator::setStepValue(const std::string& name, double value)
{
    stepName_ = name;
    stepValue_ = value;
    haveStep_ = true;
    cache_.clear();
    std::fill(exprDone_.begin(), exprDone_.end(), 0);
}

double ParamEvaluator::param(const std::string& name, int line)
{
    if (haveStep_ && name == stepName_) return stepValue_;
    auto cached = cache_.find(name);
    if (cached != cache_.end()) return cached->second;
    auto def = circuit_.params.find(name);
    if (def == circuit_.params.end()) throw SimError(line, "undefined parameter '" + name + "'");
    if (std::find(evaluating_.begin(), evaluating_.end(), name) != evaluating_.end())
        throw SimError(def->second.line, "parameter '" + name + "' depends on itself");
    if (evaluating_.size() > 200) throw SimError(def->second.line, "parameters refer to each other more than 200 levels deep");
    evaluating_.push_back(name);
    const int defLine = def->second.line;
    double value = evaluateExpression(*circuit_.exprTable.exprs[def->second.expr],
                                      [&](const std::string& n) { return param(n, defLine); }, defLine);
    evaluating_.pop_back();
    cache_[name] = value;
    return value;
}

double ParamEvaluator::evaluate(uint32_t expr)
{
    if (exprDone_[expr]) return exprCache_[expr];
    const int line = circuit_.exprTable.lines[expr];
    double value = evaluateExpression(*circuit_.exprTable.exprs[expr],
                                      [&](const std::string& n) { return param(n, line); }, line);
    exprCache_[expr] = value;
    exprDone_[expr] = 1;
    return value;
}

void ParamEvaluator::applyToElements(Circuit& circuit)
{
    for (const DeferredValue& d : circuit.deferred) {
        Element& element = circuit.elements[d.element];
        try {
            element.values[d.slot] = evaluate(d.expr);
        } catch (const SimError& e) {
            throw SimError(e.line() > 0 ? e.line() : element.line, std::string(e.what()) + " (element " + element.name.str() + ")");
        }
    }
    validateElements(circuit);
}

void validateElements(const Circuit& circuit)
{
    for (const Element& e : circuit.elements) {
        const ElementValues& v = e.values;
        auto fail = [&](const std::string& what) { throw SimError(e.line, "element " + e.name.str() + ": " + what); };
        switch (e.kind) {
        case ElementKind::Resistor: break;  // zero is a short
        case ElementKind::Capacitor:
        case ElementKind::Inductor:
            if (v[kValue] < 0) fail("value is negative");
            if (v[kRser] < 0 || v[kLser] < 0 || v[kCpar] < 0 || v[kRpar] < 0) fail("Rser, Lser, Cpar and Rpar must not be negative");
            break;
        case ElementKind::VoltageSource:
            if (v[kSrcRser] < 0) fail("RSER must not be negative");
            [[fallthrough]];
        case ElementKind::CurrentSource:
            if (e.nodes[0] == e.nodes[1] && e.kind == ElementKind::VoltageSource && v[kSrcRser] == 0)
                fail("both terminals on the same node");
            break;
        case ElementKind::TLine:
            if (!(v[kTd] > 0)) fail("Td must be positive");
            if (!(v[kZ0] > 0)) fail("Z0 must be positive");
            break;
        }
    }
}

std::vector<double> stepValues(const Circuit& circuit)
{
    if (!circuit.step.active) return {0.0};
    const StepSpec& step = circuit.step;
    ParamEvaluator evaluator(circuit);
    std::vector<double> args;
    for (uint32_t expr : step.args) args.push_back(evaluator.evaluate(expr));
    if (step.list) return args;
    const double start = args[0], stop = args[1], incr = args[2];
    if (incr == 0 || (stop - start) / incr < 0)
        throw SimError(step.line, ".step gives no values (check START, STOP and INCR)");
    // Tolerance for decimal texts such as 0.666667 / 0.333333.
    const double count = std::floor((stop - start) / incr * (1 + 1e-9) + 1e-6) + 1;
    if (count > 1e6) throw SimError(step.line, ".step gives too many values");
    std::vector<double> values;
    for (int k = 0; k < static_cast<int>(count); ++k) values.push_back(start + k * incr);
    return values;
}

}  // namespace korvex::sim
