// korvex-cli noise-time PROJECT.sav [--tr S --T S ...] --csv FILE: the voltage
// noise of a periodic load current in the time domain. Simulates the sweep on
// the current's harmonics (Zin of the ports, or the current injected noise
// transfer with --source 1), then writes the current stimulus and the voltage
// response over one period as CSV. The record's fields start from the
// project's [VNTM] values; --save stores them with the changes given.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "cli_session.h"
#include "diagram/diagram_csv.h"
#include "jobs/commands.h"
#include "jobs/pdn_commands.h"
#include "pdn/voltage_noise_time.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

using FieldEdit = std::function<void(VoltageNoiseTimeParam&)>;

struct Options {
    CliOptions common;
    uint32_t drivePort = 0;
    std::vector<FieldEdit> edits;  // in the order given
};

template <class T>
void AddField(CLI::App& sub, Options* o, const char* name, T VoltageNoiseTimeParam::*field, const char* help)
{
    sub.add_option_function<T>(
        name, [o, field](const T& value) { o->edits.push_back([field, value](VoltageNoiseTimeParam& p) { p.*field = value; }); },
        help);
}

void AddFields(CLI::App& sub, Options* o)
{
    using P = VoltageNoiseTimeParam;
    AddField(sub, o, "--tr", &P::tr, "Rise and fall time in s");
    AddField(sub, o, "--T", &P::T, "Period in s");
    AddField(sub, o, "--ton", &P::TON, "On time in s");
    AddField(sub, o, "--amplitude", &P::Amplitude, "Current amplitude in A");
    AddField(sub, o, "--harmonics", &P::nHarmonics, "Number of harmonics (the sweep's points)");
    AddField(sub, o, "--points", &P::Datapoints, "Time points per period");
    AddField(sub, o, "--source", &P::Source, "0: a port's Zin, 1: the current injected noise transfer");
    AddField(sub, o, "--zin-curve", &P::ZinCurve, "Diagram curve of the Zin used with --source 0 (0 to 8)");
    AddField(sub, o, "--noise-curve", &P::NoiseCurve, "Diagram curve of the transfer used with --source 1 (0 to 8)");
    AddField(sub, o, "--gauss", &P::GaussOn, "1: Gaussian edge filter on, 0: off");
    AddField(sub, o, "--gauss-tr", &P::GaussTr, "Width of the edge filter in s");
    AddField(sub, o, "--amplitude-gauss", &P::AmplitudeGauss, "Amplitude of the added Gaussian pulse in A");
    AddField(sub, o, "--twidth", &P::twidth, "Width of the Gaussian pulse in s");
    AddField(sub, o, "--t2", &P::t2, "Delay of the Gaussian pulse in s");
    AddField(sub, o, "--scroll", &P::Scroll, "Time offset in s");
    AddField(sub, o, "--scalex", &P::ScaleX, "Time zoom (only the first 1/ScaleX of the period is computed)");
    AddField(sub, o, "--spectrum", &P::Spectrum, "1: current spectrum, 0: voltage spectrum (diagram curve 9)");
}

// Range of the real parts of a time curve.
void PrintTimeCurve(const Diagram& d, int slot, const char* unit)
{
    std::lock_guard<std::mutex> guard(d.Lock);
    const DiagramCurve& c = d.Curve[slot];
    if (!DiagramCurveHasData(c)) return;
    const auto [lo, hi] = std::minmax_element(c.pY, c.pY + c.PointCount);
    std::printf("%s: %d points from 0 to %ss, %g ... %g %s (peak to peak %g %s)\n", c.szName, c.PointCount,
                FloatToChar(c.pX[c.PointCount - 1]).c_str(), static_cast<double>(*lo), static_cast<double>(*hi), unit,
                static_cast<double>(*hi - *lo), unit);
}

const KorvexCommand kNoiseTime(
    "noise-time", "Voltage noise of a periodic load current over time (sweep on its harmonics)", [](CLI::App& sub) {
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, false);
        sub.add_option("--csv", o->common.Csv, "Write the current stimulus and the voltage response as CSV")
            ->required();
        sub.add_option("--drive-port", o->drivePort, "Port the current is injected at with --source 1 (default 0)");
        AddFields(sub, o.get());
        return [o]() {
            CliSession s(o->common);
            std::string reason;
            if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
            for (const FieldEdit& edit : o->edits) edit(s.NoiseParam);
            VoltageNoiseTimeParam& p = s.NoiseParam;
            if (p.Source != 0 && p.Source != 1) return Refuse("--source must be 0 or 1");
            PdnMessage message;
            if (CheckVoltageNoiseTimeParam(&p, &message) != 0) return Refuse(message.Text);
            if (s.BuildMesh(&reason) != 0) return s.Stop(reason);
            Diagram time;
            const JobOutcome outcome =
                s.RunJob([&](const JobEnvironment& env) { return CommandVoltageNoiseTime(env, &p, o->drivePort, &time); });
            if (!outcome.Success) return s.Failed(outcome);
            std::printf("Harmonics: %d of %sHz (period %ss)\n", p.nHarmonics - 1, FloatToChar(1.0f / p.T).c_str(),
                        FloatToChar(p.T).c_str());
            const int used = p.Source == 1 ? p.NoiseCurve : p.ZinCurve;
            std::printf("Response from diagram curve %d \"%s\"\n", used, s.DiagramRecord.Curve[used].szName);
            PrintTimeCurve(time, kTimeCurrentCurve, "A");
            PrintTimeCurve(time, kTimeVoltageCurve, "V");
            if (SaveDiagramCurvesCsv(&time, kDiagramDataCurves, o->common.Csv.c_str(), &reason, "time") != 0)
                return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: time curves written to %s\n", o->common.Csv.c_str());
            return s.Finish();
        };
    });

}  // namespace

}  // namespace korvex::cli
