// DC mesh netlists (two layers of N x N nodes): korvex-sim end to end against ngspice on the
// same netlist and against a bare CHOLMOD factorise-and-solve of the same matrix.
//   bench_sim_dc [N ...] [--ngspice-max N]   (default N = 100 200 500 1000, ngspice up to 200)
#include <suitesparse/cholmod.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "circuit.h"
#include "mna_system.h"
#include "netlist_parser.h"
#include "netlist_text.h"
#include "param_evaluator.h"
#include "sim_netlist_generators.h"
#include "sim_process_timer.h"
#include "unknown_map.h"

using namespace korvex;


using namespace korvex;

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Builds the nodal matrix of the netlist with the simulator's own assembly (not timed), then
// times CHOLMOD alone: analyse, factorise, solve.
double bareCholmodSeconds(const std::string& path, double& peakFactorMiB)
{
    sim::NetlistText text;
    std::string error;
    if (!text.loadFile(path, error)) return -1;
    sim::Circuit circuit;
    sim::parseNetlist(text, circuit);
    sim::ParamEvaluator evaluator(circuit);
    evaluator.applyToElements(circuit);
    const sim::UnknownMap map = sim::buildUnknownMap(circuit, true);
    sim::MnaSystem<double> system;
    system.build(circuit, map);
    system.assemble(circuit, map, sim::AnalysisPoint{true, 0}, true);
    const sim::SparsePattern& p = system.pattern();

    cholmod_common c;
    cholmod_start(&c);
    cholmod_sparse a;
    std::memset(&a, 0, sizeof a);
    a.nrow = a.ncol = p.n;
    a.nzmax = p.nonZeros();
    a.p = const_cast<int*>(p.colPtr.data());
    a.i = const_cast<int*>(p.rowIdx.data());
    a.x = system.values.data();
    a.stype = -1;
    a.itype = CHOLMOD_INT;
    a.xtype = CHOLMOD_REAL;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = a.packed = 1;
    cholmod_dense b;
    std::memset(&b, 0, sizeof b);
    b.nrow = b.d = b.nzmax = p.n;
    b.ncol = 1;
    b.x = system.rhs.data();
    b.xtype = CHOLMOD_REAL;
    b.dtype = CHOLMOD_DOUBLE;
    const auto start = std::chrono::steady_clock::now();
    cholmod_factor* l = cholmod_analyze(&a, &c);
    cholmod_factorize(&a, l, &c);
    cholmod_dense* x = cholmod_solve(CHOLMOD_A, l, &b, &c);
    const double elapsed = seconds(start);
    peakFactorMiB = c.memory_usage / 1048576.0;
    cholmod_free_dense(&x, &c);
    cholmod_free_factor(&l, &c);
    cholmod_finish(&c);
    return elapsed;
}

// ngspice: the same netlist without the options it does not know, with its KLU solver.
std::string ngspiceVariant(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(".options", 0) == 0) continue;
        if (line == ".op") out << ".options klu\n";
        out << line << "\n";
    }
    const std::string variant = path.substr(0, path.size() - 4) + "_ngspice.cir";
    std::ofstream(variant) << out.str();
    return variant;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    int ngspiceMax = 200;
    for (int k = 1; k < argc; ++k) {
        if (std::string(argv[k]) == "--ngspice-max" && k + 1 < argc) ngspiceMax = std::atoi(argv[++k]);
        else sizes.push_back(std::atoi(argv[k]));
    }
    if (sizes.empty()) sizes = {100, 200, 500, 1000};
    const auto dir = std::filesystem::temp_directory_path() / "korvex_bench_sim_dc";
    std::filesystem::create_directories(dir);
    const bool haveNgspice = std::system("command -v ngspice >/dev/null 2>&1") == 0;

    std::printf("%6s %10s %12s %10s %12s %10s %12s %12s %10s\n", "N", "unknowns", "korvex-sim", "peak MiB", "bare CHOLMOD",
                "ratio", "ngspice", "speed-up", "status");
    for (int n : sizes) {
        const std::string netlist = (dir / ("dc_" + std::to_string(n) + ".cir")).string();
        korvex::bench::writeDcMeshNetlist(netlist, n);
        const bench::ProcessRun ours = bench::runProcess({bench::simulatorPath().c_str(), "-b", netlist}, 3600);
        double factorMiB = 0;
        const double bare = bareCholmodSeconds(netlist, factorMiB);
        std::string ngText = "skipped", speedText = "-";
        if (haveNgspice && n <= ngspiceMax) {
            const std::string variant = ngspiceVariant(netlist);
            const bench::ProcessRun ng = bench::runProcess({"ngspice", "-b", "-r", variant + ".raw", variant}, 600);
            char text[64];
            if (ng.finished && ng.exitCode == 0) {
                std::snprintf(text, sizeof text, "%.2f s", ng.wallSeconds);
                ngText = text;
                std::snprintf(text, sizeof text, "%.0fx", ng.wallSeconds / ours.wallSeconds);
                speedText = text;
            } else {
                ngText = ng.finished ? "failed" : "> 600 s";
                std::snprintf(text, sizeof text, "> %.0fx", 600 / ours.wallSeconds);
                if (!ng.finished) speedText = text;
            }
        } else if (!haveNgspice) {
            ngText = "absent";
        }
        std::printf("%6d %10d %10.2f s %10.0f %10.2f s %9.2fx %12s %12s %10s\n", n, 2 * n * n, ours.wallSeconds, ours.peakMiB,
                    bare, ours.wallSeconds / bare, ngText.c_str(), speedText.c_str(), ours.exitCode == 0 ? "ok" : "FAILED");
        std::fflush(stdout);
    }
    std::printf("ratio = korvex-sim end to end / bare CHOLMOD (target <= 3 at N = 1000); speed-up = ngspice / korvex-sim (target >= 100 at N = 200)\n");
    return 0;
}
