// Stage times of whole simulation jobs: "Simulate Electrical Mesh" on the
// 1000 x 1000 pixel, 4-layer benchmark board, and a 100-point Zin sweep on the
// 2-layer example board. Prints loading the project (the benchmark board, saved
// compressed as korvex-cli users keep it), meshing, netlist writing, simulator
// (with its own analysis/factor/solve share from its log), reading and mapping,
// and the time outside the solver (all of it but loading and the simulator's analysis,
// factorisation and solve). Then `korvex-cli dc` on the saved board as a process of its
// own, several times (median wall time), with each run's time outside the solver as a share
// of its wall time.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

#include "bench_blas.h"
#include "board/example_board.h"
#include "board/project_file.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "sim_process_timer.h"
#include "support/board_generator.h"
#include "util/job_observer.h"

using namespace korvex;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
// Records when each job stage starts.
class StageClock : public JobObserver {
public:
    void Progress(std::string_view stage, double) override
    {
        if (stage == current_) return;
        Close();
        current_ = stage;
        started_ = Clock::now();
    }
    void Close()
    {
        if (current_ == "simulate") simulate += bench::secondsSince(started_);
        if (current_ == "read results") read += bench::secondsSince(started_);
        if (current_ == "map results") map += bench::secondsSince(started_);
        current_.clear();
    }
    double simulate = 0, read = 0, map = 0;

private:
    std::string current_;
    Clock::time_point started_;
};

// The sum of the seconds that follow each of `labels` in the simulator's log.
double LoggedSeconds(const std::string& log, std::initializer_list<const char*> labels)
{
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    double sum = 0;
    for (const char* what : labels) {
        const std::regex re(std::string(what) + "([0-9.]+) s");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
            sum += std::stod((*it)[1]);
    }
    return sum;
}

// Seconds the simulator spent analysing, factoring and solving, from its log.
double SolverSeconds(const std::string& log)
{
    return LoggedSeconds(log, {"pattern and analysis ", "factor ", "solve "});
}

// Seconds of the simulator's parse, output plan and RAW header, and results and RAW writing.
double SimulatorRoadSeconds(const std::string& log)
{
    return LoggedSeconds(log, {"lines: [^\\n]* in ", "variables in ", "in the background ", "results and RAW "});
}

// Prints the stages and returns the time outside the solver: meshing, netlist writing, the
// simulator's own work apart from analysing, factoring and solving, reading and mapping.
double Report(const char* title, double load, double meshing, double netlist, const StageClock& c, double solver)
{
    const double total = load + meshing + netlist + c.simulate + c.read + c.map;
    const double outside = meshing + netlist + (c.simulate - solver) + c.read + c.map;
    std::printf("%s\n", title);
    std::printf("  loading project   %8.3f s\n", load);
    std::printf("  meshing           %8.3f s\n", meshing);
    std::printf("  netlist writing   %8.3f s\n", netlist);
    std::printf("  simulator         %8.3f s (analysis, factor and solve %.3f s)\n", c.simulate, solver);
    std::printf("  reading results   %8.3f s\n", c.read);
    std::printf("  mapping results   %8.3f s\n", c.map);
    std::printf("  total             %8.3f s\n", total);
    std::printf("  outside the solver (all but loading and the solver) %.3f s: %.1f %% of the total\n", outside,
                100.0 * outside / total);
    return outside;
}

// Runs one job; its time outside the solver goes to `outside` when given.
int RunJob(const char* title, SimMatrix& board, Settings& settings, bool ac, const fs::path& folder, double load)
{
    Mesh mesh;
    Diagram diagram;
    auto t = Clock::now();
    MeshBuildReport report;
    CreateMesh(&board, &mesh, nullptr, &settings, &report);
    const double meshing = bench::secondsSince(t);
    std::printf("%s: mesh of %d nodes\n", title, report.OptimisedNodes);
    StageClock clock;
    JobEnvironment env;
    env.Board = &board;
    env.Mesh = &mesh;
    env.Settings = &settings;
    env.Diagram = &diagram;
    env.WorkFolder = folder.string();
    env.Simulator = KORVEX_SIM;
    env.Observer = &clock;
    AcJob job;
    job.Mode = AC_MODE_ZIN_OF_PORTS;
    const std::string netlist = WorkFilePath(env, ac ? kAcBase : kElectricalBase, ".cir");
    t = Clock::now();
    const int written = ac ? CreateSpiceAC(netlist.c_str(), &board, &mesh, &settings, &job)
                           : CreateSpiceElectricalMesh(netlist.c_str(), &board, &mesh);
    const double netlistSeconds = bench::secondsSince(t);
    if (written != 0) {
        std::fprintf(stderr, "netlist could not be written\n");
        return 1;
    }
    const JobOutcome out = ac ? ThreadSpiceZin(env, job) : ThreadSpiceElectricalMesh(env);
    clock.Close();
    if (!out.Success) {
        std::fprintf(stderr, "%s failed: %s\n%s", title, out.Reason.c_str(), out.LogTail.c_str());
        return 1;
    }
    Report(title, load, meshing, netlistSeconds, clock, SolverSeconds(WorkFilePath(env, ac ? kAcBase : kElectricalBase, ".log")));
    FreeMesh(&mesh);
    return 0;
}

// One `korvex-cli dc -v` run: wall time, and the time from the end of loading to the end of
// mapping (the last "Voltage Layer" line), from when its progress lines arrive.
struct CliRun {
    bool ok = false;
    double wall = 0, cpu = 0, loadEnd = 0, simulateStart = 0, readStart = 0, mapEnd = 0;
};

CliRun RunCliOnce(const std::vector<std::string>& argv)
{
    CliRun run;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return run;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDERR_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        _exit(127);
    }
    ::close(pipeEnds[1]);
    if (pid < 0) {
        ::close(pipeEnds[0]);
        return run;
    }
    std::string pending;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        const double now = bench::secondsSince(start);
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string_view line(pending.data(), end);
            if (run.loadEnd == 0 && line.find("korvex-cli: create mesh") != std::string_view::npos) run.loadEnd = now;
            if (line.find("korvex-cli: simulate") != std::string_view::npos) run.simulateStart = now;
            if (line.find("korvex-cli: read results") != std::string_view::npos) run.readStart = now;
            if (line.find("Voltage Layer") != std::string_view::npos) run.mapEnd = now;
        }
    }
    ::close(pipeEnds[0]);
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) return run;
    run.wall = bench::secondsSince(start);
    run.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.loadEnd > 0 && run.simulateStart > run.loadEnd &&
             run.readStart > run.simulateStart && run.mapEnd > run.readStart;
    return run;
}

// `korvex-cli dc` on the saved benchmark board, RUNS times: the whole road a user waits for. Each
// run's time outside the solver is its time from the end of loading to the end of mapping, less
// the solver's analysis, factorisation and solve from the simulator's log (the work folder's
// settings keep the work files for that).
int RunCli(const std::string& project, const fs::path& folder, int runs)
{
    const fs::path work = folder / "cli";
    fs::create_directories(work);
    Settings keep = DefaultSettings();
    keep.BatchMode = 0;
    std::string error;
    if (WriteSettingsFile(&keep, work.string(), &error) != 0) {
        std::fprintf(stderr, "%s: %s\n", work.c_str(), error.c_str());
        return 1;
    }
    std::vector<double> walls, cpus, outside, shares, road, roadShares;
    for (int i = 0; i < runs; ++i) {
        const CliRun run = RunCliOnce({KORVEX_CLI, "dc", project, "--workdir", work.string(), "-v"});
        if (!run.ok) {
            std::fprintf(stderr, "korvex-cli dc failed or printed no stages\n");
            return 1;
        }
        const std::string log = (work / (std::string(kElectricalBase) + ".log")).string();
        walls.push_back(run.wall);
        cpus.push_back(run.cpu);
        outside.push_back(run.mapEnd - run.loadEnd - SolverSeconds(log));
        shares.push_back(outside.back() / run.wall);
        road.push_back(run.simulateStart - run.loadEnd + SimulatorRoadSeconds(log) + run.mapEnd - run.readStart);
        roadShares.push_back(road.back() / run.wall);
    }
    std::printf("korvex-cli dc, 1000 x 1000 pixels, 4 layers, %d runs\n", runs);
    std::printf("  wall time median  %8.3f s (min %.3f, max %.3f)\n", bench::median(walls),
                *std::min_element(walls.begin(), walls.end()), *std::max_element(walls.begin(), walls.end()));
    std::printf("  CPU time median   %8.3f s (with the simulator)\n", bench::median(cpus));
    std::printf("  outside the solver (meshing to mapping, less analysis, factor and solve): median %.3f s, "
                "%.1f %% of each run's wall time (median)\n",
                bench::median(outside), 100.0 * bench::median(shares));
    std::printf("  the road alone (meshing, netlist writing, the simulator's parse, output plan, RAW header and "
                "RAW writing, reading, mapping): median %.3f s, %.1f %% of each run's wall time (median)\n",
                bench::median(road), 100.0 * bench::median(roadShares));
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    korvex::bench::printBlas();
    const fs::path folder = fs::temp_directory_path() / "korvex_bench_stages";
    fs::create_directories(folder);
    const std::string project = (folder / "benchmark_board.sav").string();
    int status = 0;
    {
        SimMatrix generated;
        GenerateBenchmarkBoard(&generated, 1000);
        std::string error;
        if (gzSaveSimMatrix(project.c_str(), &generated, &error) != 0) {
            std::fprintf(stderr, "%s: %s\n", project.c_str(), error.c_str());
            return 1;
        }
        freeSimulationMatrix(&generated);
        SimMatrix board;
        const auto t = Clock::now();
        if (gzLoadSimMatrix(project.c_str(), &board, &error) != 1) {
            std::fprintf(stderr, "%s: %s\n", project.c_str(), error.c_str());
            return 1;
        }
        const double load = bench::secondsSince(t);
        Settings settings = DefaultSettings();
        settings.BatchMode = 0;
        status |= RunJob("Simulate Electrical Mesh, 1000 x 1000 pixels, 4 layers", board, settings, false, folder, load);
        freeSimulationMatrix(&board);
    }
    {
        SimMatrix board;
        CreateExampleBoard(&board);
        Settings settings = DefaultSettings();
        settings.BatchMode = 0;
        settings.NumberOfPoints = 100;
        status |= RunJob("Zin sweep of 100 points, example board", board, settings, true, folder, 0);
        freeSimulationMatrix(&board);
    }
    status |= RunCli(project, folder, runs);
    if (std::getenv("KORVEX_BENCH_KEEP") == nullptr) fs::remove_all(folder);
    return status;
}
