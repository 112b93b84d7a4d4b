#pragma once
// What the simulating subcommands of korvex-cli share: the project they work
// on (board, mesh, diagram and the lists a project file carries), the common
// options, the settings and simulator they resolve, and progress on stderr.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/settings.h"
#include "board/voltage_noise_param.h"
#include "board/sim_matrix.h"
#include "command_registry.h"
#include "diagram/diagram.h"
#include "jobs/job_runner.h"
#include "jobs/simulation_job.h"
#include "mesh/mesh_model.h"
#include "pdn/cap_database.h"
#include "map_export.h"
#include "project/project.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

namespace korvex::cli {

struct CliOptions {
    std::string Project;
    std::string WorkDir;       // work files and Settings.set; default: current directory
    std::string SettingsFile;  // a Settings.set to use instead of the work folder's
    std::string Simulator;     // simulator executable to use instead of the settings'
    std::string Csv;           // curves as CSV
    std::string Bmps;          // folder for the five bitmaps per layer
    std::string Maps;          // folder for the PNG maps of the results
    std::string Scale = "layer";  // maps: "layer" or "shared"
    bool Log = false;          // maps: logarithmic impedance and current density
    bool Save = false;         // store the results into the project
    bool Verbose = false;      // the whole debug log on stderr
    bool Json = false;         // the summary as one JSON object
    bool Force = false;        // replace existing files that KORVEX did not write
    std::vector<std::string> Outputs;  // further output files, checked with the others before the run
};

// Adds PROJECT.sav and the options every simulating subcommand takes.
void AddCommonOptions(CLI::App& sub, CliOptions& options, bool withCsv);

// Progress and job log lines on stderr.
class CliObserver : public JobObserver {
public:
    void LogLine(std::string_view line) override;
    void Progress(std::string_view stage, double fraction) override;

private:
    std::string lastStage_;
};

// A simulating subcommand's run: the project it works on (which owns every
// record; the references below are shorthands into it), the options, the job
// runner and the signals that stop it.
struct CliSession {
    CliOptions Options;
    korvex::Project Project;
    SimMatrix& Board;
    Mesh& MeshRecord;
    Settings& SettingsRecord;
    Diagram& DiagramRecord;
    SimulateSCapacitorData& SParameters;
    CapDatabase& Caps;
    VoltageNoiseTimeParam& NoiseParam;
    CliObserver Observer;
    std::vector<korvex::cli::MapQuantity> MapQuantities;  // what --maps draws after the job
    DebugSink PreviousSink;
    korvex::JobRunner Runner{&Observer};

    explicit CliSession(CliOptions options);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Opens the project, loads the settings, finds the simulator, checks the
    // output paths and the placement of every part.
    Status Open();
    // Builds the mesh, reporting node counts on stderr. 0, or -1 with the reason.
    int BuildMesh(std::string* reason);
    JobEnvironment Environment();
    // Runs a job on the session's job runner and swaps its results in. SIGINT
    // or SIGTERM meanwhile cancel it (the simulator's process group is killed)
    // and the outcome says Cancelled; the records stay as they were.
    JobOutcome RunJob(const korvex::JobRunner::Work& work);
    // After a job: bitmaps and the project when asked for. 0, or 1 after printing the reason.
    int Finish();
    // A failed job: the reason and the simulator log's tail on stderr; exit
    // code 1, or 130 / 143 after SIGINT / SIGTERM.
    int Failed(const JobOutcome& outcome);
    // A refusal: exit code 1, or 130 / 143 when a signal stopped the work.
    int Stop(const std::string& reason);
    // The whole road of a simulating subcommand: open, mesh, run the command
    // alone, print the summary, then bitmaps and saving. The exit code.
    int OpenMeshAndRun(const std::function<JobOutcome(const JobEnvironment&)>& command,
                       const std::function<void()>& summary);
    // The same after Open.
    int MeshAndRun(const std::function<JobOutcome(const JobEnvironment&)>& command,
                   const std::function<void()>& summary);
};

}  // namespace korvex::cli
