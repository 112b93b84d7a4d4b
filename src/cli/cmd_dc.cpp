// korvex-cli dc PROJECT.sav: mesh, DC netlist, simulator, voltage and current maps.
#include <algorithm>
#include <cstdio>

#include "jobs/board_checks.h"
#include "cli_session.h"
#include "jobs/commands.h"
#include "quantity.h"
#include "result_report.h"

namespace korvex::cli {

namespace {

// The DC netlist scales the copper resistance with the temperature raster, which
// a `thermal --save` stores in the project: say so when it is not all ambient.
void NoteStoredTemperatures(const SimMatrix& b)
{
    if (b.TemperatureMatrix == nullptr) return;
    double hottest = b.TAmbient;
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y)
            for (int l = 0; l < b.LayerCount; ++l) hottest = std::max<double>(hottest, b.TemperatureMatrix[x][y][l]);
    if (hottest > b.TAmbient)
        std::fprintf(stderr,
                     "korvex-cli: note: the copper resistance uses the temperatures stored in the project "
                     "(up to %s, ambient %s)\n",
                     korvex::cli::FormatQuantity(hottest, "°C").c_str(),
                     korvex::cli::FormatQuantity(b.TAmbient, "°C").c_str());
}

const KorvexCommand kDc("dc", "Simulate the DC voltage drop and current density", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        std::string reason;
        if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
        if (reason = korvex::CheckDcConnections(s.Board); !reason.empty()) return Refuse(reason);
        NoteStoredTemperatures(s.Board);
        s.MapQuantities = {korvex::cli::MapQuantity::Voltage, korvex::cli::MapQuantity::CurrentDensity};
        return s.MeshAndRun(CommandSimulateElectrical, [&s, o] {
            korvex::cli::ResultReport report("dc", o->Project);
            report.AddRasterRanges(s.Board, s.Board.VoltageMatrix, "Voltage", "voltage", "V");
            report.AddLayerRanges(s.Board, "CurrentDensity", "current density", "A/mm²", korvex::cli::DcCurrentDensity);
            report.AddViaCurrents(s.Board);
            report.Print(o->Json);
        });
    };
});
}  // namespace

}  // namespace korvex::cli
