#include "cli_session.h"

#include <cstdio>
#include <filesystem>

#include "board/bitmap_file.h"
#include "board/project_file.h"
#include "board/settings_file.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "util/atomic_file.h"
#include "util/debug_log.h"

namespace korvex::cli {

namespace fs = std::filesystem;

void AddCommonOptions(CLI::App& sub, CliOptions& o, bool withCsv)
{
    sub.add_option("PROJECT", o.Project, "Project file (.sav)")->required();
    sub.add_option("--workdir", o.WorkDir, "Folder for the work files and Settings.set (default: current folder)");
    sub.add_option("--settings", o.SettingsFile, "Settings.set to use instead of the work folder's");
    sub.add_option("--simulator", o.Simulator, "Simulator executable (default: the settings', else korvex-sim)");
    if (withCsv) sub.add_option("--csv", o.Csv, "Write the curves as CSV");
    sub.add_option("--bmps", o.Bmps, "Write the copper and result bitmaps of every layer into this folder");
    sub.add_flag("--save", o.Save, "Store the results into the project");
    sub.add_flag("--verbose,-v", o.Verbose, "Show the whole debug log on stderr");
}

void CliObserver::LogLine(std::string_view) {}

void CliObserver::Progress(std::string_view stage, double)
{
    if (stage == lastStage_) return;
    lastStage_ = stage;
    std::fprintf(stderr, "korvex-cli: %.*s...\n", static_cast<int>(stage.size()), stage.data());
}

CliSession::CliSession(CliOptions options) : Options(std::move(options))
{
    InitSimulationMatrix(&Board);
    SettingsRecord = DefaultSettings();
    PreviousSink = SetDebugSink(Options.Verbose ? MakeStreamDebugSink(stderr) : DebugSink{});
}

CliSession::~CliSession()
{
    FreeMesh(&MeshRecord);
    freeSimulationMatrix(&Board);
    FreeCapDatabase(&Caps);
    FreeSimulateSCapacitor(&SParameters);
    SetDebugSink(std::move(PreviousSink));
}

int CliSession::Open(std::string* reason)
{
    const ProjectSections sections{&Caps, &NoiseParam};
    if (LoadProject(Options.Project.c_str(), &Board, true, sections, reason) != 1) return -1;
    const std::string folder = Options.WorkDir.empty() ? fs::current_path().string() : Options.WorkDir;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *reason = "work folder " + folder + " does not exist";
        return -1;
    }
    Options.WorkDir = fs::absolute(folder).string();
    if (!Options.SettingsFile.empty()) {
        const fs::path file(Options.SettingsFile);
        if (file.filename() != kSettingsFileName && fs::exists(file)) {
            *reason = "--settings must name a file called " + std::string(kSettingsFileName);
            return -1;
        }
        if (ReadSettingsFile(&SettingsRecord, file.parent_path().empty() ? "." : file.parent_path().string(),
                             reason) != 0)
            return -1;
    } else {
        ReadSettingsFile(&SettingsRecord, Options.WorkDir);  // optional: defaults otherwise
    }
    std::string simulator = Options.Simulator;
    if (simulator.empty()) {
        simulator = SettingsRecord.LTspicePath;
        if (!fs::is_regular_file(simulator, ec)) simulator = DefaultLTspicePath(ProgramFolder());
    }
    if (!fs::is_regular_file(simulator, ec)) {
        *reason = "no simulator found (" + simulator + "); give one with --simulator";
        return -1;
    }
    Options.Simulator = fs::absolute(simulator).string();
    return 0;
}

int CliSession::BuildMesh(std::string* reason)
{
    MeshBuildReport report;
    if (CommandCreateMesh(Environment(), &report, reason) != 0) return -1;
    std::fprintf(stderr, "korvex-cli: mesh: %d initial, %d refined, %d optimised nodes\n", report.InitialNodes,
                 report.RefinedNodes, report.OptimisedNodes);
    return 0;
}

JobEnvironment CliSession::Environment()
{
    JobEnvironment env;
    env.Board = &Board;
    env.Mesh = &MeshRecord;
    env.Settings = &SettingsRecord;
    env.Diagram = &DiagramRecord;
    env.SParameters = &SParameters;
    env.WorkFolder = Options.WorkDir;
    env.Simulator = Options.Simulator;
    env.Observer = &Observer;
    return env;
}

int CliSession::Finish()
{
    std::string error;
    if (!Options.Bmps.empty()) {
        std::error_code ec;
        fs::create_directories(Options.Bmps, ec);
        if (CreateBMPs(&Board, Options.Bmps, &error) != 0) return Refuse(error);
        std::fprintf(stderr, "korvex-cli: bitmaps written to %s\n", Options.Bmps.c_str());
    }
    if (Options.Save) {
        const ProjectSections sections{&Caps, &NoiseParam};
        const bool compressed = IsCompressedProject(Options.Project.c_str());
        if (SaveProject(Options.Project.c_str(), &Board, compressed, sections, &error) != 0) return Refuse(error);
        std::fprintf(stderr, "korvex-cli: results stored in %s\n", Options.Project.c_str());
    }
    return 0;
}

int CliSession::Failed(const JobOutcome& outcome)
{
    if (!outcome.LogTail.empty())
        std::fprintf(stderr, "--- end of %s ---\n%s---\n", outcome.SimulatorLog.c_str(), outcome.LogTail.c_str());
    return Refuse(outcome.Reason);
}

int CliSession::OpenMeshAndRun(const std::function<JobOutcome(const JobEnvironment&)>& command,
                               const std::function<void()>& summary)
{
    std::string reason;
    if (Open(&reason) != 0 || BuildMesh(&reason) != 0) return Refuse(reason);
    const JobOutcome outcome = RunExclusive([&] { return command(Environment()); });
    if (!outcome.Success) return Failed(outcome);
    summary();
    return Finish();
}

}  // namespace korvex::cli
