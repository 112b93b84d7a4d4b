// korvex-cli mesh PROJECT.sav [--max-order N] [--asymmetric 0|1] [--json] [--dump FILE]:
// builds the mesh over the project's board with the settings of "Settings.set"
// in the current folder (or the defaults), overridden by the options; prints
// the node count after each stage and optionally writes every node.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "command_registry.h"
#include "json_output.h"
#include "settings_io.h"
#include "mesh/mesh_generation.h"
#include "project/project.h"
#include "util/atomic_file.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

namespace korvex::cli {

namespace {

struct Options {
    std::string project;
    int maxOrder = -1;    // -1: from the settings
    int asymmetric = -1;  // -1: from the settings
    bool json = false;
    std::string dump;
};

// Progress on a terminal: one overwritten status line on stderr.
class TerminalProgress : public JobObserver {
public:
    void Progress(std::string_view stage, double fraction) override
    {
        if (fraction >= 0)
            std::fprintf(stderr, "\r%.*s %3.0f%%", int(stage.size()), stage.data(), 100.0 * fraction);
    }
    ~TerminalProgress() override { std::fprintf(stderr, "\r%40s\r", ""); }
};

// One line per node in list order: ID, x, y, OrderX, OrderY, the eight
// neighbour IDs in record order, then bCopper of each layer.
bool WriteDump(const std::string& path, const Mesh& mesh, int layers, std::string* error)
{
    korvex::AtomicFile file(path);
    if (!file.Open(error)) return false;
    std::FILE* out = file.Stream();
    for (const MeshNode* n = GetFirstNode(&mesh); n != nullptr; n = GetNextNode(n)) {
        std::fprintf(out, "%u %u %u %u %u", n->ID, n->x, n->y, n->OrderX, n->OrderY);
        for (int slot = 0; slot < kNeighbourSlots; ++slot) std::fprintf(out, " %u", NeighbourID(n, slot));
        for (int l = 0; l < layers; ++l) std::fprintf(out, " %u", n->bCopper[l]);
        std::fputc('\n', out);
    }
    return file.Commit(error);
}

int Run(const Options& o)
{
    Settings settings;
    std::string settingsWhy;  // a missing Settings.set means the defaults; a malformed one a warning
    korvex::cli::LoadSettings(korvex::cli::SettingsPath("", "."), false, &settings, &settingsWhy);
    if (o.maxOrder >= 0) settings.MaxMeshOrder = static_cast<uint32_t>(o.maxOrder);
    if (o.asymmetric >= 0) settings.AsymmetricMesh = static_cast<uint32_t>(o.asymmetric);
    if (settings.MaxMeshOrder > kLargestMeshOrder)
        return Refuse("Max Mesh Order " + std::to_string(settings.MaxMeshOrder) + " is too large: at most " +
                      std::to_string(kLargestMeshOrder) + " is possible");

    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    // The stage log goes to a terminal; scripts see only the result (and one-line refusals).
    const DebugSink previous = SetDebugSink(terminal ? MakeStreamDebugSink(stderr) : DebugSink{});
    korvex::Project project;
    if (const Status opened = project.Open(o.project); !opened) {
        SetDebugSink(previous);
        return Refuse(opened.Reason());
    }
    const SimMatrix& board = project.Board();
    Mesh& mesh = project.MeshRecord();
    std::string error;
    MeshBuildReport report;
    int status = 0;
    {
        std::unique_ptr<TerminalProgress> progress(terminal ? new TerminalProgress : nullptr);
        status = CreateMesh(&project.Board(), &mesh, progress.get(), &settings, &report);
    }
    SetDebugSink(previous);
    if (status != 0) return Refuse("the mesh could not be built for " + o.project);
    if (!o.dump.empty() && !WriteDump(o.dump, mesh, board.LayerCount, &error))
        return Refuse("cannot write " + o.dump + ": " + error);

    const bool optimised = settings.AsymmetricMesh != 0;
    if (o.json) {
        nlohmann::json out = {{"Project", o.project},
                              {"CountPixelX", board.CountPixelX},
                              {"CountPixelY", board.CountPixelY},
                              {"LayerCount", board.LayerCount},
                              {"MaxMeshOrder", settings.MaxMeshOrder},
                              {"AsymmetricMesh", settings.AsymmetricMesh},
                              {"InitialNodes", report.InitialNodes},
                              {"RefinedNodes", report.RefinedNodes},
                              {"Nodes", CountNodes(&mesh)},
                              {"LastID", mesh.LastID},
                              {"Seconds", report.InitialSeconds + report.RefineSeconds + report.OptimiseSeconds}};
        out["OptimisedNodes"] = optimised ? nlohmann::json(report.OptimisedNodes) : nlohmann::json(nullptr);
        if (!o.dump.empty()) out["Dump"] = o.dump;
        std::cout << JsonText(out) << "\n";
    } else {
        std::printf("Board %u x %u pixels, %d layers; Max Mesh Order %u, Asymmetric Mesh %u\n",
                    board.CountPixelX, board.CountPixelY, board.LayerCount, settings.MaxMeshOrder,
                    settings.AsymmetricMesh);
        std::printf("Initial mesh: %d nodes\n", report.InitialNodes);
        std::printf("Refined mesh: %d nodes\n", report.RefinedNodes);
        if (optimised) std::printf("Optimised mesh: %d nodes\n", report.OptimisedNodes);
        if (!o.dump.empty()) std::printf("Nodes written to %s\n", o.dump.c_str());
    }
    return 0;
}

const KorvexCommand kMesh("mesh", "Build the mesh of a project and report its node counts", [](CLI::App& sub) {
    auto o = std::make_shared<Options>();
    sub.add_option("PROJECT", o->project, "Project file (.sav), plain or compressed")->required();
    sub.add_option("--max-order", o->maxOrder, "Max Mesh Order: initial node side 2^N (0 ... 30)")
        ->check(CLI::Range(0, 1000));
    sub.add_option("--asymmetric", o->asymmetric, "Asymmetric Mesh: merge equal neighbours (0 or 1)")
        ->check(CLI::Range(0, 1));
    sub.add_flag("--json", o->json, "Print the result as one JSON object");
    sub.add_option("--dump", o->dump, "Write one line per node to this file");
    return [o]() { return Run(*o); };
});

}  // namespace

}  // namespace korvex::cli
