// korvex-cli ac PROJECT.sav --mode ...: every AC analysis; curves as CSV, maps as bitmaps.
#include "ac_modes.h"
#include "jobs/board_checks.h"
#include "cli_session.h"
#include "diagram/diagram_csv.h"
#include "jobs/commands.h"
#include "pdn/port_zin_curve.h"
#include "touchstone.h"

#include <strings.h>

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

// The two-port from port 1 (the source, driven through 50 ohm) to port 2 (the
// 50 ohm termination): S11 S21 S12 S22, each measured by the simulator.
std::string WriteTwoPortTouchstone(const SimulateSCapacitorData& s, const Diagram& diagram, const AcJob& job,
                                   const std::string& path)
{
    if (s.Points <= 0 || s.S11.size() < static_cast<size_t>(s.Points)) return "the S21 run gave no S-parameters";
    // A simulator that left one out would leave zeros in its place: each must have a curve.
    {
        std::lock_guard<std::mutex> lock(diagram.Lock);
        for (const char* name : {"S11", "S21", "S12", "S22"}) {
            bool found = false;
            for (const DiagramCurve& c : diagram.Curve) found |= c.PointCount > 0 && strncasecmp(c.szName, name, 3) == 0;
            if (!found) return std::string("the S21 run gave no ") + name + " for the Touchstone file";
        }
    }
    korvex::cli::TouchstoneData data;
    data.Parameter = "S";
    data.Reference = 50;
    data.Comments = {"port 1 = PORT" + std::to_string(job.SourcePort) + ", port 2 = PORT" +
                     std::to_string(job.TerminationPort) + ", both 50 ohm"};
    for (int k = 0; k < s.Points; ++k) {
        data.Frequency.push_back(s.Frequency[k]);
        auto& row = data.Values.emplace_back();
        for (const DComplex& v : {s.S11[k], s.S21[k], s.S12[k], s.S22[k]}) row.emplace_back(v.r, v.i);
    }
    std::string why;
    return korvex::cli::WriteTouchstone(path, data, &why) ? "" : why;
}

// Which Touchstone file the mode writes: "" when it is the right one, else why not.
std::string TouchstoneRefusal(uint32_t mode, const std::string& path)
{
    if (mode == AC_MODE_ZIN_OF_PORTS)
        return EndsWith(path, ".s1p") ? "" : "--touchstone with --mode zin writes one port's Zin: name a .s1p file";
    if (mode == AC_MODE_S21)
        return EndsWith(path, ".s2p") ? "" : "--touchstone with --mode s21 writes the two-port S-parameters: name a .s2p file";
    return "--touchstone is written for --mode zin (.s1p) and --mode s21 (.s2p)";
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
    sub.add_option("--touchstone", o->touchstone,
                   "Touchstone 1 file: with --mode zin the Zin of port --source (.s1p), with --mode s21 "
                   "S11 S21 S12 S22 from --source to --termination (.s2p)");
    return [o]() {
        namespace cli = korvex::cli;
        AcJob job;
        std::string reason;
        if (!cli::ParseAcMode(o->mode, &job.Mode, &reason)) return Refuse(reason);
        if (job.Mode == AC_MODE_CAPACITOR_SPARAMETERS) return Refuse("the capacitor S-parameters run with cap-sim");
        if (!o->touchstone.empty()) {
            if (reason = TouchstoneRefusal(job.Mode, o->touchstone); !reason.empty()) return Refuse(reason);
            o->common.Outputs.push_back(o->touchstone);
            job.FullTwoPort = job.Mode == AC_MODE_S21;
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
            reason = job.Mode == AC_MODE_S21 ? WriteTwoPortTouchstone(s.SParameters, s.DiagramRecord, job, o->touchstone)
                                             : WriteZinTouchstone(s.DiagramRecord, o->source, o->touchstone);
            if (!reason.empty()) return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: Touchstone file written to %s\n", o->touchstone.c_str());
        }
        return s.Finish();
    };
});
}  // namespace

}  // namespace korvex::cli
