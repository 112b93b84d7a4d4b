// korvex-sim entry point.
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
    std::vector<std::string> args(argv, argv + argc);
    return korvex::sim::simulatorMain(args);
}
