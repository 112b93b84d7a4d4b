// korvex-cli ac PROJECT.sav --mode ...: every AC analysis; curves as CSV, maps as bitmaps.
#include <map>

#include "cli_session.h"
#include "cli_summary.h"
#include "diagram/diagram_csv.h"
#include "jobs/commands.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {
const std::map<std::string, uint32_t> kModes{
    {"zin", AC_MODE_ZIN_OF_PORTS},
    {"s21", AC_MODE_S21},
    {"noise", AC_MODE_NOISE_TRANSFER},
    {"current-noise", AC_MODE_CURRENT_NOISE_TRANSFER},
    {"z-at", AC_MODE_Z_AT_F},
    {"j-at", AC_MODE_CURRENT_DENSITY_AT_F},
    {"vnoise-at", AC_MODE_VOLTAGE_NOISE_AT_F},
};

struct AcOptions {
    CliOptions common;
    std::string mode = "zin";
    uint32_t source = 0;
    uint32_t termination = 1;
    double frequency = 0;
};

const KorvexCommand kAc("ac", "Simulate an AC analysis of the planes (Zin, S21, noise, maps at one frequency)",
                        [](CLI::App& sub) {
    auto o = std::make_shared<AcOptions>();
    AddCommonOptions(sub, o->common, true);
    sub.add_option("--mode", o->mode, "zin | s21 | noise | current-noise | z-at | j-at | vnoise-at")
        ->check(CLI::IsMember({"zin", "s21", "noise", "current-noise", "z-at", "j-at", "vnoise-at"}));
    sub.add_option("--source", o->source, "ID of the source port (default 0)");
    sub.add_option("--termination", o->termination, "ID of the terminating port (default 1)");
    sub.add_option("--freq", o->frequency, "Frequency of the one-frequency analyses in Hz (default: the settings')")
        ->check(CLI::PositiveNumber);
    return [o]() {
        CliSession s(o->common);
        std::string reason;
        if (s.Open(&reason) != 0) return Refuse(reason);
        if (o->frequency > 0) s.SettingsRecord.ZinDistributionFrequency = o->frequency;
        AcJob job;
        job.Mode = kModes.at(o->mode);
        job.SourcePort = o->source;
        job.TerminationPort = o->termination;
        if (s.BuildMesh(&reason) != 0) return Refuse(reason);
        const JobOutcome outcome = RunExclusive([&] { return CommandSimulateAc(s.Environment(), job); });
        if (!outcome.Success) {
            const AcCommandRefusal& refusal = LastAcRefusal();
            if (!refusal.Caption.empty()) return Refuse(refusal.Caption + ": " + refusal.Text);
            return s.Failed(outcome);
        }
        const std::string at = FloatToChar(static_cast<float>(s.SettingsRecord.ZinDistributionFrequency)) + "Hz";
        switch (job.Mode) {
        case AC_MODE_Z_AT_F: PrintLayerRanges(s.Board, s.Board.ZinMatrix, ("|Z| at " + at).c_str(), "Ohm"); break;
        case AC_MODE_CURRENT_DENSITY_AT_F:
            PrintLayerRanges(s.Board, s.Board.CurrentDensityMatrix, ("current at " + at).c_str(), "A");
            break;
        case AC_MODE_VOLTAGE_NOISE_AT_F:
            PrintLayerRanges(s.Board, s.Board.VoltageMatrix, ("voltage noise at " + at).c_str(), "V");
            break;
        default: PrintCurves(s.DiagramRecord); break;
        }
        if (!o->common.Csv.empty()) {
            if (SaveDiagramCurvesCsv(&s.DiagramRecord, kDiagramDataCurves, o->common.Csv.c_str(), &reason) != 0)
                return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: curves written to %s\n", o->common.Csv.c_str());
        }
        return s.Finish();
    };
});
}  // namespace

}  // namespace korvex::cli
