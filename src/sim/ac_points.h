// Frequency points of an AC sweep: one factored point into its record, and the sweep on two
// cores (see sweepInTwoProcesses).
#pragma once
#include <functional>
#include <vector>

#include "analysis.h"
#include "mna_system.h"
#include "network_params.h"

namespace korvex::sim {

// Solution, node voltages and .net quantities of one factored frequency point into record.
void solveFactoredPoint(const Circuit& circuit, const UnknownMap& map, const MnaSystem<Complex>& system,
                        LinearSolver<Complex>& solver, NetworkParameters& nets, const OutputPlan& plan, bool selected, double f,
                        std::vector<Complex>& record, std::vector<NetValues>& netValues);

// Whether a sweep of this many points is worth spreading over two cores (MUMPS or the
// supernodal LDL^T, two cores or more, a system of some size).
bool twoProcessSweepWanted(const AnalysisOptions& options, const LinearSolver<Complex>& solver, const UnknownMap& map,
                           size_t points);

// Runs the sweep's points on two cores and hands their records to write in order. Returns how
// many points were written; the caller goes on serially from there.
size_t sweepInTwoProcesses(const Circuit& circuit, const UnknownMap& map, MnaSystem<Complex>& system, LinearSolver<Complex>& solver,
                           NetworkParameters& nets, const OutputPlan& plan, bool selected, const std::vector<double>& frequencies,
                           const std::function<void(const std::vector<Complex>&)>& write);

}  // namespace korvex::sim
