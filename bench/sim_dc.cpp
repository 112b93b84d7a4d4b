// DC mesh netlists (two layers of N x N nodes): korvex-sim end to end against ngspice on the
// same netlist and against a bare CHOLMOD factorise-and-solve of the same matrix.
//   bench_sim_dc [N ...] [--ngspice-max N]   (default N = 100 200 500 1000, ngspice up to 200)
#include <suitesparse/cholmod.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench_blas.h"
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
// times CHOLMOD alone: analyse, factorise, solve. nodeVoltages[k] is the voltage of circuit
// node k + 1 (the order of the RAW file without .save).
double bareCholmodSeconds(const std::string& path, double& peakFactorMiB, std::vector<double>& nodeVoltages)
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
    nodeVoltages.assign(static_cast<size_t>(circuit.nodeCount() - 1), 0.0);
    for (int u = 0; u < map.size; ++u)
        if (map.unknownNode[u] > 0) nodeVoltages[map.unknownNode[u] - 1] = static_cast<const double*>(x->x)[u];
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

// Largest difference of korvex-sim's node voltages (the first variables of its RAW file) from
// the reference, relative to the largest reference voltage; -1 when the file cannot be read.
double deviationFrom(const std::string& rawPath, const std::vector<double>& reference)
{
    std::ifstream in(rawPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t start = bytes.find("Binary:\n");
    if (start == std::string::npos || bytes.size() < start + 8 + 8 * reference.size()) return -1;
    double scale = 0, worst = 0;
    for (size_t k = 0; k < reference.size(); ++k) {
        double v;
        std::memcpy(&v, bytes.data() + start + 8 + 8 * k, sizeof v);
        scale = std::max(scale, std::abs(reference[k]));
        worst = std::max(worst, std::abs(v - reference[k]));
    }
    return scale > 0 ? worst / scale : worst;
}

}  // namespace

int main(int argc, char** argv)
{
    korvex::bench::printBlas();
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

    std::printf("%6s %10s %12s %10s %10s %12s %12s %10s %12s %12s %10s %10s\n", "N", "unknowns", "korvex-sim", "cpu s",
                "peak MiB", "bare CHOLMOD", "CHOLMOD MiB", "ratio", "ngspice", "speed-up", "max dV", "status");
    for (int n : sizes) {
        const std::string netlist = (dir / ("dc_" + std::to_string(n) + ".cir")).string();
        korvex::bench::writeDcMeshNetlist(netlist, n);
        const bench::ProcessRun ours = bench::runProcess({bench::simulatorPath().c_str(), "-b", netlist}, 3600, "/dev/null", bench::kSimulatorEnvironment);
        double factorMiB = 0;
        std::vector<double> reference;
        const double bare = bareCholmodSeconds(netlist, factorMiB, reference);
        const double deviation = deviationFrom(netlist.substr(0, netlist.size() - 4) + ".raw", reference);
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
        std::printf("%6d %10d %10.2f s %10.2f %10.0f %10.2f s %12.0f %9.2fx %12s %12s %10.1e %10s\n", n, 2 * n * n,
                    ours.wallSeconds, ours.cpuSeconds, ours.peakMiB, bare, factorMiB, ours.wallSeconds / bare, ngText.c_str(),
                    speedText.c_str(), deviation, ours.exitCode == 0 && deviation >= 0 && deviation < 1e-9 ? "ok" : "FAILED");
        std::fflush(stdout);
    }
    std::printf("ratio = korvex-sim end to end / bare CHOLMOD analyse+factor+solve (target <= 1/3 at N = 1000); speed-up = ngspice / "
                "korvex-sim (target >= 500 at N = 200); max dV = largest node-voltage difference from CHOLMOD relative to the "
                "largest voltage (must stay < 1e-9); CHOLMOD MiB = CHOLMOD's own peak allocation\n");
    return 0;
}
