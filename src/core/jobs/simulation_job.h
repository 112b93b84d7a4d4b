#pragma once
// Simulation jobs: run the simulator on a netlist already written, read its
// result file, map the results into the mesh, the parts, the rasters or the
// diagram, and in batch mode delete the work files. The worker bodies run
// synchronously on the calling thread; StartJobThread runs one on a thread of
// its own for the desktop.
#include <functional>
#include <string>

namespace korvex {

struct SimMatrix;
struct Mesh;
struct Settings;
struct Diagram;
struct SimulateSCapacitorData;
struct AcJob;
class JobObserver;

// What a job works on. Defaults are the program-wide records.
struct JobEnvironment {
    korvex::SimMatrix* Board = nullptr;
    korvex::Mesh* Mesh = nullptr;
    korvex::Settings* Settings = nullptr;
    korvex::Diagram* Diagram = nullptr;
    SimulateSCapacitorData* SParameters = nullptr;
    std::string WorkFolder;  // folder of the work files; empty: the current directory
    std::string Simulator;   // simulator executable; empty: gszFolderLTSPICE
    JobObserver* Observer = nullptr;
};

// The program-wide records (gSimMatrix, gMesh, gSettings, gDiagram, gSimulateSCapacitor).
JobEnvironment GlobalJobEnvironment();

struct JobOutcome {
    bool Success = false;
    unsigned Changes = 0;       // JobChange bits of what was mapped
    std::string Reason;         // one line when the job failed or was refused
    std::string LogTail;        // end of the simulator's log after a failed run
    std::string SimulatorLog;   // path of the simulator's log
};

// Base names of the work files.
constexpr char kElectricalBase[] = "spice_electrical";
constexpr char kThermalBase[] = "spice_thermal";
constexpr char kAcBase[] = "spice_ac";

// Path of base + extension in the job's work folder.
std::string WorkFilePath(const JobEnvironment& env, const char* base, const char* extension);

JobOutcome ThreadSpiceElectricalMesh(const JobEnvironment& env);
JobOutcome ThreadSpiceThermalMesh(const JobEnvironment& env);
JobOutcome ThreadSpiceZin(const JobEnvironment& env, const AcJob& job);

// Sets the impedance of every node to 0 on every layer of the board.
int ClearMeshZin(const SimMatrix* board, Mesh* mesh);

// Only one simulation job runs at a time. A JobSlot holds the right to run one
// while it lives; Acquired() is false when another job holds it.
class JobSlot {
public:
    JobSlot();
    ~JobSlot();
    JobSlot(const JobSlot&) = delete;
    JobSlot& operator=(const JobSlot&) = delete;
    bool Acquired() const { return acquired_; }
    // Hands the slot over to a job that outlives this object (a job thread).
    void Release();

private:
    bool acquired_;
};
// True while a job holds the slot (the desktop disables editing meanwhile).
bool IsJobRunning();

// Runs `work` on a detached thread holding the job slot, then calls the
// observer's Finished. False (nothing started) when another job is running.
bool StartJobThread(std::function<JobOutcome()> work, JobObserver* observer);

}  // namespace korvex
