// korvex-cli netlist PROJECT.sav --kind electrical|thermal|ac [--mode N] [--source ID]
//   [--termination ID] [--freq HZ] -o FILE.cir
// Meshes the project's board with the settings of "Settings.set" in the current
// folder (or the defaults) and writes the netlist that the simulation would run,
// so it can be inspected or edited by hand. The AC modes without a port dialog
// (9094, 9095, 9087, 9090) first check the layer stack and print the refusal.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "board/part_lookup.h"
#include "board/settings_file.h"
#include "ac_modes.h"
#include "jobs/board_checks.h"
#include "command_registry.h"
#include "settings_io.h"
#include "output_guard.h"
#include "mesh/mesh_generation.h"
#include "netlist/ac_job.h"
#include "netlist/ac_preconditions.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "netlist/netlist_thermal.h"
#include "project/project.h"
#include "util/debug_log.h"

namespace korvex::cli {

namespace {

struct Options {
    std::string project;
    std::string kind;
    std::string output;
    std::string mode = "zin";
    bool force = false;
    int64_t source = -1;       // -1: the job record's last choice
    int64_t termination = -1;  // -1: the job record's last choice
    double frequency = -1;     // -1: ZinDistributionFrequency of the settings
};

int Run(const Options& o)
{
    if (o.kind != "electrical" && o.kind != "thermal" && o.kind != "ac")
        return Refuse("--kind must be electrical, thermal or ac");
    uint32_t mode = 0;
    std::string why;
    if (o.kind == "ac" && !korvex::cli::ParseAcMode(o.mode, &mode, &why)) return Refuse(why);
    if (std::string guard = korvex::cli::CheckOutputPath(o.output, {o.project}, o.force, "netlist"); !guard.empty())
        return Refuse(guard);
    korvex::Project project;
    Settings& settings = project.SettingsRecord();
    std::string settingsWhy;  // a missing Settings.set means the defaults; a malformed one a warning
    korvex::cli::LoadSettings(korvex::cli::SettingsPath("", "."), false, &settings, &settingsWhy);
    if (o.frequency >= 0) settings.ZinDistributionFrequency = o.frequency;

    // The log goes to a terminal; scripts see the result line and one-line refusals.
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    const DebugSink previous = SetDebugSink(terminal ? MakeStreamDebugSink(stderr) : DebugSink{});
    struct Restore {
        DebugSink sink;
        ~Restore() { SetDebugSink(sink); }
    } restore{previous};

    if (const Status opened = project.Open(o.project); !opened) return Refuse(opened.Reason());
    SimMatrix& board = project.Board();
    Mesh& mesh = project.MeshRecord();

    AcJob job;
    if (o.kind == "ac") {
        if (const Status allowed = AcPreconditions(&board, mode); !allowed) return Refuse(allowed.Text());
        job = *project.AcJobForMode(mode);
        job.Mode = mode;
        if (o.source >= 0) job.SourcePort = static_cast<uint32_t>(o.source);
        if (o.termination >= 0) job.TerminationPort = static_cast<uint32_t>(o.termination);
        if (why = korvex::CheckAcPorts(board, job.Mode, job.SourcePort, job.TerminationPort); !why.empty())
            return Refuse(why);
    }
    if (CreateMesh(&board, &mesh, nullptr, &settings) != 0)
        return Refuse("the mesh could not be built for " + o.project);

    const std::string path = o.output;
    ElementCounters* counters = &project.Counters();
    const Status written = o.kind == "electrical" ? WriteElectricalNetlist(path.c_str(), &board, &mesh, counters)
                           : o.kind == "thermal"  ? WriteThermalNetlist(path.c_str(), &board, &mesh, &settings, counters)
                                                  : WriteAcNetlist(path.c_str(), &board, &mesh, &settings, &job, counters);
    if (!written) return Refuse(written.Reason());
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    std::printf("Wrote %s netlist %s: %llu bytes, %d mesh nodes on %d layers\n", o.kind.c_str(), path.c_str(),
                static_cast<unsigned long long>(ec ? 0 : bytes), CountNodes(&mesh), board.LayerCount);
    return 0;
}

const KorvexCommand kNetlist{
    "netlist", "Mesh the board and write its DC, thermal or AC netlist", [](CLI::App& sub) -> CommandRun {
        auto o = std::make_shared<Options>();
        sub.add_option("project", o->project, "project file (.sav)")->required();
        sub.add_option("--kind", o->kind, "electrical, thermal or ac")->required();
        sub.add_option("-o,--output", o->output, "netlist file to write")->required();
        sub.add_option("--mode", o->mode, "AC analysis: " + korvex::cli::AcModeNames() +
                                              " (or 9094, 9093, 9089, 9088, 9092, 9095, 9087, 9090; default zin)");
        sub.add_flag("--force", o->force, "Replace a file that is not a KORVEX file");
        sub.add_option("--source", o->source, "ID of the driving port")->check(CLI::NonNegativeNumber);
        sub.add_option("--termination", o->termination, "ID of the terminated port (9093) or capacitor (9092)")
            ->check(CLI::NonNegativeNumber);
        sub.add_option("--freq", o->frequency, "frequency in Hz of the single-frequency modes")
            ->check(CLI::PositiveNumber);
        return [o] { return Run(*o); };
    }};

}  // namespace

}  // namespace korvex::cli
