// korvex-cli thermal PROJECT.sav: mesh, thermal netlist, simulator, temperatures.
#include "cli_session.h"
#include "cli_summary.h"
#include "jobs/commands.h"

namespace {
const KorvexCommand kThermal("thermal", "Simulate the temperatures of the board and its parts", [](CLI::App& sub) {
    auto o = std::make_shared<CliOptions>();
    AddCommonOptions(sub, *o, false);
    return [o]() {
        CliSession s(*o);
        std::string reason;
        if (s.Open(&reason) != 0 || s.BuildMesh(&reason) != 0) return Refuse(reason);
        const JobOutcome outcome = RunExclusive([&] { return CommandSimulateThermal(s.Environment()); });
        if (!outcome.Success) return s.Failed(outcome);
        PrintLayerRanges(s.Board, s.Board.TemperatureMatrix, "temperature", "°C");
        PrintPartTemperatures(s.Board);
        return s.Finish();
    };
});
}  // namespace
