// The two analyses (operating point and AC sweep) and what they share.
#pragma once
#include <string>
#include <vector>

#include "circuit.h"
#include "element_stamps.h"
#include "linear_solver.h"
#include "output_plan.h"
#include "param_evaluator.h"
#include "sim_log.h"

namespace korvex::sim {

struct AnalysisOptions {
    SolverKind solver = SolverKind::Automatic;
    bool utf16 = false;
    size_t selectedInverseThreshold = 64;  // from this many inverse entries on, use the solver's own mode
    size_t supernodalAcThreshold = 20000;  // nodal AC systems from this many unknowns on: supernodal LDL^T
    size_t amgThreshold = 150000;          // real SPD systems from this many unknowns on: multigrid
    AmgSettings amg;
    int sweepThreads = 0;                  // frequency points factorised at once; 0: two on two cores or more
};

void runOperatingPoint(Circuit& circuit, SimLog& log, const AnalysisOptions& options, const std::string& rawPath);
void runAcAnalysis(Circuit& circuit, SimLog& log, const AnalysisOptions& options, const std::string& rawPath);

// Frequencies of the .ac sweep with the parameters of the current step; throws on an empty sweep.
std::vector<double> acFrequencies(const Circuit& circuit, ParamEvaluator& evaluator);

// Whether two unknown maps number the unknowns differently (then the pattern is rebuilt).
bool structureChanged(const UnknownMap& a, const UnknownMap& b);

// Error for a failed factorisation, naming the node or branch of the bad pivot.
[[noreturn]] void throwSingular(const Circuit& circuit, const UnknownMap& map, const FactorResult& result, double frequency);

// Current into the + terminal of each eliminated (grounded ideal) voltage source, by the
// current balance at its node.
template <class S>
std::vector<S> fixedSourceCurrents(const Circuit& circuit, const UnknownMap& map, const S* x, const S* fixed,
                                   AnalysisPoint point);

// Node voltages and element currents of the plan into record (network quantities are left alone).
template <class S>
void fillSolutionValues(const OutputPlan& plan, const Circuit& circuit, const UnknownMap& map, const S* x,
                        const S* fixed, AnalysisPoint point, std::vector<S>& record, size_t offset);

}  // namespace korvex::sim
