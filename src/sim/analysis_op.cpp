// Operating point: real nodal system, CHOLMOD when it is positive definite, KLU otherwise.
#include <sstream>

#include "analysis.h"
#include "mna_system.h"
#include "raw_writer.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

// CHOLMOD for positive definite systems, multigrid-preconditioned CG for large ones (where it is
// faster); with branch currents (floating ideal sources, shorts) the system is symmetric
// indefinite: MUMPS LDL^T with pivoting, KLU if that fails.
std::unique_ptr<LinearSolver<double>> chooseRealSolver(const AnalysisOptions& options, const UnknownMap& map, SimLog& log)
{
    const SolverKind kind = options.solver;
    if (kind == SolverKind::Klu) return makeKluRealSolver();
    if (kind == SolverKind::Mumps || map.hasBranches()) {
        if (kind == SolverKind::Cholmod || kind == SolverKind::Amg)
            log.line(std::string("Note: branch currents make the system indefinite; using MUMPS instead of ") +
                     (kind == SolverKind::Amg ? "multigrid" : "CHOLMOD"));
        try {
            return makeMumpsRealSolver();
        } catch (const SimError& e) {
            log.line(std::string("Note: ") + e.what() + "; using KLU");
            return makeKluRealSolver();
        }
    }
    const bool large = kind == SolverKind::Automatic && static_cast<size_t>(map.size) >= options.amgThreshold;
    if (kind == SolverKind::Amg || (large && amgAvailable())) return makeAmgSolver(options.amg);
    return makeCholmodSolver();
}

}  // namespace

void runOperatingPoint(Circuit& circuit, SimLog& log, const AnalysisOptions& options, const std::string& rawPath)
{
    StageTimer timer;
    ParamEvaluator evaluator(circuit);
    const std::vector<double> steps = stepValues(circuit);
    OutputPlan plan = makeOutputPlan(circuit, false);
    circuit.releaseNodeIndex();  // no node is looked up by name any more
    if (!circuit.nets.empty()) log.line("Note: .net is evaluated by the .ac analysis only; ignored for .op");
    const double planTime = timer.lap();

    RawHeader header;
    header.title = circuit.title;
    header.plotname = "Operating Point";
    header.flags = steps.size() > 1 ? "real forward stepped" : "real forward";
    plan.describeVariables(circuit, false, header);
    header.points = steps.size();
    header.utf16 = options.utf16;
    RawWriter raw;
    // Written on the other core while the matrix is built and solved, which reads the circuit only.
    raw.open(rawPath, header, HeaderWriting::InBackground);
    log.line("Output plan: " + std::to_string(plan.size()) + " variables in " + formatSeconds(planTime) +
             ", RAW header started in the background " + formatSeconds(timer.lap()));

    UnknownMap map;
    MnaSystem<double> system;
    std::unique_ptr<LinearSolver<double>> solver;
    std::vector<double> record;
    double assembleTime = 0, factorTime = 0, solveTime = 0, outputTime = 0;
    for (size_t s = 0; s < steps.size(); ++s) {
        if (circuit.step.active) {
            evaluator.setStepValue(circuit.step.param, steps[s]);
            std::ostringstream text;
            text << "Step " << s + 1 << "/" << steps.size() << ": " << circuit.step.param << " = " << steps[s];
            log.line(text.str());
        }
        evaluator.applyToElements(circuit);
        UnknownMap next = buildUnknownMap(circuit, true);
        const double valuesAndUnknowns = timer.lap();
        if (!solver || structureChanged(map, next)) {
            map = std::move(next);
            system.build(circuit, map);
            const double patternTime = timer.lap();
            solver = chooseRealSolver(options, map, log);
            if (map.size > 0) {
                try {
                    solver->analyse(system.pattern());
                } catch (const SimError& e) {
                    if (std::string(solver->name()) != kAmgSolverName) throw;
                    log.line(std::string("Note: ") + e.what() + "; using CHOLMOD");
                    solver = makeCholmodSolver();
                    solver->analyse(system.pattern());
                }
            }
            const double analyseTime = timer.lap();
            log.line("Element values and unknown map " + formatSeconds(valuesAndUnknowns) + ", matrix pattern " +
                     formatSeconds(patternTime) + ", solver's analyse " + formatSeconds(analyseTime));
            log.line("Operating point: matrix " + std::to_string(map.size) + " x " + std::to_string(map.size) + ", " +
                     std::to_string(system.pattern().nonZeros()) + " non-zeros, " +
                     std::to_string(map.fixedSource.size()) + " nodes held by grounded sources, solver " +
                     solver->name() + "; pattern and analysis " + formatSeconds(patternTime + analyseTime));
        } else {
            assembleTime += valuesAndUnknowns;
        }
        const AnalysisPoint point{true, 0.0};
        system.assemble(circuit, map, point, true);
        if (s + 1 == steps.size()) system.releaseAssembly();  // before the solver takes its memory
        assembleTime += timer.lap();
        // Multigrid that fails falls back to CHOLMOD; a matrix CHOLMOD refuses goes to KLU,
        // which takes any matrix and names the column of a zero pivot.
        auto fallBack = [&](std::unique_ptr<LinearSolver<double>> next, const std::string& why) {
            log.line(std::string("Note: ") + solver->name() + ": " + why + "; falling back to " + next->name());
            solver = std::move(next);
            solver->analyse(system.pattern());
            return solver->factor(system.values.data());
        };
        auto factorWithFallbacks = [&](FactorResult result) {
            if (!result.ok && std::string(solver->name()) == kAmgSolverName) result = fallBack(makeCholmodSolver(), result.message);
            if (!result.ok && options.solver != SolverKind::Cholmod && std::string(solver->name()) != "KLU")
                result = fallBack(makeKluRealSolver(), result.message);
            if (!result.ok) throwSingular(circuit, map, result, 0);
        };
        if (map.size > 0) factorWithFallbacks(solver->factor(system.values.data()));
        factorTime += timer.lap();
        std::vector<double> x = system.rhs;
        if (map.size > 0) {
            try {
                solver->solve(x.data(), 1);
            } catch (const SolverNotConverged& e) {
                factorWithFallbacks(fallBack(makeCholmodSolver(), e.what()));
                x = system.rhs;
                solver->solve(x.data(), 1);
            }
            if (const std::string report = solver->report(); !report.empty()) log.line(std::string(solver->name()) + ": " + report);
        }
        solveTime += timer.lap();
        if (s + 1 == steps.size()) {
            // The factorisation and the matrix are done with: their memory goes before the
            // record of millions of values is made.
            solver.reset();
            system.values = {};
            system.rhs = {};
        }
        record.resize(plan.size());
        fillSolutionValues(plan, circuit, map, x.data(), system.fixed.data(), point, record, 0);
        raw.writeReal(record);
        outputTime += timer.lap();
    }
    raw.finish();
    outputTime += timer.lap();
    log.line("Times: assemble " + formatSeconds(assembleTime) + ", factor " + formatSeconds(factorTime) + ", solve " +
             formatSeconds(solveTime) + ", results and RAW " + formatSeconds(outputTime));
    log.line("RAW: " + std::to_string(plan.size()) + " variables, " + std::to_string(steps.size()) + " point(s)");
    timer.lap();
    solver.reset();
    system = MnaSystem<double>();
    map = UnknownMap();
    log.line("Releasing the matrix and the factorisation " + formatSeconds(timer.lap()));
}

}  // namespace korvex::sim
