// AC sweep: complex symmetric nodal system, one analysis per sweep, one factorisation per
// frequency point; MUMPS (LDL^T) by default, KLU as fallback.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>
#include <thread>

#include "analysis.h"
#include "blas_info.h"
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

Complex netValue(const NetValues& values, NetQuantity q) { return values[static_cast<int>(q)]; }

// Solution, node voltages and .net quantities of one factored frequency point into record.
void solvePoint(const Circuit& circuit, const UnknownMap& map, const MnaSystem<Complex>& system, LinearSolver<Complex>& solver,
                NetworkParameters& nets, const OutputPlan& plan, bool selected, double f, std::vector<Complex>& record,
                std::vector<NetValues>& netValues)
{
    const AnalysisPoint point{false, 2 * M_PI * f};
    record[0] = f;
    if (plan.needsSolution) {
        std::vector<Complex> x = system.rhs;
        if (map.size > 0) solver.solve(x.data(), 1);
        fillSolutionValues(plan, circuit, map, x.data(), system.fixed.data(), point, record, 1);
    }
    if (plan.needsNet) {
        nets.compute(solver, selected, netValues);
        for (size_t v = 0; v < plan.variables.size(); ++v) {
            const OutputVariable& var = plan.variables[v];
            if (var.kind == OutputVariable::Kind::Network) record[v + 1] = netValue(netValues[var.index], var.quantity);
        }
    }
}

// Two frequency points at a time, one per core: worth it for sweeps of several points on a
// machine with two cores or more, with the MUMPS factorisation.
bool parallelSweepWanted(const AnalysisOptions& options, const LinearSolver<Complex>& solver, const UnknownMap& map,
                         size_t points)
{
    const int threads = options.sweepThreads > 0 ? options.sweepThreads : static_cast<int>(std::thread::hardware_concurrency());
    return threads >= 2 && points >= 4 && map.size >= 1000 && std::string(solver.name()) == "MUMPS";
}

bool writeAll(int fd, const void* data, size_t bytes)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, void* data, size_t bytes)
{
    char* p = static_cast<char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::read(fd, p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

// Runs the sweep's points on two cores and writes their records in order: a child process,
// forked after the analysis, factorises the odd points with its copy of the analysed MUMPS
// instance (sequential MUMPS keeps global state, so two instances cannot share one process),
// and sends each record through a pipe; this process takes the even ones. Every point goes
// through the same steps as in the serial loop, so the values are the same. Returns how many
// points were written; at a point that fails to factorise (or when the child is lost) it stops
// and the serial loop, with its fall-backs, goes on from there. The BLAS runs one thread per
// process meanwhile.
template <class Write>
size_t sweepInParallel(const Circuit& circuit, const UnknownMap& map, MnaSystem<Complex>& system, LinearSolver<Complex>& solver,
                       NetworkParameters& nets, const OutputPlan& plan, bool selected, const std::vector<double>& frequencies,
                       Write&& write)
{
    std::vector<Complex> record(plan.variables.size() + 1, Complex(0));
    std::vector<NetValues> netValues;
    auto computePoint = [&](size_t k) {
        const double f = frequencies[k];
        system.assemble(circuit, map, AnalysisPoint{false, 2 * M_PI * f}, plan.needsSolution);
        if (!solver.factor(system.values.data()).ok) return false;
        solvePoint(circuit, map, system, solver, nets, plan, selected, f, record, netValues);
        return true;
    };
    const size_t recordBytes = record.size() * sizeof(Complex);

    int fds[2];
    if (::pipe(fds) != 0) return 0;
    const int blasThreads = setBlasThreads(1);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        for (size_t k = 1; k < frequencies.size(); k += 2) {
            int32_t ok = 0;
            try {
                ok = computePoint(k) ? 1 : 0;
            } catch (...) {
            }
            if (!writeAll(fds[1], &ok, sizeof ok) || !ok || !writeAll(fds[1], record.data(), recordBytes)) break;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    size_t done = 0;
    if (child > 0) {
        try {
            while (done < frequencies.size()) {
                if (!computePoint(done)) break;
                write(record);
                ++done;
                if (done == frequencies.size()) break;
                int32_t ok = 0;
                if (!readAll(fds[0], &ok, sizeof ok) || !ok || !readAll(fds[0], record.data(), recordBytes)) break;
                write(record);
                ++done;
            }
        } catch (...) {
            ::close(fds[0]);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            if (blasThreads > 0) setBlasThreads(blasThreads);
            throw;
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::close(fds[0]);
    if (blasThreads > 0) setBlasThreads(blasThreads);
    return done;
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

    RawHeader header;
    header.title = circuit.title;
    header.plotname = "AC Analysis";
    header.flags = "complex forward";
    if (circuit.acSpec.sweep == AcSpec::Sweep::Dec || circuit.acSpec.sweep == AcSpec::Sweep::Oct) header.flags += " log";
    if (steps.size() > 1) header.flags += " stepped";
    header.variables = plan.takeRawVariables(true);
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
    std::vector<Complex> record(plan.variables.size() + 1);
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
        UnknownMap next = buildUnknownMap(circuit, false);
        if (!solver || structureChanged(map, next)) {
            map = std::move(next);
            system.build(circuit, map);
            nets.prepare(circuit, map);
            // Many port impedances on a purely nodal system: LDL^T with selected inversion.
            if (options.solver == SolverKind::Automatic && !map.hasBranches() &&
                nets.inverseEntryCount() >= options.selectedInverseThreshold)
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
        auto writeRecord = [&](const std::vector<Complex>& values) {
            raw.writeComplex(values);
            outputTime += timer.lap();
        };
        size_t first = 0;
        if (parallelSweepWanted(options, *solver, map, frequencies.size())) {
            timer.lap();
            first = sweepInParallel(circuit, map, system, *solver, nets, plan, selected, frequencies, writeRecord);
            factorTime += timer.lap();
            log.line("Frequency points on two cores (two processes): " + std::to_string(first) + " of " + std::to_string(frequencies.size()));
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
            solvePoint(circuit, map, system, *solver, nets, plan, selected, f, record, netValues);
            solveTime += timer.lap();
            writeRecord(record);
        }
    }
    raw.finish();
    outputTime += timer.lap();
    log.line("Times: assemble " + formatSeconds(assembleTime) + ", factor " + formatSeconds(factorTime) + ", solve " +
             formatSeconds(solveTime) + " (with .net), results and RAW " + formatSeconds(outputTime));
    log.line("RAW: " + std::to_string(plan.variables.size() + 1) + " variables, " + std::to_string(totalPoints) + " point(s)");
}

}  // namespace korvex::sim
