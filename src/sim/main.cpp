// korvex-sim entry point.
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simulator.h"

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails with EFBIG like on a full disk, and the run reports
    // it and removes its temporary file, instead of dying of the signal.
    std::signal(SIGXFSZ, SIG_IGN);
    // Blocks of 1 MiB and more get pages of their own, which go back to the system when freed.
    // Left to itself, malloc raises this threshold each time such a block is freed (up to 32
    // MiB), and the netlist's large intermediate arrays freed before the factorisation would
    // stay in the heap, counted in the process's memory beside the factor.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    std::vector<std::string> args(argv, argv + argc);
    return korvex::sim::simulatorMain(args);
}
