// korvex-sim as a library call: reads NETLIST.cir, writes NETLIST.raw and NETLIST.log
// beside it. Returns the process exit code: 0 on success, 1 on any error (the reason and the
// netlist line are in the log), 2 for bad command-line use.
#pragma once
#include <string>
#include <vector>

#include "linear_solver.h"

namespace korvex::sim {

struct SimulatorOptions {
    bool batch = false;
    bool utf16 = false;
    bool echo = false;  // progress lines to stdout as well
    SolverKind solver = SolverKind::Automatic;
    size_t amgThreshold = 150000;  // unknowns from which a real SPD system is solved by multigrid
    size_t supernodalAcThreshold = 20000;  // unknowns from which a nodal AC system takes the supernodal LDL^T
    AmgSettings amg;
    int mpiRank = 0, mpiSize = 1;  // under mpirun: this process and the number of processes
    int sweepThreads = 0;  // AC frequency points factorised at once; 0: two on a machine with two cores or more
};

int runSimulator(const std::string& netlistPath, const SimulatorOptions& options);

// Parses argv (korvex-sim [-b] [--utf16] [--solver=auto|amg|cholmod|klu|mumps] NETLIST.cir) and runs.
int simulatorMain(const std::vector<std::string>& args);

const char* simulatorVersion();

}  // namespace korvex::sim
