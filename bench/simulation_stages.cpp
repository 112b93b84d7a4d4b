// Stage times of whole simulation jobs: "Simulate Electrical Mesh" on the
// 1000 x 1000 pixel, 4-layer benchmark board, and a 100-point Zin sweep on the
// 2-layer example board. Prints loading the project (the benchmark board, saved
// compressed as korvex-cli users keep it), meshing, netlist writing, simulator
// (with its own analysis/factor/solve share from its log), reading and mapping,
// and the time outside the solver (all of it but loading and the simulator's analysis,
// factorisation and solve). Then `korvex-cli dc` on the saved board as a process of its
// own, several times (median wall time), with the DC job's time outside the solver as a
// share of that median.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Seconds the simulator spent analysing, factoring and solving, from its log.
double SolverSeconds(const std::string& log)
{
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    double sum = 0;
    for (const char* what : {"pattern and analysis ", "factor ", "solve "}) {
        const std::regex re(std::string(what) + "([0-9.]+) s");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
            sum += std::stod((*it)[1]);
    }
    return sum;
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
int RunJob(const char* title, SimMatrix& board, Settings& settings, bool ac, const fs::path& folder, double load,
           double* outside = nullptr)
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
    const double notSolving = Report(title, load, meshing, netlistSeconds, clock,
                                     SolverSeconds(WorkFilePath(env, ac ? kAcBase : kElectricalBase, ".log")));
    if (outside != nullptr) *outside = notSolving;
    FreeMesh(&mesh);
    return 0;
}

// `korvex-cli dc` on the saved benchmark board, RUNS times: the whole road a user waits for.
// `outside` is the in-process job's time outside the solver, set against the median.
int RunCli(const std::string& project, const fs::path& folder, int runs, double outside)
{
    const fs::path work = folder / "cli";
    fs::create_directories(work);
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        const auto run = korvex::bench::runProcess({KORVEX_CLI, "dc", project, "--workdir", work.string()}, 600,
                                                   (folder / "cli_output.txt").string());
        if (!run.finished || run.exitCode != 0) {
            std::fprintf(stderr, "korvex-cli dc failed (exit %d), see %s\n", run.exitCode,
                         (folder / "cli_output.txt").c_str());
            return 1;
        }
        walls.push_back(run.wallSeconds);
        cpus.push_back(run.cpuSeconds);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    std::printf("korvex-cli dc, 1000 x 1000 pixels, 4 layers, %d runs\n", runs);
    std::printf("  wall time median  %8.3f s (min %.3f, max %.3f)\n", walls[walls.size() / 2], walls.front(), walls.back());
    std::printf("  CPU time median   %8.3f s (with the simulator)\n", cpus[cpus.size() / 2]);
    std::printf("  outside the solver, from the job above: %.3f s = %.1f %% of the median\n", outside,
                100.0 * outside / walls[walls.size() / 2]);
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
    double dcOutside = 0;
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
        status |= RunJob("Simulate Electrical Mesh, 1000 x 1000 pixels, 4 layers", board, settings, false, folder, load,
                         &dcOutside);
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
    status |= RunCli(project, folder, runs, dcOutside);
    if (std::getenv("KORVEX_BENCH_KEEP") == nullptr) fs::remove_all(folder);
    return status;
}
