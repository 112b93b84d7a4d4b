// korvex-cli dc PROJECT.sav: mesh, DC netlist, simulator, voltage and current maps.
#include "cli_session.h"
#include "cli_summary.h"
#include "jobs/commands.h"

namespace {
const KorvexCommand kDc("dc", "Simulate the DC voltage drop and current density", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        std::string reason;
        if (s.Open(&reason) != 0 || s.BuildMesh(&reason) != 0) return Refuse(reason);
        const JobOutcome outcome = RunExclusive([&] { return CommandSimulateElectrical(s.Environment()); });
        if (!outcome.Success) return s.Failed(outcome);
        PrintLayerRanges(s.Board, s.Board.VoltageMatrix, "voltage", "V");
        PrintLayerRanges(s.Board, s.Board.CurrentDensityMatrix, "current", "A");
        PrintViaCurrents(s.Board);
        return s.Finish();
    };
});
}  // namespace
