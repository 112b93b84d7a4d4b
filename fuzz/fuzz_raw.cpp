// Result files: loading (8-bit and UTF-16 headers), the operating-point and AC checks, and
// every mapper onto a meshed example board, exactly as a job would after a simulator run.
#include <cstdint>
#include <vector>

#include "board/example_board.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_file.h"
#include "raw/raw_reader_ac.h"
#include "raw/raw_reader_op.h"

using namespace korvex;

namespace {
struct Bench {
    SimMatrix board;
    Mesh mesh;
    Settings settings = DefaultSettings();
    Diagram diagram;
    SimulateSCapacitorData sparams;
    Bench()
    {
        InitSimulationMatrix(&board);
        if (CreateExampleBoard(&board) != 0) __builtin_trap();
        InitMesh(&mesh, &board);
        if (CreateMesh(&board, &mesh, nullptr, &settings) != 0) __builtin_trap();
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Bench* bench = new Bench;
    for (bool needCounts : {false, true}) {
        RawFile raw;
        std::string error;
        if (ParseRawFile(std::vector<char>(data, data + size), &raw, needCounts, &error) != 0) continue;
        if (!needCounts && CheckOperatingPointFile(raw, &error) == 0) {
            MapElectricalResults(raw, &bench->board, &bench->mesh);
            MapThermalResults(raw, &bench->board, &bench->mesh);
        }
        if (needCounts && CheckAcFile(raw, &error) == 0) {
            MapZinCurves(raw, &bench->diagram, &bench->settings);
            MapCapacitorSParameters(raw, &bench->sparams);
            MapZDistribution(raw, &bench->mesh);
            MapAcCurrentDensity(raw, &bench->board, &bench->mesh);
            MapVoltageNoise(raw, &bench->mesh);
        }
    }
    return 0;
}
