// DC mesh netlists (two layers of N x N nodes): korvex-sim end to end, by default and with
// CHOLMOD, against ngspice on the same netlist and against a bare CHOLMOD process on the same
// matrix, with the peak memory of each process.
//   bench_sim_dc [N ...] [--ngspice-max N] [--repeat R]
// (default N = 100 200 500 1000, ngspice up to 200; korvex-sim by default and the peer are run
// R times, default 3, and their median times reported: wall times on a shared machine swing).
#include <suitesparse/cholmod.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

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

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The peer is a process of its own, so that its peak memory can be set beside korvex-sim's:
// the bench builds the nodal matrix with the simulator's own assembly and writes it to a file;
// `bench_sim_dc --cholmod-peer MATRIX SOLUTION` reads it, runs CHOLMOD (analyse, factorise,
// solve) and writes the solution, its time and CHOLMOD's own peak allocation.
struct MatrixFile {
    int n = 0;
    std::vector<int> colPtr, rowIdx;
    std::vector<double> values, rhs;
};

template <class T>
void writeVector(std::FILE* f, const std::vector<T>& v)
{
    const uint64_t size = v.size();
    std::fwrite(&size, sizeof size, 1, f);
    std::fwrite(v.data(), sizeof(T), v.size(), f);
}

template <class T>
bool readVector(std::FILE* f, std::vector<T>& v)
{
    uint64_t size = 0;
    if (std::fread(&size, sizeof size, 1, f) != 1) return false;
    v.resize(size);
    return std::fread(v.data(), sizeof(T), size, f) == size;
}

// Writes the matrix of the netlist; nodeOfUnknown[u] is the circuit node of unknown u.
bool writeMatrixFile(const std::string& netlist, const std::string& path, std::vector<int>& nodeOfUnknown, int& nodeCount)
{
    sim::NetlistText text;
    std::string error;
    if (!text.loadFile(netlist, error)) return false;
    sim::Circuit circuit;
    sim::parseNetlist(text, circuit);
    text.release();
    sim::ParamEvaluator evaluator(circuit);
    evaluator.applyToElements(circuit);
    const sim::UnknownMap map = sim::buildUnknownMap(circuit, true);
    sim::MnaSystem<double> system;
    system.build(circuit, map);
    system.assemble(circuit, map, sim::AnalysisPoint{true, 0}, true);
    nodeOfUnknown = map.unknownNode;
    nodeCount = circuit.nodeCount();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const sim::SparsePattern& p = system.pattern();
    std::fwrite(&p.n, sizeof p.n, 1, f);
    writeVector(f, p.colPtr);
    writeVector(f, p.rowIdx);
    writeVector(f, system.values);
    writeVector(f, system.rhs);
    return std::fclose(f) == 0;
}

int cholmodPeer(const char* matrixPath, const char* solutionPath)
{
    MatrixFile m;
    std::FILE* in = std::fopen(matrixPath, "rb");
    if (!in || std::fread(&m.n, sizeof m.n, 1, in) != 1 || !readVector(in, m.colPtr) || !readVector(in, m.rowIdx) ||
        !readVector(in, m.values) || !readVector(in, m.rhs))
        return 1;
    std::fclose(in);
    cholmod_common c;
    cholmod_start(&c);
    cholmod_sparse a;
    std::memset(&a, 0, sizeof a);
    a.nrow = a.ncol = m.n;
    a.nzmax = m.rowIdx.size();
    a.p = m.colPtr.data();
    a.i = m.rowIdx.data();
    a.x = m.values.data();
    a.stype = -1;
    a.itype = CHOLMOD_INT;
    a.xtype = CHOLMOD_REAL;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = a.packed = 1;
    cholmod_dense b;
    std::memset(&b, 0, sizeof b);
    b.nrow = b.d = b.nzmax = m.n;
    b.ncol = 1;
    b.x = m.rhs.data();
    b.xtype = CHOLMOD_REAL;
    b.dtype = CHOLMOD_DOUBLE;
    const auto start = std::chrono::steady_clock::now();
    cholmod_factor* l = cholmod_analyze(&a, &c);
    cholmod_factorize(&a, l, &c);
    cholmod_dense* x = cholmod_solve(CHOLMOD_A, l, &b, &c);
    const double elapsed = seconds(start);
    if (!x) return 1;
    std::vector<double> solution(static_cast<const double*>(x->x), static_cast<const double*>(x->x) + m.n);
    const double cholmodMiB = c.memory_usage / 1048576.0;
    cholmod_free_dense(&x, &c);
    cholmod_free_factor(&l, &c);
    cholmod_finish(&c);
    std::FILE* out = std::fopen(solutionPath, "wb");
    if (!out) return 1;
    std::fwrite(&elapsed, sizeof elapsed, 1, out);
    std::fwrite(&cholmodMiB, sizeof cholmodMiB, 1, out);
    writeVector(out, solution);
    return std::fclose(out) == 0 ? 0 : 1;
}

struct PeerRun {
    bench::ProcessRun process;
    double solveSeconds = -1;      // analyse + factorise + solve inside the peer
    double cholmodMiB = 0;         // CHOLMOD's own peak allocation
    std::vector<double> voltages;  // voltage of circuit node k + 1
};

PeerRun runCholmodPeer(const std::string& netlist)
{
    PeerRun peer;
    const std::string base = netlist.substr(0, netlist.size() - 4);
    const std::string matrixPath = base + ".matrix", solutionPath = base + ".solution";
    std::vector<int> nodeOfUnknown;
    int nodeCount = 0;
    if (!writeMatrixFile(netlist, matrixPath, nodeOfUnknown, nodeCount)) return peer;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    peer.process = bench::runProcess({self, "--cholmod-peer", matrixPath, solutionPath}, 3600, "/dev/null",
                                     bench::kSimulatorEnvironment);
    std::filesystem::remove(matrixPath, error);
    std::FILE* in = std::fopen(solutionPath.c_str(), "rb");
    std::vector<double> solution;
    if (!in || std::fread(&peer.solveSeconds, sizeof(double), 1, in) != 1 || std::fread(&peer.cholmodMiB, sizeof(double), 1, in) != 1 ||
        !readVector(in, solution) || solution.size() != nodeOfUnknown.size()) {
        if (in) std::fclose(in);
        peer.solveSeconds = -1;
        return peer;
    }
    std::fclose(in);
    std::filesystem::remove(solutionPath, error);
    peer.voltages.assign(static_cast<size_t>(nodeCount - 1), 0.0);
    for (size_t u = 0; u < solution.size(); ++u)
        if (nodeOfUnknown[u] > 0) peer.voltages[nodeOfUnknown[u] - 1] = solution[u];
    return peer;
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
    if (argc == 4 && std::string(argv[1]) == "--cholmod-peer") return cholmodPeer(argv[2], argv[3]);
    korvex::bench::printBlas();
    std::vector<int> sizes;
    int ngspiceMax = 200, repeat = 3;
    for (int k = 1; k < argc; ++k) {
        const std::string argument = argv[k];
        if (argument == "--ngspice-max" && k + 1 < argc) {
            ngspiceMax = std::atoi(argv[++k]);
        } else if (argument == "--repeat" && k + 1 < argc && std::atoi(argv[k + 1]) > 0) {
            repeat = std::atoi(argv[++k]);
        } else if (const int n = std::atoi(argument.c_str()); n > 0) {
            sizes.push_back(n);
        } else {
            std::fprintf(stderr, "usage: bench_sim_dc [N ...] [--ngspice-max N] [--repeat R]\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {100, 200, 500, 1000};
    const auto dir = std::filesystem::temp_directory_path() / ("korvex_bench_sim_dc_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const bool haveNgspice = std::system("command -v ngspice >/dev/null 2>&1") == 0;

    std::printf("%6s %9s | %9s %7s %8s %7s | %9s %8s %7s | %9s %8s %9s | %7s %7s | %8s %9s | %s\n", "N", "unknowns", "auto",
                "cpu s", "peak MiB", "max dV", "cholmod", "peak MiB", "max dV", "peer", "peak MiB", "own MiB", "mem A", "mem C",
                "ngspice", "speed-up", "status");
    for (int n : sizes) {
        const std::string netlist = (dir / ("dc_" + std::to_string(n) + ".cir")).string();
        const std::string raw = netlist.substr(0, netlist.size() - 4) + ".raw";
        korvex::bench::writeDcMeshNetlist(netlist, n);
        // One heavy process at a time: korvex-sim by default (multigrid from 150,000 unknowns),
        // korvex-sim with CHOLMOD, then the bare CHOLMOD peer.
        // Each run starts with the files of the one before on disk, not being written back meanwhile.
        std::vector<PeerRun> peers;
        std::vector<bench::ProcessRun> automatics;
        for (int r = 0; r < repeat; ++r) {
            ::sync();
            peers.push_back(runCholmodPeer(netlist));
        }
        for (int r = 0; r < repeat; ++r) {
            ::sync();
            automatics.push_back(
                bench::runProcess({bench::simulatorPath().c_str(), "-b", netlist}, 3600, "/dev/null", bench::kSimulatorEnvironment));
        }
        std::sort(peers.begin(), peers.end(), [](const PeerRun& a, const PeerRun& b) { return a.solveSeconds < b.solveSeconds; });
        std::sort(automatics.begin(), automatics.end(),
                  [](const bench::ProcessRun& a, const bench::ProcessRun& b) { return a.wallSeconds < b.wallSeconds; });
        bool allRan = true;
        for (const PeerRun& run : peers) allRan = allRan && run.solveSeconds >= 0;
        for (const bench::ProcessRun& run : automatics) allRan = allRan && run.finished && run.exitCode == 0;
        const PeerRun& peer = peers[peers.size() / 2];
        const bench::ProcessRun& automatic = automatics[automatics.size() / 2];
        const double deviationAuto = deviationFrom(raw, peer.voltages);
        ::sync();
        const bench::ProcessRun direct = bench::runProcess({bench::simulatorPath().c_str(), "-b", "--solver=cholmod", netlist}, 3600,
                                                           "/dev/null", bench::kSimulatorEnvironment);
        const double deviationDirect = deviationFrom(raw, peer.voltages);
        std::string ngText = "skipped", speedText = "-";
        if (haveNgspice && n <= ngspiceMax) {
            const std::string variant = ngspiceVariant(netlist);
            const bench::ProcessRun ng = bench::runProcess({"ngspice", "-b", "-r", variant + ".raw", variant}, 600);
            char text[64];
            if (ng.finished && ng.exitCode == 0) {
                std::snprintf(text, sizeof text, "%.2f s", ng.wallSeconds);
                ngText = text;
                std::snprintf(text, sizeof text, "%.0fx", ng.wallSeconds / automatic.wallSeconds);
                speedText = text;
            } else {
                ngText = ng.finished ? "failed" : "> 600 s";
                std::snprintf(text, sizeof text, "> %.0fx", 600 / automatic.wallSeconds);
                if (!ng.finished) speedText = text;
            }
        } else if (!haveNgspice) {
            ngText = "absent";
        }
        auto good = [](const bench::ProcessRun& run, double deviation) {
            return run.finished && run.exitCode == 0 && deviation >= 0 && deviation < 1e-9;
        };
        const bool ok = allRan && good(automatic, deviationAuto) && good(direct, deviationDirect) && peer.solveSeconds >= 0;
        std::printf("%6d %9d | %7.2f s %7.2f %8.0f %7.1e | %7.2f s %8.0f %7.1e | %7.2f s %8.0f %9.0f | %6.2fx %6.2fx | %8s %9s | %s\n",
                    n, 2 * n * n, automatic.wallSeconds, automatic.cpuSeconds, automatic.peakMiB, deviationAuto, direct.wallSeconds,
                    direct.peakMiB, deviationDirect, peer.solveSeconds, peer.process.peakMiB, peer.cholmodMiB,
                    automatic.peakMiB / peer.process.peakMiB, direct.peakMiB / peer.process.peakMiB, ngText.c_str(),
                    speedText.c_str(), ok ? "ok" : "FAILED");
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    std::printf("median of %d runs for auto and peer; ", repeat);
    std::printf("auto = korvex-sim end to end with its default solver (multigrid CG from 150,000 unknowns), cholmod = korvex-sim "
                "--solver=cholmod, peer = a bare CHOLMOD process on the same matrix (analyse + factorise + solve; its peak is the "
                "process's, own MiB CHOLMOD's own peak allocation); mem A and mem C = peak of korvex-sim (auto, cholmod) / peak of "
                "the peer (target <= 1.3x at N = 1000); max dV = largest node-voltage difference from the peer relative to the "
                "largest voltage (must stay < 1e-9); speed-up = ngspice / korvex-sim auto\n");
    return 0;
}
