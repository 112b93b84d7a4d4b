// Create Mesh (refinement and optimisation) on the generated 4-layer benchmark
// board at 500, 1000 and 2000 pixels square: node counts, time per stage, peak
// memory, and the ratio 2000 / 1000 (goal: under 10 s and at most 5x).
// Each size is meshed three times on the same board: the first run pays for
// fresh memory pages, the best run shows the steady state.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <map>

#include "bench_blas.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "support/board_generator.h"
#include "util/debug_log.h"

using namespace korvex;

namespace {
std::map<uint32_t, double> gBest, gFirst;

// User plus system CPU seconds of this process so far.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double PeakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void CreateMeshOnBenchmarkBoard(benchmark::State& state)
{
    const auto pixels = static_cast<uint32_t>(state.range(0));
    SimMatrix board;
    InitSimulationMatrix(&board);
    if (GenerateBenchmarkBoard(&board, pixels) != 0) {
        state.SkipWithError("board generation failed");
        return;
    }
    Settings settings;  // defaults: order 4, asymmetric mesh on
    Mesh mesh;
    MeshBuildReport report;
    double best = 1e300, first = -1, cpu = 0;
    for (auto _ : state) {
        const double cpuBefore = CpuSeconds();
        CreateMesh(&board, &mesh, nullptr, &settings, &report);
        const double seconds = report.InitialSeconds + report.RefineSeconds + report.OptimiseSeconds;
        if (first < 0) first = seconds, cpu = CpuSeconds() - cpuBefore;
        best = std::min(best, seconds);
    }
    gBest[pixels] = best;
    gFirst[pixels] = first;
    const double meshMiB = (double(report.OptimisedNodes) * sizeof(MeshNode) + double(mesh.IDToNodeSize) * 8 +
                            double(pixels) * pixels * 4) / (1024.0 * 1024.0);
    state.counters["parts"] = CountParts(&board);
    state.counters["refined_nodes"] = report.RefinedNodes;
    state.counters["nodes"] = report.OptimisedNodes;
    state.counters["first_s"] = first;
    state.counters["first_cpu_s"] = cpu;
    state.counters["best_s"] = best;
    state.counters["refine_s"] = report.RefineSeconds;
    state.counters["optimise_s"] = report.OptimiseSeconds;
    state.counters["mesh_MiB"] = meshMiB;
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
    FreeMesh(&mesh);
    freeSimulationMatrix(&board);
}
BENCHMARK(CreateMeshOnBenchmarkBoard)->Arg(500)->Arg(1000)->Arg(2000)->Iterations(3)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv)
{
    korvex::bench::printBlas();
    SetDebugSink({});  // the stage log is not part of the figure
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gBest.count(1000) && gBest.count(2000)) {
        std::printf("Create Mesh 2000 x 2000: first run %.2f s, best %.2f s (goal < 10 s)\n", gFirst[2000],
                    gBest[2000]);
        std::printf("ratio 2000 / 1000: first runs %.2f, best runs %.2f (goal <= 5)\n", gFirst[2000] / gFirst[1000],
                    gBest[2000] / gBest[1000]);
    }
    return 0;
}
