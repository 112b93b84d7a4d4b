// korvex-cli thermal PROJECT.sav: mesh, thermal netlist, simulator, temperatures.
#include "cli_session.h"
#include "cli_summary.h"
#include "jobs/commands.h"

namespace korvex::cli {

namespace {
const KorvexCommand kThermal("thermal", "Simulate the temperatures of the board and its parts", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        return s.OpenMeshAndRun(CommandSimulateThermal, [&s] {
            PrintLayerRanges(s.Board, s.Board.TemperatureMatrix, "temperature", "°C");
            PrintPartTemperatures(s.Board);
        });
    };
});
}  // namespace

}  // namespace korvex::cli
