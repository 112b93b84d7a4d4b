// korvex-cli dc PROJECT.sav: mesh, DC netlist, simulator, voltage and current maps.
#include "cli_session.h"
#include "cli_summary.h"
#include "jobs/commands.h"

namespace korvex::cli {

namespace {
const KorvexCommand kDc("dc", "Simulate the DC voltage drop and current density", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        return s.OpenMeshAndRun(CommandSimulateElectrical, [&s] {
            PrintLayerRanges(s.Board, s.Board.VoltageMatrix, "voltage", "V");
            PrintLayerRanges(s.Board, s.Board.CurrentDensityMatrix, "current", "A");
            PrintViaCurrents(s.Board);
        });
    };
});
}  // namespace

}  // namespace korvex::cli
