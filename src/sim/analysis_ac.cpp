// AC sweep: complex symmetric nodal system, one analysis per sweep, one factorisation per
// frequency point; MUMPS (LDL^T) by default, KLU as fallback.
#include <algorithm>
#include <sstream>

#include "ac_points.h"
#include "analysis.h"
#include "mna_system.h"
#include "network_params.h"
#include "raw_writer.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

std::unique_ptr<LinearSolver<Complex>> chooseComplexSolver(SolverKind kind, SimLog& log)
{
    if (kind == SolverKind::Klu) return makeKluComplexSolver();
    if (kind == SolverKind::Cholmod) log.line("Note: CHOLMOD serves real systems; the AC analysis uses MUMPS");
    try {
        return makeMumpsSolver();
    } catch (const SimError& e) {
        log.line(std::string("Note: ") + e.what() + "; using KLU");
        return makeKluComplexSolver();
    }
}

// The next solver to try after a failed factorisation: selected inversion -> MUMPS -> KLU.
std::unique_ptr<LinearSolver<Complex>> fallbackSolver(const std::string& failed)
{
    if (failed == "KLU") return nullptr;
    if (failed != "MUMPS") {
        try {
            return makeMumpsSolver();
        } catch (const SimError&) {
        }
    }
    return makeKluComplexSolver();
}

}  // namespace

void runAcAnalysis(Circuit& circuit, SimLog& log, const AnalysisOptions& options, const std::string& rawPath)
{
    StageTimer timer;
    ParamEvaluator evaluator(circuit);
    const std::vector<double> steps = stepValues(circuit);

    // Every step's sweep first: the header announces the total number of points, and an empty
    // sweep is refused before any work.
    std::vector<std::vector<double>> sweeps;
    size_t totalPoints = 0;
    for (double value : steps) {
        if (circuit.step.active) evaluator.setStepValue(circuit.step.param, value);
        sweeps.push_back(acFrequencies(circuit, evaluator));
        totalPoints += sweeps.back().size();
    }
    if (circuit.step.active) evaluator.setStepValue(circuit.step.param, steps[0]);
    evaluator.applyToElements(circuit);
    validateNets(circuit);
    OutputPlan plan = makeOutputPlan(circuit, true);
    circuit.releaseNodeIndex();  // no node is looked up by name any more

    RawHeader header;
    header.title = circuit.title;
    header.plotname = "AC Analysis";
    header.flags = "complex forward";
    if (circuit.acSpec.sweep == AcSpec::Sweep::Dec || circuit.acSpec.sweep == AcSpec::Sweep::Oct) header.flags += " log";
    if (steps.size() > 1) header.flags += " stepped";
    plan.describeVariables(circuit, true, header);
    header.points = totalPoints;
    header.utf16 = options.utf16;
    RawWriter raw;
    raw.open(rawPath, header);
    log.line("AC analysis: " + std::to_string(totalPoints) + " frequency point(s) in " + std::to_string(steps.size()) +
             " step(s); " + std::to_string(circuit.nets.size()) + " .net port(s); setup " + formatSeconds(timer.lap()));

    UnknownMap map;
    MnaSystem<Complex> system;
    std::unique_ptr<LinearSolver<Complex>> solver;
    NetworkParameters nets;
    std::vector<NetValues> netValues;
    std::vector<Complex> record(plan.size() + 1);
    double assembleTime = 0, factorTime = 0, solveTime = 0, outputTime = 0;
    for (size_t s = 0; s < steps.size(); ++s) {
        if (circuit.step.active) {
            evaluator.setStepValue(circuit.step.param, steps[s]);
            std::ostringstream text;
            text << "Step " << s + 1 << "/" << steps.size() << ": " << circuit.step.param << " = " << steps[s] << ", "
                 << sweeps[s].size() << " point(s)";
            log.line(text.str());
            evaluator.applyToElements(circuit);
            validateNets(circuit);
        }
        const double maxOmega = sweeps[s].empty() ? 0.0 : 2 * M_PI * *std::max_element(sweeps[s].begin(), sweeps[s].end());
        UnknownMap next = buildUnknownMap(circuit, false, maxOmega);
        if (!solver || structureChanged(map, next)) {
            map = std::move(next);
            system.build(circuit, map);
            nets.prepare(circuit, map);
            // A purely nodal system with many port impedances (selected inversion) or large
            // enough that the supernodal factorisation beats MUMPS' (about 6x on a 121,000-unknown
            // plane pair): LDL^T without pivoting, falling back to MUMPS if a pivot vanishes.
            if (options.solver == SolverKind::Automatic && !map.hasBranches() &&
                (nets.inverseEntryCount() >= options.selectedInverseThreshold ||
                 static_cast<size_t>(map.size) >= options.supernodalAcThreshold))
                solver = makeSelectedInverseSolver();
            else
                solver = chooseComplexSolver(options.solver, log);
            if (map.size > 0) solver->analyse(system.pattern());
            log.line("AC matrix " + std::to_string(map.size) + " x " + std::to_string(map.size) + ", " +
                     std::to_string(system.pattern().nonZeros()) + " non-zeros, solver " + solver->name() +
                     "; pattern and analysis " + formatSeconds(timer.lap()));
        }
        nets.prepare(circuit, map);
        const bool selected = nets.inverseEntryCount() >= options.selectedInverseThreshold;
        if (s == 0 && nets.inverseEntryCount() > 0)
            log.line(std::to_string(nets.inverseEntryCount()) + " inverse entries per point for one-port .net, by " +
                     (selected ? std::string("the selected-inverse mode of ") + solver->name() : std::string("unit solves")));
        const std::vector<double>& frequencies = sweeps[s];
        auto writeRecord = [&](const std::vector<Complex>& values) { raw.writeComplex(values); };
        size_t first = 0;
        if (twoProcessSweepWanted(options, *solver, map, frequencies.size())) {
            // The two processes interleave assembling, factoring, solving and writing, so the
            // sweep is timed as one block and counted as factorisation.
            timer.lap();
            first = sweepInTwoProcesses(circuit, map, system, *solver, nets, plan, selected, frequencies, writeRecord);
            const double sweepTime = timer.lap();
            factorTime += sweepTime;
            log.line("Frequency points on two cores (two processes): " + std::to_string(first) + " of " +
                     std::to_string(frequencies.size()) + " in " + formatSeconds(sweepTime) +
                     " (assembled, factored, solved and written; counted as factor)");
        }
        for (size_t k = first; k < frequencies.size(); ++k) {
            const double f = frequencies[k];
            const AnalysisPoint point{false, 2 * M_PI * f};
            system.assemble(circuit, map, point, plan.needsSolution);
            assembleTime += timer.lap();
            if (map.size > 0) {
                FactorResult result = solver->factor(system.values.data());
                while (!result.ok) {
                    auto next = fallbackSolver(solver->name());
                    if (!next) break;
                    log.line(std::string("Note: ") + solver->name() + ": " + result.message + "; retrying with " + next->name());
                    solver = std::move(next);
                    solver->analyse(system.pattern());
                    result = solver->factor(system.values.data());
                }
                if (!result.ok) throwSingular(circuit, map, result, f);
            }
            factorTime += timer.lap();
            solveFactoredPoint(circuit, map, system, *solver, nets, plan, selected, f, record, netValues);
            solveTime += timer.lap();
            writeRecord(record);
            outputTime += timer.lap();
        }
    }
    raw.finish();
    outputTime += timer.lap();
    log.line("Times: assemble " + formatSeconds(assembleTime) + ", factor " + formatSeconds(factorTime) + ", solve " +
             formatSeconds(solveTime) + " (with .net), results and RAW " + formatSeconds(outputTime));
    log.line("RAW: " + std::to_string(plan.size() + 1) + " variables, " + std::to_string(totalPoints) + " point(s)");
}

}  // namespace korvex::sim
