// Frequency points of an AC sweep: one factored point into its record, and the sweep on two
// cores.
#include "ac_points.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "blas_info.h"

namespace korvex::sim {

namespace {

Complex netValue(const NetValues& values, NetQuantity q) { return values[static_cast<int>(q)]; }

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

}  // namespace

void solveFactoredPoint(const Circuit& circuit, const UnknownMap& map, const MnaSystem<Complex>& system,
                        LinearSolver<Complex>& solver, NetworkParameters& nets, const OutputPlan& plan, bool selected, double f,
                        std::vector<Complex>& record, std::vector<NetValues>& netValues)
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
        for (size_t v = 0; v < plan.size(); ++v) {
            const OutputVariable var = plan[v];
            if (var.kind == OutputVariable::Kind::Network) record[v + 1] = netValue(netValues[var.index], var.quantity);
        }
    }
}

// Two frequency points at a time, one per core: worth it for sweeps of several points on a
// machine with two cores or more, with MUMPS or the supernodal LDL^T (which then factorises on
// one thread per process: 38 ms a point instead of 68 ms on a 121,000-unknown plane pair).
bool twoProcessSweepWanted(const AnalysisOptions& options, const LinearSolver<Complex>& solver, const UnknownMap& map,
                           size_t points)
{
    const int threads = options.sweepThreads > 0 ? options.sweepThreads : static_cast<int>(std::thread::hardware_concurrency());
    const std::string name = solver.name();
    return threads >= 2 && points >= 4 && map.size >= 1000 && (name == "MUMPS" || name == "LDL^T with selected inversion");
}

// Runs the sweep's points on two cores and writes their records in order: a child process,
// forked after the analysis, factorises the odd points with its copy of the analysed solver
// (sequential MUMPS keeps global state, so two instances cannot share one process),
// and sends each record through a pipe; this process takes the even ones. Every point goes
// through the same steps as in the serial loop, so the values are the same. Returns how many
// points were written; at a point that fails to factorise (or when the child is lost) it stops
// and the serial loop, with its fall-backs, goes on from there. The BLAS runs one thread per
// process meanwhile.
size_t sweepInTwoProcesses(const Circuit& circuit, const UnknownMap& map, MnaSystem<Complex>& system, LinearSolver<Complex>& solver,
                           NetworkParameters& nets, const OutputPlan& plan, bool selected, const std::vector<double>& frequencies,
                           const std::function<void(const std::vector<Complex>&)>& write)
{
    std::vector<Complex> record(plan.size() + 1, Complex(0));
    std::vector<NetValues> netValues;
    auto computePoint = [&](size_t k) {
        const double f = frequencies[k];
        system.assemble(circuit, map, AnalysisPoint{false, 2 * M_PI * f}, plan.needsSolution);
        if (!solver.factor(system.values.data()).ok) return false;
        solveFactoredPoint(circuit, map, system, solver, nets, plan, selected, f, record, netValues);
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

}  // namespace korvex::sim
