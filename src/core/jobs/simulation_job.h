#pragma once
// Simulation jobs: run the simulator on a netlist already written, read its
// result file and map the results into scratch records (rasters, a copy of the
// mesh's nodes, part values, a diagram, S-parameters), and in batch mode
// delete the work files. The board, mesh and diagram are only read; the
// results are swapped in by ApplyJobResults on the owner's thread. A cancel
// request (env.Cancel) is honoured between the stages and kills a running
// simulator. JobRunner (jobs/job_runner.h) runs them on a worker thread.
#include <string>

#include "jobs/job_outcome.h"
#include "util/cancel_token.h"

namespace korvex {

struct SimMatrix;
struct Mesh;
struct Settings;
struct Diagram;
struct SimulateSCapacitorData;
struct AcJob;
struct ElementCounters;
class JobObserver;

// What a job works on. Defaults are the program-wide records.
struct JobEnvironment {
    korvex::SimMatrix* Board = nullptr;
    korvex::Mesh* Mesh = nullptr;
    korvex::Settings* Settings = nullptr;
    korvex::Diagram* Diagram = nullptr;
    SimulateSCapacitorData* SParameters = nullptr;
    ElementCounters* Counters = nullptr;  // netlist element numbers; null: gElementCounters
    std::string WorkFolder;  // folder of the work files; empty: the current directory
    std::string Simulator;   // simulator executable; empty: gszFolderLTSPICE
    JobObserver* Observer = nullptr;
    // Set by whoever may want to stop the job; checked between stages.
    const korvex::CancelToken* Cancel = nullptr;
    // False: the commands swap their results in before they return (the
    // synchronous road). True: they stay in JobOutcome::Results for the owner.
    bool DeferResults = false;
    // True: nothing reads the board's result rasters or the mesh's node results while the job
    // runs, and they are thrown away when it fails (a headless run). The job then maps straight
    // into them instead of into copies of its own, which spares the memory of the copies.
    bool MapInPlace = false;
};

// The program-wide records (gSimMatrix, gMesh, gSettings, gDiagram, gSimulateSCapacitor).
JobEnvironment GlobalJobEnvironment();

// Base names of the work files.
constexpr char kElectricalBase[] = "spice_electrical";
constexpr char kThermalBase[] = "spice_thermal";
constexpr char kAcBase[] = "spice_ac";

// Stage names reported through JobObserver::Progress, in the order they run.
constexpr char kStageWriteNetlist[] = "write netlist";
constexpr char kStageSimulate[] = "simulate";
constexpr char kStageRead[] = "read results";
constexpr char kStageMap[] = "map results";

// Path of base + extension in the job's work folder.
std::string WorkFilePath(const JobEnvironment& env, const char* base, const char* extension);

// The workers: simulator, reading and mapping into scratch records. Unless
// env.DeferResults is set the results are swapped in before they return.
JobOutcome ThreadSpiceElectricalMesh(const JobEnvironment& env);
JobOutcome ThreadSpiceThermalMesh(const JobEnvironment& env);
JobOutcome ThreadSpiceZin(const JobEnvironment& env, const AcJob& job);

// Swaps outcome->Results into env's records and drops them; 0 also when there
// are none, -1 when they no longer fit env (nothing changed then).
int ApplyJobResults(JobOutcome* outcome, const JobEnvironment& env);
// Applies at once unless env.DeferResults; the outcome for the caller.
JobOutcome FinishJob(JobOutcome outcome, const JobEnvironment& env);
// The outcome of a job stopped by a cancel request.
JobOutcome CancelledOutcome();

// Sets the impedance of every node to 0 on every layer of the board.
int ClearMeshZin(const SimMatrix* board, Mesh* mesh);

}  // namespace korvex
