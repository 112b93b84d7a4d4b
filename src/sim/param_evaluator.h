// Evaluates .param definitions (in any order, each on demand) and the element values given
// as expressions, once per step.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "circuit.h"

namespace korvex::sim {

class ParamEvaluator {
public:
    explicit ParamEvaluator(const Circuit& circuit);

    // The value of a stepped parameter; overrides a .param of the same name. Clears the cache.
    void setStepValue(const std::string& name, double value);
    double param(const std::string& name, int line);
    double evaluate(uint32_t expr);

    // Evaluates every deferred element value into the elements and checks all element values.
    void applyToElements(Circuit& circuit);

private:
    const Circuit& circuit_;
    std::unordered_map<std::string, double> cache_;
    std::vector<std::string> evaluating_;
    std::string stepName_;
    double stepValue_ = 0;
    bool haveStep_ = false;
    std::vector<double> exprCache_;
    std::vector<char> exprDone_;
};

// Checks the values of every element (positive delays, non-zero resistances ...).
void validateElements(const Circuit& circuit);

// The values of the stepped parameter, evaluated with the base parameters.
std::vector<double> stepValues(const Circuit& circuit);

}  // namespace korvex::sim
