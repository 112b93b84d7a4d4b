// korvex-cli thermal PROJECT.sav: mesh, thermal netlist, simulator, temperatures.
#include "cli_session.h"
#include "jobs/commands.h"
#include "result_report.h"

namespace korvex::cli {

namespace {
const KorvexCommand kThermal("thermal", "Simulate the temperatures of the board and its parts", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        s.MapQuantities = {korvex::cli::MapQuantity::Temperature};
        return s.OpenMeshAndRun(CommandSimulateThermal, [&s, o] {
            korvex::cli::ResultReport report("thermal", o->Project);
            report.AddRasterRanges(s.Board, s.Board.TemperatureMatrix, "Temperature", "temperature", "°C");
            report.AddPartTemperatures(s.Board);
            report.Print(o->Json);
        });
    };
});
}  // namespace

}  // namespace korvex::cli
