#pragma once
// A project (board, mesh and the records a job fills) in a scratch folder,
// with the real korvex-sim as the simulator.
#include <cstdint>
#include <string>

#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "cli_test_support.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "mesh/mesh_model.h"
#include "pdn/simulate_s_capacitor.h"
#include "project/project.h"

namespace korvex {

// The records are a korvex::Project's; the members name them.
struct JobBench {
    TempFolder folder{"job"};
    Project project;
    SimMatrix& board = project.Board();
    Mesh& mesh = project.MeshRecord();
    Settings& settings = project.SettingsRecord();
    Diagram& diagram = project.DiagramRecord();
    SimulateSCapacitorData& sparams = project.SParameters();
    std::string simulator = KORVEX_SIM;

    // The example board, meshed, with a short AC sweep (24 points in two sub-bands).
    JobBench();
    // An empty board of NX x NY pixels of PITCH metres; BuildMesh once the parts are on.
    JobBench(uint32_t nx, uint32_t ny, int layers, float pitch);
    JobBench(const JobBench&) = delete;
    JobBench& operator=(const JobBench&) = delete;

    JobEnvironment Env();
    void FillLayer(int layer);
    void BuildMesh();
};

// The AC sweep the example benches and projects use: 1e5 .. 1e9 Hz, 24 points, two sub-bands.
void UseShortSweep(Settings* settings);

}  // namespace korvex
