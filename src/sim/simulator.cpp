// The simulator run: netlist in, RAW and log out, every error into the log with its line.
#include "simulator.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "analysis.h"
#include "blas_info.h"
#include "huge_pages.h"
#include "netlist_parser.h"
#include "netlist_text.h"
#include "sim_error.h"
#include "sim_log.h"

namespace korvex::sim {

namespace {

std::string withExtension(const std::string& path, const char* extension)
{
    std::filesystem::path p(path);
    p.replace_extension(extension);
    return p.string();
}

}  // namespace

const char* simulatorVersion() { return "0.1"; }

int runSimulator(const std::string& netlistPath, const SimulatorOptions& options)
{
    // Under mpirun every process runs the whole netlist and takes its share of the multigrid
    // solve; only the first one writes the log and the RAW file, the others a private scratch file.
    const bool helperRank = options.mpiRank > 0;
    const std::string rawPath = helperRank ? (std::filesystem::temp_directory_path() /
                                              ("korvex-sim-rank-" + std::to_string(::getpid()) + ".raw")).string()
                                           : withExtension(netlistPath, ".raw");
    const std::string logPath = helperRank ? "/dev/null" : withExtension(netlistPath, ".log");
    SimLog log;
    log.setEcho(options.echo && !helperRank);
    if (!log.open(logPath)) std::fprintf(stderr, "korvex-sim: cannot write log file '%s'\n", logPath.c_str());
    std::error_code ignored;
    std::filesystem::remove(rawPath, ignored);  // a stale result must not pass for this run's
    struct ScratchRemover {
        bool active;
        const std::string& path;
        ~ScratchRemover()
        {
            std::error_code e;
            if (active) std::filesystem::remove(path, e);
        }
    } scratch{helperRank, rawPath};

    StageTimer timer;
    NetlistText text;
    Circuit circuit;
    log.line(std::string("korvex-sim ") + simulatorVersion());
    log.line("Netlist: " + netlistPath);
    if (options.mpiSize > 1) log.line("MPI: " + std::to_string(options.mpiSize) + " processes share the multigrid solve");
    log.line("BLAS: " + blasDescription());
    log.line(std::string("Huge pages for malloc: ") + hugePagesState());
    try {
        std::string error;
        if (!text.loadFile(netlistPath, error)) throw SimError(error);
        const double textTime = timer.lap();
        parseNetlist(text, circuit);
        const size_t lineCount = text.lines().size();
        text.release();  // the circuit holds what is needed from here on
        const double buildTime = timer.lap();
        log.line("Title: " + circuit.title);
        log.line("Parsed " + std::to_string(lineCount) + " lines: " + std::to_string(circuit.elements.size()) +
                 " elements, " + std::to_string(circuit.nodeCount() - 1) + " nodes, " + std::to_string(circuit.params.size()) +
                 " parameters in " + formatSeconds(textTime + buildTime));
        log.line("Reading and splitting lines " + formatSeconds(textTime) + ", building the circuit " + formatSeconds(buildTime));
        if (circuit.options.gshunt > 0) {
            char text[96];
            std::snprintf(text, sizeof text, "Gshunt %g S from every node to ground", circuit.options.gshunt);
            log.line(text);
        }
        AnalysisOptions analysis;
        analysis.solver = options.solver;
        analysis.amgThreshold = options.amgThreshold;
        analysis.supernodalAcThreshold = options.supernodalAcThreshold;
        analysis.amg = options.amg;
        analysis.sweepThreads = options.sweepThreads;
        analysis.utf16 = options.utf16;
        if (circuit.op) runOperatingPoint(circuit, log, analysis, rawPath);
        else runAcAnalysis(circuit, log, analysis, rawPath);
        log.line("Total time " + formatSeconds(timer.total()));
        log.line("Finished: " + rawPath);
        return 0;
    } catch (const SimError& e) {
        std::string message = "Error";
        if (e.line() > 0) message += " on line " + std::to_string(e.line());
        message += ": " + std::string(e.what());
        log.line(message);
        if (e.line() > 0) log.line("  " + std::to_string(e.line()) + ": " + text.originalLine(e.line()));
        if (!log.isOpen()) std::fprintf(stderr, "korvex-sim: %s\n", message.c_str());
    } catch (const std::bad_alloc&) {
        log.line("Error: out of memory");
    } catch (const std::exception& e) {
        log.line(std::string("Error: ") + e.what());
    }
    std::filesystem::remove(rawPath, ignored);
    log.line("Simulation failed; no RAW file written");
    return 1;
}

int simulatorMain(const std::vector<std::string>& args)
{
    SimulatorOptions options;
    std::string netlist;
    for (size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "-b") options.batch = true;
        else if (a == "--utf16") options.utf16 = true;
        else if (a == "-v" || a == "--verbose") options.echo = true;
        else if (a.rfind("--solver=", 0) == 0) {
            if (!parseSolverKind(a.substr(9), options.solver)) {
                std::fprintf(stderr, "korvex-sim: unknown solver '%s' (auto, amg, cholmod, klu, mumps)\n", a.c_str() + 9);
                return 2;
            }
        } else if (a.rfind("--threads=", 0) == 0) {
            char* end = nullptr;
            const long threads = std::strtol(a.c_str() + 10, &end, 10);
            if (end == a.c_str() + 10 || *end || threads < 1 || threads > 2) {
                std::fprintf(stderr, "korvex-sim: --threads takes 1 or 2\n");
                return 2;
            }
            options.sweepThreads = static_cast<int>(threads);
        } else if (a == "-h" || a == "--help") {
            std::printf("usage: korvex-sim [-b] [--utf16] [--solver=auto|amg|cholmod|klu|mumps] [--threads=N] [-v] NETLIST.cir\n"
                        "Solves the netlist and writes NETLIST.raw and NETLIST.log beside it; exit code 0 on\n"
                        "success, non-zero with the reason and the netlist line in the log on any error.\n"
                        "  -b           batch mode (accepted; the simulator never asks questions)\n"
                        "  --utf16      write the RAW header in UTF-16LE\n"
                        "  --solver=S   linear solver: auto (default), amg, cholmod, klu or mumps\n"
                        "  --threads=N  AC frequency points factorised at once: 1 or 2 (default 2 on two cores or more)\n"
                        "  -v           echo the log on stdout\n");
            return 0;
        } else if (a == "--version") {
            std::printf("korvex-sim %s\n", simulatorVersion());
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "korvex-sim: unknown option '%s'\n", a.c_str());
            return 2;
        } else if (netlist.empty()) netlist = a;
        else {
            std::fprintf(stderr, "korvex-sim: only one netlist may be given\n");
            return 2;
        }
    }
    if (launchedByMpirun()) {
        // Every process must take the same road through the solvers: multigrid, which spreads
        // the rows over the processes.
        const MpiWorld world = mpiWorld();
        if (world.size < 1) {
            std::fprintf(stderr, "korvex-sim: started by mpirun, but the multigrid module cannot start MPI\n");
            return 1;
        }
        options.mpiRank = world.rank;
        options.mpiSize = world.size;
        if (world.size > 1 && options.solver == SolverKind::Automatic) options.solver = SolverKind::Amg;
        options.sweepThreads = 1;  // no forked helper beside a running MPI
    }
    if (netlist.empty()) {
        std::fprintf(stderr, "usage: korvex-sim [-b] [--utf16] [--solver=auto|amg|cholmod|klu|mumps] [--threads=N] [-v] NETLIST.cir\n");
        return 2;
    }
    return runSimulator(netlist, options);
}

}  // namespace korvex::sim
