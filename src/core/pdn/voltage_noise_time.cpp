#include "pdn/voltage_noise_time.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "board/settings.h"
#include "diagram/diagram.h"
#include "pdn/complex.h"
#include "pdn/port_zin_curve.h"

namespace korvex {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSqrtPi = 1.7724538509055159;
// Curves 0 .. 8 can carry a Zin or noise transfer; 9 is the spectrum itself.
constexpr int kLastSourceCurve = 8;

double Sinc(double x)
{
    if (x == 0) return 1.0;
    return std::sin(kPi * x) / (kPi * x);
}

double ScaleX(const VoltageNoiseTimeParam& p)
{
    return p.ScaleX >= 1.0f ? p.ScaleX : 1.0;
}

// Coefficient c_h of harmonic h of the stimulus current.
DComplex StimulusCoefficient(const VoltageNoiseTimeParam& p, int h)
{
    const double T = p.T;
    const double d = (static_cast<double>(p.TON) + p.tr) / T;
    // Gaussian edge filter normalised to harmonic 1: G(h) / G(1) formed as one
    // exponent, so a wide filter cannot turn into 0 / 0. A width of 0 is the
    // limit of no filtering.
    double filter = 1.0;
    if (p.GaussOn != 0 && p.GaussTr > 0) {
        const double s = kPi * p.GaussTr / (2.0 * T);
        filter = std::exp(-(static_cast<double>(h) * h - 1.0) * s * s);
    }
    const double a = 2.0 * filter * p.Amplitude * d * Sinc(h * d) * Sinc(h * p.tr / T);
    double b = 0;
    if (p.AmplitudeGauss != 0 && p.twidth != 0) {
        const double width = 2.0 * T / (kPi * p.twidth);
        b = (2.0 * p.AmplitudeGauss * kSqrtPi * p.twidth / (2.0 * T)) * std::exp(-(static_cast<double>(h) * h) / (width * width));
    }
    const double phi = h * 2.0 * kPi * (p.TON / 2.0 + p.t2) / T;
    return Cadd(RCmul(b, Complex(std::cos(phi), std::sin(phi))), Complex(a, 0.0));
}

// Point of the samples at frequency h * f0 (nearest, within 1 % of f0 plus the
// float resolution of the frequency), or -1.
int HarmonicPoint(const ZinSamples& samples, double f0, int h, int hint)
{
    const double target = h * f0;
    const double tolerance = 0.01 * f0 + 1e-6 * target;
    auto close = [&](int k) { return std::fabs(samples.Freq[k] - target) <= tolerance; };
    if (hint >= 0 && hint < samples.Size() && close(hint)) return hint;
    int best = -1;
    double bestDistance = tolerance;
    for (int k = 0; k < samples.Size(); ++k) {
        const double distance = std::fabs(samples.Freq[k] - target);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    return best;
}

// Adds amplitude * cos(phase + 2 pi h / T (t_k - t0)) over the computed time points.
void AddHarmonic(std::vector<double>& signal, const VoltageNoiseTimeParam& p, int h, double amplitude, double phase,
                 double t0, int kEnd)
{
    const double T = p.T;
    const int points = static_cast<int>(signal.size());
    for (int k = 0; k < kEnd; ++k) {
        const double t = static_cast<double>(k) * T / points;
        signal[k] += amplitude * std::cos(phase + (2.0 * h * kPi / T) * (t - t0));
    }
}

void WriteTimeCurve(Diagram* diagram, int curve, const VoltageNoiseTimeParam& p, const std::vector<double>& signal)
{
    const int points = static_cast<int>(signal.size());
    for (int k = 0; k < points; ++k)
        SetDataPoint(diagram, curve, k, static_cast<float>(static_cast<double>(k) * p.T / points),
                     static_cast<float>(signal[k]), 0.0f);
}

void EnsureTimeCurves(Diagram* timeDiagram, int points)
{
    if (timeDiagram->Curve[kTimeCurrentCurve].PointCount != points ||
        !DiagramCurveHasData(timeDiagram->Curve[kTimeCurrentCurve]))
        InitDiagramData(timeDiagram, "Current Stimulus", kTimeCurrentCurve, points);
    if (timeDiagram->Curve[kTimeVoltageCurve].PointCount != points ||
        !DiagramCurveHasData(timeDiagram->Curve[kTimeVoltageCurve])) {
        InitDiagramData(timeDiagram, "Voltage Response", kTimeVoltageCurve, points);
        std::lock_guard<std::mutex> guard(timeDiagram->Lock);
        timeDiagram->Curve[kTimeVoltageCurve].bSecondaryAxis = 1;
    }
}

// The selected source curve as samples, or -1 with the reason.
int SelectedSourceCurve(const VoltageNoiseTimeParam& p, const Diagram* mainDiagram, ZinSamples* samples,
                        PdnMessage* message)
{
    const int index = p.Source == 1 ? p.NoiseCurve : p.ZinCurve;
    const char* what = p.Source == 1 ? "noise transfer" : "Zin";
    if (index < 0 || index > kLastSourceCurve) {
        SetPdnMessage(message, "Error", "The %s curve index %d is outside 0 to %d", what, index, kLastSourceCurve);
        return -1;
    }
    if (mainDiagram == nullptr || CopyDiagramCurve(mainDiagram, index, samples) != 0) {
        SetPdnMessage(message, "Error", "There is no %s curve at index %d; simulate first", what, index);
        return -1;
    }
    return 0;
}

}  // namespace

int CheckVoltageNoiseTimeParam(const VoltageNoiseTimeParam* p, PdnMessage* message)
{
    if (p == nullptr) return -1;
    const float values[] = {p->tr, p->T, p->TON, p->Amplitude, p->Scroll, p->ScaleX, p->GaussTr,
                            p->twidth, p->AmplitudeGauss, p->t2};
    for (float v : values)
        if (!std::isfinite(v)) {
            SetPdnMessage(message, "Error", "The noise parameters contain a value that is not a number");
            return -1;
        }
    if (!(p->T > 0)) {
        SetPdnMessage(message, "Error", "The period T must be above 0");
        return -1;
    }
    if (p->Datapoints < 1 || p->Datapoints > kDiagramMaxPoints) {
        SetPdnMessage(message, "Error", "Datapoints must be 1 to %d", kDiagramMaxPoints);
        return -1;
    }
    if (p->nHarmonics < 1 || p->nHarmonics > kDiagramMaxPoints) {
        SetPdnMessage(message, "Error", "n Harmonics must be 1 to %d", kDiagramMaxPoints);
        return -1;
    }
    if (!(static_cast<double>(p->TON) + p->tr > 0)) {
        SetPdnMessage(message, "Error", "TON + tr must be above 0");
        return -1;
    }
    return 0;
}

int InitVoltageNoiseTimeDiagram(VoltageNoiseTimeParam* param, Diagram* timeDiagram)
{
    if (param == nullptr || timeDiagram == nullptr) return -1;
    KillDiagram(timeDiagram);
    InitDiagram(timeDiagram, nullptr);
    {
        std::lock_guard<std::mutex> guard(timeDiagram->Lock);
        timeDiagram->bSecondaryY = 1;
    }
    if (param->Datapoints >= 1 && param->Datapoints <= kDiagramMaxPoints)
        EnsureTimeCurves(timeDiagram, param->Datapoints);
    return UpdateTimeDiagramFromVoltageNoiseObject(param, timeDiagram);
}

int CalculateHarmonics(VoltageNoiseTimeParam* param, Diagram* timeDiagram, Diagram* mainDiagram, PdnMessage* message)
{
    if (param == nullptr || timeDiagram == nullptr) return -1;
    if (CheckVoltageNoiseTimeParam(param, message) != 0) return -1;
    const VoltageNoiseTimeParam& p = *param;
    const int points = p.Datapoints;
    const int harmonics = p.nHarmonics;
    const double f0 = 1.0 / p.T;
    const double t0 = p.Scroll + p.TON / 2.0 + 2.0 * p.tr;
    // Only the shown part of the period is computed; never past the curve.
    const double shown = points / ScaleX(p);
    const int kEnd = std::min(points, static_cast<int>(std::ceil(shown)));

    EnsureTimeCurves(timeDiagram, points);
    const bool spectrumCurve =
        mainDiagram != nullptr && mainDiagram->Curve[kStimulusCurve].PointCount == harmonics;
    if (spectrumCurve)
        for (int h = 0; h < harmonics; ++h) SetDataPoint(mainDiagram, kStimulusCurve, h, h * f0, 0, 0);

    std::vector<double> current(points, 0.0);
    for (int h = 1; h < harmonics; ++h) {
        const DComplex c = StimulusCoefficient(p, h);
        const double amplitude = Cabs(c);
        if (p.Spectrum == 1 && spectrumCurve) SetDataPoint(mainDiagram, kStimulusCurve, h, h * f0, amplitude, 0);
        AddHarmonic(current, p, h, amplitude, Cphase(c), t0, kEnd);
    }
    WriteTimeCurve(timeDiagram, kTimeCurrentCurve, p, current);

    std::vector<double> voltage(points, 0.0);
    ZinSamples source;
    std::vector<int> pointOfHarmonic(harmonics, -1);
    bool haveResponse = SelectedSourceCurve(p, mainDiagram, &source, message) == 0;
    for (int h = 1; haveResponse && h < harmonics; ++h) {
        pointOfHarmonic[h] = HarmonicPoint(source, f0, h, h - 1);
        if (pointOfHarmonic[h] < 0) {
            SetPdnMessage(message, "Error",
                          "The %s curve has no point at harmonic %d (%g Hz); simulate with the harmonic grid",
                          p.Source == 1 ? "noise transfer" : "Zin", h, h * f0);
            haveResponse = false;
        }
    }
    for (int h = 1; haveResponse && h < harmonics; ++h) {
        const DComplex v = Cmul(StimulusCoefficient(p, h), source.Z[pointOfHarmonic[h]]);
        const double amplitude = -Cabs(v);  // the response is the voltage drop
        if (p.Spectrum == 0 && spectrumCurve) SetDataPoint(mainDiagram, kStimulusCurve, h, h * f0, amplitude, 0);
        AddHarmonic(voltage, p, h, amplitude, Cphase(v), t0, kEnd);
    }
    WriteTimeCurve(timeDiagram, kTimeVoltageCurve, p, voltage);
    return 0;
}

int UpdateTimeDiagramFromVoltageNoiseObject(VoltageNoiseTimeParam* param, Diagram* timeDiagram)
{
    if (param == nullptr || timeDiagram == nullptr) return -1;
    std::lock_guard<std::mutex> guard(timeDiagram->Lock);
    Diagram& d = *timeDiagram;
    d.fMinX = 0;
    d.fMaxX = static_cast<float>(param->T / ScaleX(*param));
    d.fGridX = (d.fMaxX - d.fMinX) / 10;
    d.bLogX = 0;
    d.YAxis = kYAxisSignedLinear;
    d.fMinY = -5 * param->DivY;
    d.fMaxY = 5 * param->DivY;
    d.fGridY = (d.fMaxY - d.fMinY) / 10;
    d.fMinY2 = -5 * param->DivYSec;
    d.fMaxY2 = 5 * param->DivYSec;
    d.fGridY2 = (d.fMaxY2 - d.fMinY2) / 10;
    return 0;
}

int UpdategDiagramFromVoltageNoiseObject(VoltageNoiseTimeParam* param, Diagram* mainDiagram)
{
    if (param == nullptr || mainDiagram == nullptr) return -1;
    if (CheckVoltageNoiseTimeParam(param, nullptr) != 0) return -1;
    const int harmonics = param->nHarmonics;
    if (InitDiagramData(mainDiagram, "Stimulus", kStimulusCurve, harmonics) != 0) return -1;
    const int selected = param->Source == 1 ? param->NoiseCurve : param->ZinCurve;

    std::lock_guard<std::mutex> guard(mainDiagram->Lock);
    Diagram& d = *mainDiagram;
    for (auto& curve : d.Curve) curve.bValid = 0;
    d.Curve[kStimulusCurve].bValid = 1;
    d.Curve[kStimulusCurve].Style = 1;
    param->MinZ = 1e6f;
    param->MaxZ = 1e-10f;
    if (selected >= 0 && selected <= kLastSourceCurve && DiagramCurveHasData(d.Curve[selected])) {
        DiagramCurve& curve = d.Curve[selected];
        curve.bValid = 1;
        for (int k = 0; k < curve.PointCount; ++k) {
            const float z = std::sqrt(curve.pY[k] * curve.pY[k] + curve.pZ[k] * curve.pZ[k]);
            param->MinZ = std::min(param->MinZ, z);
            param->MaxZ = std::max(param->MaxZ, z);
        }
    }
    const double f0 = 1.0 / param->T;
    d.fMinX = static_cast<float>(f0);
    d.fMaxX = static_cast<float>(harmonics * f0);
    d.fGridX = static_cast<float>((harmonics * f0 - f0) / 10);
    const float sum = (std::fabs(param->AmplitudeGauss) + param->Amplitude) * 1.2f;
    d.fMaxY = std::max(sum, param->MaxZ);
    d.fMinY = std::min(sum * 1e-6f, param->MinZ);
    d.YAxis = kYAxisLog;
    d.bLogX = param->LogX != 0 ? 1 : 0;
    return 0;
}

int RecomputeVoltageNoiseTime(VoltageNoiseTimeParam* param, Diagram* timeDiagram, Diagram* mainDiagram,
                              PdnMessage* message)
{
    if (param == nullptr || timeDiagram == nullptr || mainDiagram == nullptr) return -1;
    if (CheckVoltageNoiseTimeParam(param, message) != 0) return -1;
    UpdateTimeDiagramFromVoltageNoiseObject(param, timeDiagram);
    UpdategDiagramFromVoltageNoiseObject(param, mainDiagram);
    return CalculateHarmonics(param, timeDiagram, mainDiagram, message);
}

int VoltageNoiseSimulateSettings(const VoltageNoiseTimeParam* param, Settings* settings, PdnMessage* message)
{
    if (param == nullptr || settings == nullptr) return -1;
    if (CheckVoltageNoiseTimeParam(param, message) != 0) return -1;
    settings->StartFrequency = 1.0 / param->T;
    settings->StopFrequency = param->nHarmonics / static_cast<double>(param->T);
    settings->LogFrequencyAxis = 0;
    settings->NumberOfPoints = static_cast<uint32_t>(param->nHarmonics);
    // One sub-band: with several, each would be a linear sweep of its own and
    // the points would miss the harmonics.
    settings->Steps = 1;
    return param->Source == 1 ? 9088 : 9094;
}

}  // namespace korvex
