// Writes the example board (CreateExampleBoard) as a compressed project:
//   make_demo_board examples/demo.sav
#include <cstdio>
#include <string>

#include "board/example_board.h"
#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "pdn/cap_database.h"

using namespace korvex;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_board OUT.sav\n");
        return 2;
    }
    SimMatrix board;
    if (CreateExampleBoard(&board) != 0) {
        std::fprintf(stderr, "make_demo_board: not enough memory\n");
        return 1;
    }
    CapDatabase caps;
    InitCapDatabaseCreateSpice(&caps);
    VoltageNoiseTimeParam noise;
    std::string error;
    const int status = SaveProject(argv[1], &board, true, ProjectSections{&caps, &noise}, &error);
    if (status != 0) std::fprintf(stderr, "make_demo_board: %s\n", error.c_str());
    freeSimulationMatrix(&board);
    FreeCapDatabase(&caps);
    return status == 0 ? 0 : 1;
}
