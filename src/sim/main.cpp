// korvex-sim entry point.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simulator.h"

namespace {

// A large netlist makes the simulator touch several hundred MiB in fresh allocations; with
// 4 KiB pages the page faults alone cost about as much as parsing the netlist. glibc's malloc
// backs its memory with transparent huge pages only when asked through GLIBC_TUNABLES at
// start-up, so the program starts itself again once with that tunable set. When the exec
// fails the run simply continues with ordinary pages.
void restartWithHugePages(char** argv)
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;  // set already (or by us)
    std::string value = "glibc.malloc.hugetlb=1";
    if (tunables && *tunables) value = std::string(tunables) + ":" + value;
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
}

}  // namespace

int main(int argc, char** argv)
{
    // Past a file-size limit a write fails with EFBIG like on a full disk, and the run reports
    // it and removes its temporary file, instead of dying of the signal.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 0) restartWithHugePages(argv);
    std::vector<std::string> args(argv, argv + argc);
    return korvex::sim::simulatorMain(args);
}
