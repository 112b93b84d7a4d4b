// korvex-cli maps PROJECT.sav DIR [--scale layer|shared] [--log] [--quantity ...]:
// PNG maps with legends of the results stored in a project.
#include <cstdio>

#include "command_registry.h"
#include "map_export.h"
#include "output_guard.h"
#include "project_io.h"

namespace korvex::cli {
namespace {

struct MapsOptions {
    std::string project, folder, scale = "layer";
    bool log = false;
    std::vector<std::string> quantities{"voltage", "current-density", "temperature", "impedance"};
};

const KorvexCommand kMaps("maps", "Write PNG maps with legends of the results stored in a project", [](CLI::App& sub) {
    auto o = std::make_shared<MapsOptions>();
    sub.add_option("PROJECT", o->project, "Project file (.sav)")->required();
    sub.add_option("DIR", o->folder, "Folder for the maps")->required();
    sub.add_option("--scale", o->scale, "Scale per layer or shared by all layers")->check(CLI::IsMember({"layer", "shared"}));
    sub.add_flag("--log", o->log, "Logarithmic scale for impedance and current density");
    sub.add_option("--quantity", o->quantities, "voltage, current-density, temperature, impedance (default: all)")
        ->check(CLI::IsMember({"voltage", "current-density", "temperature", "impedance"}));
    return [o]() {
        if (std::string why = CheckOutputFolder(o->folder, {o->project}); !why.empty()) return Refuse(why);
        korvex::Project project;
        if (const int refused = OpenProject(project, o->project); refused != 0) return refused;
        std::string why;
        std::vector<MapQuantity> quantities;
        for (const std::string& q : o->quantities)
            quantities.push_back(q == "voltage"           ? MapQuantity::Voltage
                                 : q == "current-density" ? MapQuantity::CurrentDensity
                                 : q == "temperature"     ? MapQuantity::Temperature
                                                          : MapQuantity::Impedance);
        if (!WriteResultMaps(project.Board(), quantities, {o->folder, o->scale == "shared", o->log}, &why))
            return Refuse(why);
        std::printf("%zu maps written to %s\n", quantities.size() * static_cast<size_t>(project.Board().LayerCount),
                    o->folder.c_str());
        return 0;
    };
});

}  // namespace
}  // namespace korvex::cli
