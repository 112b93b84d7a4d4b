// korvex-cli plot CURVES.csv -o PLOT.png|PLOT.svg [--linear-y]: the magnitude
// of every curve of a curve CSV over frequency (log axes), with grid, legend
// and units.
#include <cstdio>

#include "command_registry.h"
#include "curve_csv.h"
#include "output_guard.h"
#include "quantity.h"

namespace korvex::cli {
namespace {

struct PlotOptions {
    std::string csv, output;
    bool linearY = false, force = false;
};

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const KorvexCommand kPlot("plot", "Draw the curves of a curve CSV as PNG or SVG", [](CLI::App& sub) {
    auto o = std::make_shared<PlotOptions>();
    sub.add_option("CSV", o->csv, "Curves as korvex-cli writes them (--csv)")->required();
    sub.add_option("-o,--output", o->output, "Picture to write: .png or .svg")->required();
    sub.add_flag("--linear-y", o->linearY, "Linear instead of logarithmic value axis");
    sub.add_flag("--force", o->force, "Replace a file that is not a KORVEX file");
    return [o]() {
        const bool svg = EndsWith(o->output, ".svg");
        if (!svg && !EndsWith(o->output, ".png")) return Refuse("-o must name a .png or .svg file");
        if (std::string why = CheckOutputPath(o->output, {o->csv}, o->force, "plot"); !why.empty()) return Refuse(why);
        maps::Plot plot;
        std::string why;
        if (!ReadCurveCsv(o->csv, &plot, &why)) return Refuse(why);
        plot.LogY = !o->linearY;
        plot.Format = [](double v, const std::string& unit) { return FormatQuantity(v, unit == "ohm" ? "Ohm" : unit); };
        if (!(svg ? maps::WritePlotSvg(o->output, plot, &why) : maps::WritePlotPng(o->output, plot, &why)))
            return Refuse(why);
        std::printf("%zu curves drawn into %s\n", plot.Curves.size(), o->output.c_str());
        return 0;
    };
});

}  // namespace
}  // namespace korvex::cli
