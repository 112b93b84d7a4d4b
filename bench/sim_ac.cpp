// AC plane-pair netlists: time per frequency point of a 100 x 100 node plane pair (against
// MUMPS and against one point at a time), and the impedance map (one .net per node) of a
// 300 x 300 plane pair (about 10^5 one-ports) and, with
// --large-map-n, of a 1000 x 1000 one (10^6 one-ports, 3 million unknowns, a 0.6 GB netlist),
// and the map with MUMPS' own selected-inverse mode (ICNTL(30)) as the peer at 100 x 100.
// --reference-sim runs an older korvex-sim on the same map netlists right after this one, for
// before/after figures under the same load.
//   bench_sim_ac [--sweep-n N] [--map-n N] [--large-map-n N] [--peer-n N] [--reference-sim PATH]
//   (defaults 100, 300, none, 100)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_blas.h"
#include "sim_netlist_generators.h"
#include "sim_process_timer.h"

using namespace korvex;

namespace {

// The load average of the last minute: other jobs on the machine skew the timings.
double loadAverage()
{
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    return load;
}

// Processor time beside the wall time: on a loaded machine the former still tells the work.
void timeMap(const std::string& sim, const std::string& label, const std::string& map, int n, double target)
{
    const double load = loadAverage();
    const bench::ProcessRun run = bench::runProcess({sim, "-b", map}, 3600, "/dev/null", bench::kSimulatorEnvironment);
    std::printf("Z distribution, %d x %d plane pair (%d one-ports), %s: %.2f s (cpu %.1f s, cpu/wall %.2f), peak %.0f MiB, load %.1f (%s; "
                "target < %.0f s)\n",
                n, n, n * n, label.c_str(), run.wallSeconds, run.cpuSeconds, run.cpuSeconds / run.wallSeconds, run.peakMiB, load,
                run.exitCode == 0 ? "ok" : "FAILED", target);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    korvex::bench::printBlas();
    int sweepN = 100, mapN = 300, largeMapN = 0, peerN = 100;
    std::string referenceSim;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string option = argv[k];
        const int value = std::atoi(argv[k + 1]);
        if (option == "--sweep-n") sweepN = value;
        else if (option == "--map-n") mapN = value;
        else if (option == "--large-map-n") largeMapN = value;
        else if (option == "--peer-n") peerN = value;
        else if (option == "--reference-sim") referenceSim = argv[k + 1];
    }
    const auto dir = std::filesystem::temp_directory_path() / "korvex_bench_sim_ac";
    std::filesystem::create_directories(dir);
    const std::string sim = bench::simulatorPath();

    // Per point: two sweeps of 31 and 61 points; the difference removes parsing and set-up.
    // The peers: the same sweeps with one point at a time (--threads=1), and one point at a time
    // with MUMPS, the factorisation these sweeps had before the supernodal one.
    bench::PlanePair plane;
    plane.n = sweepN;
    const std::string short_ = (dir / "sweep31.cir").string(), long_ = (dir / "sweep61.cir").string();
    bench::writePlanePairNetlist(short_, plane, false, 0, 10);
    bench::writePlanePairNetlist(long_, plane, false, 0, 20);
    struct SweepRun {
        const char* what;
        std::vector<std::string> options;
        double perPoint = 0;
    };
    SweepRun runs[] = {{"MUMPS, one point at a time", {"--solver=mumps", "--threads=1"}},
                       {"one point at a time", {"--threads=1"}},
                       {"two points at a time", {"--threads=2"}}};
    for (SweepRun& run : runs) {
        auto command = [&](const std::string& netlist) {
            std::vector<std::string> argv{sim, "-b"};
            argv.insert(argv.end(), run.options.begin(), run.options.end());
            argv.push_back(netlist);
            return bench::runProcess(argv, 3600, "/dev/null", bench::kSimulatorEnvironment);
        };
        const bench::ProcessRun a = command(short_), b = command(long_);
        run.perPoint = 1000 * (b.wallSeconds - a.wallSeconds) / 30;
        std::printf("AC sweep, %d x %d plane pair, %s: 31 points %.2f s, 61 points %.2f s (cpu/wall %.2f) -> %.1f ms per "
                    "frequency point (%s)\n",
                    sweepN, sweepN, run.what, a.wallSeconds, b.wallSeconds, b.cpuSeconds / b.wallSeconds, run.perPoint,
                    a.exitCode == 0 && b.exitCode == 0 ? "ok" : "FAILED");
    }
    std::printf("AC sweep: two points at a time take %.2fx the time per point of one, %.2fx that of MUMPS one at a time "
                "(target <= 0.5; cpu/wall >= 1.7)\n",
                runs[2].perPoint / runs[1].perPoint, runs[2].perPoint / runs[0].perPoint);

    // Impedance map: LDL^T with selected inversion (the automatic choice), then the older
    // executable on the same netlist if one was given.
    for (const int n : {mapN, largeMapN}) {
        if (n <= 0) continue;
        plane.n = n;
        const std::string map = (dir / ("zmap" + std::to_string(n) + ".cir")).string();
        bench::writePlanePairNetlist(map, plane, true, 100e6);
        const double target = n >= 1000 ? 60 : 30;
        timeMap(sim, "this build", map, n, target);
        if (!referenceSim.empty()) timeMap(referenceSim, "reference " + referenceSim, map, n, target);
    }

    plane.n = peerN;
    const std::string peer = (dir / "zmap_peer.cir").string();
    bench::writePlanePairNetlist(peer, plane, true, 100e6);
    const bench::ProcessRun selected = bench::runProcess({sim, "-b", peer}, 3600, "/dev/null", bench::kSimulatorEnvironment);
    const bench::ProcessRun mumps = bench::runProcess({sim, "-b", "--solver=mumps", peer}, 600, "/dev/null", bench::kSimulatorEnvironment);
    std::printf("Z distribution, %d x %d plane pair: selected inversion %.2f s, MUMPS ICNTL(30) %s%.2f s -> %.1fx\n", peerN, peerN,
                selected.wallSeconds, mumps.finished ? "" : "> ", mumps.wallSeconds, mumps.wallSeconds / selected.wallSeconds);
    return 0;
}
