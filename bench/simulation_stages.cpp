// Stage times of whole simulation jobs: "Simulate Electrical Mesh" on the
// 1000 x 1000 pixel, 4-layer benchmark board, and a 100-point Zin sweep on the
// 2-layer example board. Prints netlist writing, simulator (with its own
// analysis/factor/solve share from its log), reading and mapping, and the share
// of everything but the simulator's solve.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "bench_blas.h"
#include "board/example_board.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "support/board_generator.h"
#include "util/job_observer.h"

using namespace korvex;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
double Since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

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
        if (current_ == "simulate") simulate += Since(started_);
        if (current_ == "read results") read += Since(started_);
        if (current_ == "map results") map += Since(started_);
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

void Report(const char* title, double netlist, const StageClock& c, double solver)
{
    const double total = netlist + c.simulate + c.read + c.map;
    std::printf("%s\n", title);
    std::printf("  netlist writing   %8.3f s\n", netlist);
    std::printf("  simulator         %8.3f s (analysis, factor and solve %.3f s)\n", c.simulate, solver);
    std::printf("  reading results   %8.3f s\n", c.read);
    std::printf("  mapping results   %8.3f s\n", c.map);
    std::printf("  total             %8.3f s; everything but the solver: %.1f %%\n", total,
                100.0 * (total - solver) / total);
}

int RunJob(const char* title, SimMatrix& board, Settings& settings, bool ac, const fs::path& folder)
{
    Mesh mesh;
    Diagram diagram;
    auto t = Clock::now();
    MeshBuildReport report;
    CreateMesh(&board, &mesh, nullptr, &settings, &report);
    std::printf("%s: mesh of %d nodes in %.2f s\n", title, report.OptimisedNodes, Since(t));
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
    const double netlistSeconds = Since(t);
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
    Report(title, netlistSeconds, clock, SolverSeconds(WorkFilePath(env, ac ? kAcBase : kElectricalBase, ".log")));
    FreeMesh(&mesh);
    return 0;
}
}  // namespace

int main()
{
    korvex::bench::printBlas();
    const fs::path folder = fs::temp_directory_path() / "korvex_bench_stages";
    fs::create_directories(folder);
    int status = 0;
    {
        SimMatrix board;
        GenerateBenchmarkBoard(&board, 1000);
        Settings settings = DefaultSettings();
        settings.BatchMode = 0;
        status |= RunJob("Simulate Electrical Mesh, 1000 x 1000 pixels, 4 layers", board, settings, false, folder);
        freeSimulationMatrix(&board);
    }
    {
        SimMatrix board;
        CreateExampleBoard(&board);
        Settings settings = DefaultSettings();
        settings.BatchMode = 0;
        settings.NumberOfPoints = 100;
        status |= RunJob("Zin sweep of 100 points, example board", board, settings, true, folder);
        freeSimulationMatrix(&board);
    }
    if (std::getenv("KORVEX_BENCH_KEEP") == nullptr) fs::remove_all(folder);
    return status;
}
