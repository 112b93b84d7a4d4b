#pragma once
// Headless commands: what the desktop's command table and the command line
// both call. Each writes its netlist into the job's work folder and runs the
// job synchronously; RunExclusive / StartJobThread keep it to one job at a time.
#include <cstdint>
#include <functional>
#include <string>

#include "jobs/simulation_job.h"
#include "netlist/ac_job.h"

namespace korvex {

struct MeshBuildReport;

// "Create Mesh": the adaptive mesh of the board with the job's settings.
// 0, or -1 with the reason.
int CommandCreateMesh(const JobEnvironment& env, MeshBuildReport* report, std::string* reason);

// "Simulate Electrical Mesh" / "Simulate Thermal Mesh": netlist, simulator,
// results. Refused without a mesh.
JobOutcome CommandSimulateElectrical(const JobEnvironment& env);
JobOutcome CommandSimulateThermal(const JobEnvironment& env);

// Every AC analysis. The analyses without a port dialog (Zin of ports, Z,
// current density and voltage noise at one frequency) first check the layer
// stack; a refusal carries the text and caption the desktop shows.
JobOutcome CommandSimulateAc(const JobEnvironment& env, const AcJob& job);
struct AcCommandRefusal {
    std::string Text;
    std::string Caption;
};
// The refusal of CommandSimulateAc's layer-stack check, if the last call was refused there.
const AcCommandRefusal& LastAcRefusal();

// "Create BMPs": the five bitmaps per layer into `folder` (empty: the work folder).
JobOutcome CommandCreateBMPs(const JobEnvironment& env, const std::string& folder);

// Runs a command on the calling thread holding the job slot; refused with a
// reason when another job runs.
JobOutcome RunExclusive(const std::function<JobOutcome()>& command);

}  // namespace korvex
