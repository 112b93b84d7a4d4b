#include "cli_session.h"

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "board/bitmap_file.h"
#include "jobs/board_checks.h"
#include "board/project_file.h"
#include "board/settings_file.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "util/atomic_file.h"
#include "util/debug_log.h"
#include "output_guard.h"
#include "settings_io.h"

namespace korvex::cli {

namespace fs = std::filesystem;

namespace {
// The signal that asked korvex-cli to stop (0: none). Set by the handler,
// read by the thread that waits for the job.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void RememberStopSignal(int signal)
{
    gStopSignal = signal;
}

// SIGINT and SIGTERM stop the running job instead of the process, for as long
// as the session lives.
class StopSignals {
public:
    StopSignals()
    {
        struct sigaction action{};
        action.sa_handler = RememberStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }

private:
    struct sigaction previousInt_{}, previousTerm_{};
};

int StopExitCode()
{
    return gStopSignal != 0 ? 128 + gStopSignal : 0;
}
}  // namespace

void AddCommonOptions(CLI::App& sub, CliOptions& o, bool withCsv)
{
    sub.add_option("PROJECT", o.Project, "Project file (.sav)")->required();
    sub.add_option("--workdir", o.WorkDir, "Folder for the work files and Settings.set (default: current folder)");
    sub.add_option("--settings", o.SettingsFile, "Settings file to use instead of the work folder's Settings.set");
    sub.add_option("--simulator", o.Simulator, "Simulator executable (default: the settings', else korvex-sim)");
    if (withCsv) sub.add_option("--csv", o.Csv, "Write the curves as CSV");
    sub.add_option("--bmps", o.Bmps, "Write the copper and result bitmaps of every layer into this folder");
    sub.add_option("--maps", o.Maps, "Write PNG maps of the results with their legends into this folder");
    sub.add_option("--scale", o.Scale, "Map scale per layer or shared by all layers")
        ->check(CLI::IsMember({"layer", "shared"}));
    sub.add_flag("--log", o.Log, "Logarithmic map scale for impedance and current density");
    sub.add_flag("--save", o.Save, "Store the results into the project");
    sub.add_flag("--verbose,-v", o.Verbose, "Show the whole debug log on stderr");
    sub.add_flag("--json", o.Json, "Print the summary as one JSON object");
    sub.add_flag("--force", o.Force, "Replace existing output files that KORVEX did not write");
}

void CliObserver::LogLine(std::string_view) {}

void CliObserver::Progress(std::string_view stage, double)
{
    if (stage == lastStage_) return;
    lastStage_ = stage;
    std::fprintf(stderr, "korvex-cli: %.*s...\n", static_cast<int>(stage.size()), stage.data());
}

CliSession::CliSession(CliOptions options)
    : Options(std::move(options)),
      Board(Project.Board()),
      MeshRecord(Project.MeshRecord()),
      SettingsRecord(Project.SettingsRecord()),
      DiagramRecord(Project.DiagramRecord()),
      SParameters(Project.SParameters()),
      Caps(Project.Caps()),
      NoiseParam(Project.NoiseParam())
{
    static StopSignals signals;  // from the first session to the end of the process
    PreviousSink = SetDebugSink(Options.Verbose ? MakeStreamDebugSink(stderr) : DebugSink{});
}

CliSession::~CliSession()
{
    SetDebugSink(std::move(PreviousSink));
}

Status CliSession::Open()
{
    if (Status opened = Project.Open(Options.Project); !opened) return opened;
    const std::string folder = Options.WorkDir.empty() ? fs::current_path().string() : Options.WorkDir;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Status::Refused("work folder " + folder + " does not exist");
    Options.WorkDir = fs::absolute(folder).string();
    const std::string settings = korvex::cli::SettingsPath(Options.SettingsFile, Options.WorkDir);
    std::string reason;
    if (!korvex::cli::LoadSettings(settings, !Options.SettingsFile.empty(), &SettingsRecord, &reason))
        return Status::Refused(reason);
    std::string simulator = Options.Simulator;
    if (simulator.empty()) {
        simulator = SettingsRecord.LTspicePath;
        if (!fs::is_regular_file(simulator, ec)) simulator = DefaultLTspicePath(ProgramFolder());
    }
    if (!fs::is_regular_file(simulator, ec))
        return Status::Refused("no simulator found (" + simulator + "); give one with --simulator");
    Options.Simulator = fs::absolute(simulator).string();
    // Outputs are checked now, so that a run is not wasted on a path that cannot be written.
    const std::vector<std::string> inputs{Options.Project, settings};
    std::vector<std::string> outputs = Options.Outputs;
    if (!Options.Csv.empty()) outputs.push_back(Options.Csv);
    for (const std::string& output : outputs)
        if (reason = korvex::cli::CheckOutputPath(output, inputs, Options.Force); !reason.empty())
            return Status::Refused(reason);
    for (const std::string& folder : {Options.Bmps, Options.Maps})
        if (!folder.empty())
            if (reason = korvex::cli::CheckOutputFolder(folder, inputs); !reason.empty())
                return Status::Refused(reason);
    if (reason = korvex::CheckBoardParts(Board); !reason.empty()) return Status::Refused(reason);
    return Status::Ok();
}

int CliSession::BuildMesh(std::string* reason)
{
    MeshBuildReport report;
    Observer.Progress("create mesh", 0.0);
    const JobOutcome outcome = RunJob([&report](const JobEnvironment& env) { return CommandCreateMeshJob(env, &report); });
    if (!outcome.Success) {
        *reason = outcome.Reason;
        return -1;
    }
    std::fprintf(stderr, "korvex-cli: mesh: %d initial, %d refined, %d optimised nodes\n", report.InitialNodes,
                 report.RefinedNodes, report.OptimisedNodes);
    return 0;
}

JobEnvironment CliSession::Environment()
{
    JobEnvironment env = Project.Environment();
    env.WorkFolder = Options.WorkDir;
    env.Simulator = Options.Simulator;
    env.Observer = &Observer;
    // Nothing shows the board while a job runs, and a failed job ends the command unsaved.
    env.MapInPlace = true;
    return env;
}

JobOutcome CliSession::RunJob(const korvex::JobRunner::Work& work)
{
    if (StopExitCode() != 0) return CancelledOutcome();
    std::string reason;
    const JobEnvironment env = Environment();
    if (!Runner.Start(env, work, &reason)) {
        JobOutcome refused;
        refused.Reason = reason;
        return refused;
    }
    while (!Runner.WaitFor(50))
        if (StopExitCode() != 0) Runner.Cancel();
    JobOutcome outcome = Runner.Join();
    // A signal after the job's last check still keeps its results out.
    if (StopExitCode() != 0) {
        Runner.DiscardResults();
        return CancelledOutcome();
    }
    if (outcome.Success) {
        if (const Status applied = Project.ApplyResults(Runner, outcome); !applied) {
            outcome.Success = false;
            outcome.Reason = applied.Reason();
        }
    }
    Runner.DiscardResults();
    return outcome;
}

int CliSession::Stop(const std::string& reason)
{
    if (const int code = StopExitCode(); code != 0) {
        std::fprintf(stderr, "korvex-cli: cancelled\n");
        return code;
    }
    return Refuse(reason);
}

int CliSession::Finish()
{
    // Nothing is written once a stop was asked for.
    if (StopExitCode() != 0) return Stop("");
    std::string error;
    if (!Options.Bmps.empty()) {
        Observer.Progress("write bitmaps", 0.0);
        std::error_code ec;
        fs::create_directories(Options.Bmps, ec);
        if (CreateBMPs(&Board, Options.Bmps, &error) != 0) return Refuse(error);
        std::fprintf(stderr, "korvex-cli: bitmaps written to %s\n", Options.Bmps.c_str());
    }
    if (!Options.Maps.empty() && !MapQuantities.empty()) {
        Observer.Progress("write maps", 0.0);
        const korvex::cli::MapOptions maps{Options.Maps, Options.Scale == "shared", Options.Log};
        if (!korvex::cli::WriteResultMaps(Board, MapQuantities, maps, &error)) return Refuse(error);
        std::fprintf(stderr, "korvex-cli: maps written to %s\n", Options.Maps.c_str());
    }
    if (Options.Save) {
        Observer.Progress("save project", 0.0);
        if (const Status saved = Project.Save(); !saved) return Refuse(saved.Reason());
        std::fprintf(stderr, "korvex-cli: results stored in %s\n", Options.Project.c_str());
    }
    return 0;
}

int CliSession::Failed(const JobOutcome& outcome)
{
    if (outcome.Cancelled || StopExitCode() != 0) return Stop(outcome.Reason);
    if (!outcome.LogTail.empty())
        std::fprintf(stderr, "--- end of %s ---\n%s---\n", outcome.SimulatorLog.c_str(), outcome.LogTail.c_str());
    return Refuse(outcome.Reason);
}

int CliSession::OpenMeshAndRun(const std::function<JobOutcome(const JobEnvironment&)>& command,
                               const std::function<void()>& summary)
{
    if (const Status opened = Open(); !opened) return Refuse(opened.Reason());
    return MeshAndRun(command, summary);
}

int CliSession::MeshAndRun(const std::function<JobOutcome(const JobEnvironment&)>& command,
                           const std::function<void()>& summary)
{
    std::string reason;
    if (BuildMesh(&reason) != 0) return Stop(reason);
    const JobOutcome outcome = RunJob(command);
    if (!outcome.Success) return Failed(outcome);
    summary();
    return Finish();
}

}  // namespace korvex::cli
