// korvex-sim entry point.
#include <string>
#include <vector>

#include "simulator.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv, argv + argc);
    return korvex::sim::simulatorMain(args);
}
