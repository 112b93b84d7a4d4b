// korvex-cli ac PROJECT.sav --mode ...: every AC analysis; curves as CSV, maps as bitmaps.
#include "ac_modes.h"
#include "jobs/board_checks.h"
#include "cli_session.h"
#include "diagram/diagram_csv.h"
#include "jobs/commands.h"
#include "pdn/port_zin_curve.h"
#include "touchstone.h"

#include <mutex>
#include "quantity.h"
#include "result_report.h"

namespace korvex::cli {

namespace {

struct AcOptions {
    CliOptions common;
    std::string mode = "zin";
    uint32_t source = 0;
    uint32_t termination = 1;
    double frequency = 0;
    std::string touchstone;
};

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Zin of the port as Z-parameters with R 1 (the numbers are ohms).
std::string WriteZinTouchstone(const Diagram& diagram, uint32_t port, const std::string& path)
{
    const int slot = FindPortZinCurve(&diagram, port);
    if (slot < 0) return "no Zin curve of port " + std::to_string(port) + " for the Touchstone file";
    korvex::cli::TouchstoneData data;
    data.Parameter = "Z";
    data.Reference = 1;
    {
        std::lock_guard<std::mutex> lock(diagram.Lock);
        const DiagramCurve& c = diagram.Curve[slot];
        data.Comments = {std::string(c.szName) + ": input impedance of port " + std::to_string(port) + " in ohm"};
        for (int k = 0; k < c.PointCount; ++k) {
            data.Frequency.push_back(c.pX[k]);
            data.Values.push_back({{c.pY[k], c.pZ[k]}});
        }
    }
    std::string why;
    return korvex::cli::WriteTouchstone(path, data, &why) ? "" : why;
}

const KorvexCommand kAc("ac", "Simulate an AC analysis of the planes (Zin, S21, noise, maps at one frequency)",
                        [](CLI::App& sub) {
    auto o = std::make_shared<AcOptions>();
    AddCommonOptions(sub, o->common, true);
    sub.add_option("--mode", o->mode, korvex::cli::AcModeNames() + " (or the command numbers; default zin)");
    sub.add_option("--source", o->source, "ID of the source port (default 0)");
    sub.add_option("--termination", o->termination, "ID of the terminating port (default 1)");
    korvex::cli::AddQuantityOption(sub, "--freq", o->frequency, "Hz",
                                   "Frequency of the one-frequency analyses (default: the settings')", 1e-3, 1e15);
    sub.add_option("--touchstone", o->touchstone, "With --mode zin: the Zin of port --source as a Touchstone 1 file (.s1p)");
    return [o]() {
        namespace cli = korvex::cli;
        AcJob job;
        std::string reason;
        if (!cli::ParseAcMode(o->mode, &job.Mode, &reason)) return Refuse(reason);
        if (job.Mode == AC_MODE_CAPACITOR_SPARAMETERS) return Refuse("the capacitor S-parameters run with cap-sim");
        if (!o->touchstone.empty()) {
            if (job.Mode != AC_MODE_ZIN_OF_PORTS)
                return Refuse("--touchstone is written for --mode zin (the S21 analysis computes no S11 and S22 for a .s2p file)");
            if (!EndsWith(o->touchstone, ".s1p")) return Refuse("--touchstone must name a .s1p file");
            o->common.Outputs.push_back(o->touchstone);
        }
        job.SourcePort = o->source;
        job.TerminationPort = o->termination;
        CliSession s(o->common);
        if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
        if (o->frequency > 0) s.SettingsRecord.ZinDistributionFrequency = o->frequency;
        if (reason = korvex::CheckAcPorts(s.Board, job.Mode, job.SourcePort, job.TerminationPort); !reason.empty())
            return Refuse(reason);
        if (s.BuildMesh(&reason) != 0) return s.Stop(reason);
        const JobOutcome outcome =
            s.RunJob([&](const JobEnvironment& env) { return CommandSimulateAc(env, job); });
        if (!outcome.Success) {
            if (!outcome.Caption.empty()) return Refuse(outcome.Caption + ": " + outcome.Reason);
            return s.Failed(outcome);
        }
        const std::string at = cli::FormatQuantity(s.SettingsRecord.ZinDistributionFrequency, "Hz");
        cli::ResultReport report("ac", o->common.Project);
        report.Add("Mode", cli::AcModeName(job.Mode));
        switch (job.Mode) {
        case AC_MODE_Z_AT_F:
            s.MapQuantities = {cli::MapQuantity::Impedance};
            report.Add("Frequency", s.SettingsRecord.ZinDistributionFrequency);
            report.AddRasterRanges(s.Board, s.Board.ZinMatrix, "Impedance", "|Z| at " + at, "Ohm");
            break;
        case AC_MODE_CURRENT_DENSITY_AT_F:
            s.MapQuantities = {cli::MapQuantity::CurrentDensity};
            report.Add("Frequency", s.SettingsRecord.ZinDistributionFrequency);
            report.AddLayerRanges(s.Board, "CurrentDensity", "current density at " + at, "A/mm²",
                                  cli::CurrentDensityFromMagnitude);
            break;
        case AC_MODE_VOLTAGE_NOISE_AT_F:
            s.MapQuantities = {cli::MapQuantity::Voltage};
            report.Add("Frequency", s.SettingsRecord.ZinDistributionFrequency);
            report.AddRasterRanges(s.Board, s.Board.VoltageMatrix, "VoltageNoise", "voltage noise at " + at, "V");
            break;
        default: report.AddCurves(s.DiagramRecord); break;
        }
        report.Print(o->common.Json);
        if (!o->common.Csv.empty()) {
            if (SaveDiagramCurvesCsv(&s.DiagramRecord, kDiagramDataCurves, o->common.Csv.c_str(), &reason) != 0)
                return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: curves written to %s\n", o->common.Csv.c_str());
        }
        if (!o->touchstone.empty()) {
            if (reason = WriteZinTouchstone(s.DiagramRecord, o->source, o->touchstone); !reason.empty()) return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: Touchstone file written to %s\n", o->touchstone.c_str());
        }
        return s.Finish();
    };
});
}  // namespace

}  // namespace korvex::cli
