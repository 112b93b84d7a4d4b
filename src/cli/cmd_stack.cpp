// korvex-cli stack BOARD.sav --layer K [--copper 35um] [--dielectric 1.5mm]
//   [--er 4.4] [--df 0.02]: one layer of the stack (K = 1 is "Layer1"; the
//   dielectric, Er and Df are those between layer K and K+1);
// korvex-cli stack BOARD.sav --materials KEY=VALUE ...: the board's material
//   constants by their field names.
#include <cmath>
#include <cstdio>

#include "board/record_layout.h"
#include "command_registry.h"
#include "project_io.h"
#include "quantity.h"
#include "record_fields.h"

namespace korvex::cli {
namespace {

const char* const kMaterialFields[] = {
    "ElectricalConductivity", "TemperatureCoefficient", "ThermalConductivityCopper", "ThermalConductivityFR4XY",
    "ThermalConductivityFR4Z", "Alpha", "Epsilon", "TAmbient",
};

struct StackOptions {
    std::string path;
    int layer = 0;
    double copper = NAN, dielectric = NAN, er = NAN, df = NAN;
    std::vector<std::string> materials;
};

std::string ChangeStack(const StackOptions& o, SimMatrix& b)
{
    const bool layerValues = !std::isnan(o.copper) || !std::isnan(o.dielectric) || !std::isnan(o.er) || !std::isnan(o.df);
    if (!layerValues && o.materials.empty()) return "nothing to change: give --layer with values, or --materials";
    if (layerValues) {
        if (o.layer < 1 || o.layer > b.LayerCount)
            return "--layer must lie in 1 ... " + std::to_string(b.LayerCount) + " for this board";
        const int l = o.layer - 1;
        const bool dielectric = !std::isnan(o.dielectric) || !std::isnan(o.er) || !std::isnan(o.df);
        if (dielectric && o.layer == b.LayerCount)
            return "Layer" + std::to_string(o.layer) + " is the last layer: no dielectric follows it";
        if (!std::isnan(o.copper)) b.CopperThickness[l] = static_cast<float>(o.copper);
        if (!std::isnan(o.dielectric)) b.SizeZ[l] = static_cast<float>(o.dielectric);
        if (!std::isnan(o.er)) b.Er[l] = static_cast<float>(o.er);
        if (!std::isnan(o.df)) b.Df[l] = static_cast<float>(o.df);
    }
    for (const std::string& m : o.materials) {
        const std::string key = m.substr(0, m.find('='));
        bool allowed = false;
        for (const char* name : kMaterialFields) allowed = allowed || FindField(SimMatrixHeaderLayout(), key) == FindField(SimMatrixHeaderLayout(), name);
        if (!allowed) {
            std::string names;
            for (const char* name : kMaterialFields) names += std::string(names.empty() ? "" : ", ") + name;
            return "--materials: " + key + " is no material constant (" + names + ")";
        }
        std::string why;
        if (!SetField(SimMatrixHeaderLayout(), &b, m, &why)) return "--materials: " + why;
    }
    return {};
}

const KorvexCommand kStack("stack", "Set the layer stack and the board's material constants", [](CLI::App& sub) {
    auto o = std::make_shared<StackOptions>();
    sub.add_option("BOARD", o->path, "Project file (.sav)")->required();
    sub.add_option("--layer", o->layer, "Layer K, 1 ... LayerCount (Layer1 is the top)");
    AddQuantityOption(sub, "--copper", o->copper, "m", "Copper thickness of layer K", 1e-7, 1e-2);
    AddQuantityOption(sub, "--dielectric", o->dielectric, "m", "Dielectric thickness below layer K", 1e-6, 0.1);
    AddQuantityOption(sub, "--er", o->er, "", "Relative permittivity of that dielectric", 1, 1000);
    AddQuantityOption(sub, "--df", o->df, "", "Dissipation factor of that dielectric", 0, 1);
    sub.add_option("--materials", o->materials,
                   "KEY=VALUE with the keys ElectricalConductivity, TemperatureCoefficient, "
                   "ThermalConductivityCopper, ThermalConductivityFR4XY, ThermalConductivityFR4Z, Alpha, Epsilon, TAmbient");
    return [o]() {
        const int status = ChangeProject(o->path, [&](korvex::Project& p) { return ChangeStack(*o, p.Board()); });
        if (status == 0) std::printf("Layer stack of %s changed\n", o->path.c_str());
        return status;
    };
});

}  // namespace
}  // namespace korvex::cli
