// Settings.set as read from a folder, then meshing a generated board of up to 64 x 64 pixels
// with those settings and writing the electrical, thermal and AC netlists into memory.
// Input: board width and height (see below), layers, part count, AC mode, port and a seed (10 bytes), then
// bytes laid over the start of a default Settings.set (368 bytes).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/board_generator.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "fuzz_support.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_frequency_plan.h"
#include "netlist/ac_job.h"
#include "netlist/ac_preconditions.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "netlist/netlist_thermal.h"
#include "netlist/netlist_writer.h"

using namespace korvex;

namespace {
const uint32_t kAcModes[] = {AC_MODE_ZIN_OF_PORTS, AC_MODE_Z_AT_F, AC_MODE_CURRENT_DENSITY_AT_F, AC_MODE_VOLTAGE_NOISE_AT_F};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10) return 0;
    static const std::vector<uint8_t> defaults = [] {
        const Settings d = DefaultSettings();
        if (WriteSettingsFile(&d, fuzz::ScratchFolder().string()) != 0) __builtin_trap();
        std::ifstream in(fuzz::ScratchFolder() / "Settings.set", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }();
    std::vector<uint8_t> file = defaults;
    std::copy(data + 10, data + std::min(size, 10 + file.size()), file.begin());
    fuzz::AsFile(file.data(), file.size(), "Settings.set");
    Settings settings = DefaultSettings();
    if (ReadSettingsFile(&settings, fuzz::ScratchFolder().string()) != 0) return 0;
    const uint8_t* p = data;
    // Sides grow with the square of their byte: every size from 1 to 64 stays reachable, but most
    // inputs mesh small boards, whose cost is a fraction of a 64 x 64 x 8 one.
    const uint32_t nx = 1 + p[0] * p[0] / 1024, ny = 1 + p[1] * p[1] / 1024;
    const int layers = 1 + p[2] % 8;
    const int parts = p[3] % 12;
    const uint32_t mode = kAcModes[p[4] % 4];
    uint32_t seed = 0;
    std::memcpy(&seed, p + 5, 4);

    SimMatrix board;
    InitSimulationMatrix(&board);
    if (GenerateRandomBoard(&board, seed, nx, ny, layers, parts) != 0) {
        freeSimulationMatrix(&board);
        return 0;
    }
    Mesh mesh;
    InitMesh(&mesh, &board);
    if (settings.MaxMeshOrder <= kLargestMeshOrder && CreateMesh(&board, &mesh, nullptr, &settings) == 0) {
        std::string text;
        korvex::NetlistWriter out;
        out.OpenMemory(&text);
        WriteSpiceElectricalMesh(out, &board, &mesh);
        WriteSpiceThermalMesh(out, &board, &mesh, &settings);
        AcJob job;
        job.Mode = mode;
        job.SourcePort = p[9] % 4;
        // The checks WriteAcNetlist makes before it writes, so that the writer sees what it would see.
        if (CheckAcPreconditions(&board, mode, nullptr) == 0 && CheckAcFrequencyPlan(&settings, mode, nullptr) == 0)
            WriteSpiceAC(out, &board, &mesh, &settings, &job);
    }
    FreeMesh(&mesh);
    freeSimulationMatrix(&board);
    return 0;
}
