#pragma once
// Headless commands: what the desktop's command table and the command line
// both call. Each writes its netlist into the job's work folder and runs the
// job on the calling thread; JobRunner runs one on a worker thread, and
// RunExclusive runs one on the calling thread, each keeping to one job at a time.
#include <cstdint>
#include <functional>
#include <string>

#include "jobs/simulation_job.h"
#include "netlist/ac_job.h"

namespace korvex {

struct MeshBuildReport;

// "Create Mesh": the adaptive mesh of the board with the job's settings, built
// apart from the board's mesh and swapped in on success (or left in the
// outcome's results with env.DeferResults). A cancelled build leaves the mesh
// as it was.
JobOutcome CommandCreateMeshJob(const JobEnvironment& env, MeshBuildReport* report);
// The same as 0, or -1 with the reason.
int CommandCreateMesh(const JobEnvironment& env, MeshBuildReport* report, std::string* reason);

// "Simulate Electrical Mesh" / "Simulate Thermal Mesh": netlist, simulator,
// results. Refused without a mesh.
JobOutcome CommandSimulateElectrical(const JobEnvironment& env);
JobOutcome CommandSimulateThermal(const JobEnvironment& env);

// Every AC analysis. The analyses without a port dialog (Zin of ports, Z,
// current density and voltage noise at one frequency) first check the layer
// stack; such a refusal carries the text the desktop shows as the outcome's
// Reason and its caption as Caption.
JobOutcome CommandSimulateAc(const JobEnvironment& env, const AcJob& job);

// "Create BMPs": the five bitmaps per layer into `folder` (empty: the work folder).
JobOutcome CommandCreateBMPs(const JobEnvironment& env, const std::string& folder);

// Runs a command on the calling thread holding the job slot; refused with a
// reason when another job runs.
JobOutcome RunExclusive(const std::function<JobOutcome()>& command);

}  // namespace korvex
