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
#include "board/project_file.h"
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

struct MeshedBoard {
    SimMatrix board;
    Mesh mesh;
    ~MeshedBoard()
    {
        FreeMesh(&mesh);
        freeSimulationMatrix(&board);
    }
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
    Settings settings;
    std::string settingsWhy;  // a missing Settings.set means the defaults; a malformed one a warning
    korvex::cli::LoadSettings(korvex::cli::SettingsPath("", "."), false, &settings, &settingsWhy);
    if (o.frequency >= 0) settings.ZinDistributionFrequency = o.frequency;

    // The log goes to a terminal; scripts see the result line and one-line refusals.
    std::string log;
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    const DebugSink stream = terminal ? MakeStreamDebugSink(stderr) : DebugSink{};
    const DebugSink previous = SetDebugSink([&](std::string_view text) {
        log.append(text);
        if (stream) stream(text);
    });
    struct Restore {
        DebugSink sink;
        ~Restore() { SetDebugSink(sink); }
    } restore{previous};

    MeshedBoard m;
    std::string error;
    if (gzLoadSimMatrix(o.project.c_str(), &m.board, &error) != 1)
        return Refuse(error.empty() ? "cannot load " + o.project : error);

    AcJob job;
    if (o.kind == "ac") {
        AcRefusal refusal;
        if (CheckAcPreconditions(&m.board, mode, &refusal) != 0)
            return Refuse(std::string(refusal.Text) + " (" + refusal.Caption + ")");
        job = *AcJobForMode(mode);
        job.Mode = mode;
        if (o.source >= 0) job.SourcePort = static_cast<uint32_t>(o.source);
        if (o.termination >= 0) job.TerminationPort = static_cast<uint32_t>(o.termination);
        if (why = korvex::CheckAcPorts(m.board, job.Mode, job.SourcePort, job.TerminationPort); !why.empty())
            return Refuse(why);
    }
    if (CreateMesh(&m.board, &m.mesh, nullptr, &settings) != 0)
        return Refuse("the mesh could not be built for " + o.project);

    const std::string path = o.output;
    int status;
    if (o.kind == "electrical")
        status = CreateSpiceElectricalMesh(path.c_str(), &m.board, &m.mesh);
    else if (o.kind == "thermal")
        status = CreateSpiceThermalMesh(path.c_str(), &m.board, &m.mesh, &settings);
    else
        status = CreateSpiceAC(path.c_str(), &m.board, &m.mesh, &settings, &job);
    if (status != 0) {
        // The writer's reason is the last line it logged.
        std::string reason = log;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
        const size_t lastLine = reason.find_last_of("\r\n");
        if (lastLine != std::string::npos) reason = reason.substr(lastLine + 1);
        return Refuse(reason.empty() ? "cannot write " + path : reason);
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    std::printf("Wrote %s netlist %s: %llu bytes, %d mesh nodes on %d layers\n", o.kind.c_str(), path.c_str(),
                static_cast<unsigned long long>(ec ? 0 : bytes), CountNodes(&m.mesh), m.board.LayerCount);
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
