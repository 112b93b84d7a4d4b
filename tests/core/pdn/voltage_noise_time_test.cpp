#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "board/settings.h"
#include "diagram/diagram.h"
#include "pdn/complex.h"
#include "pdn/voltage_noise_time.h"

using namespace korvex;

namespace {

// A Zin curve on the harmonic grid the "Simulate" sweep produces: N points
// from f0 to N f0 (each moved by `offset` times f0), with the impedance given
// per frequency.
template <class Impedance>
void PutHarmonicCurve(Diagram& main, int slot, const VoltageNoiseTimeParam& p, Impedance z, double offset = 0)
{
    const int n = p.nHarmonics;
    ASSERT_EQ(InitDiagramData(&main, "Zin(i000)", slot, n), 0);
    for (int k = 0; k < n; ++k) {
        const double f = (k + 1 + offset) / static_cast<double>(p.T);
        const DComplex value = z(f);
        SetDataPoint(&main, slot, k, static_cast<float>(f), static_cast<float>(value.r), static_cast<float>(value.i));
    }
}

// The trapezoid itself at time t, periodic in T, centred at t0.
double Trapezoid(const VoltageNoiseTimeParam& p, double t)
{
    const double t0 = p.Scroll + p.TON / 2.0 + 2.0 * p.tr;
    double u = std::fmod(t - t0, static_cast<double>(p.T));
    if (u > p.T / 2.0) u -= p.T;
    if (u < -p.T / 2.0) u += p.T;
    const double a = std::fabs(u);
    if (a <= p.TON / 2.0) return p.Amplitude;
    if (a >= p.TON / 2.0 + p.tr) return 0;
    return p.Amplitude * (1.0 - (a - p.TON / 2.0) / p.tr);
}

VoltageNoiseTimeParam PlainTrapezoid()
{
    VoltageNoiseTimeParam p;
    p.GaussOn = 0;
    p.AmplitudeGauss = 0;
    p.nHarmonics = 400;
    p.Datapoints = 200;
    return p;
}

// The current over one period is the trapezoid less its mean. With the time
// axis zoomed (ScaleX above 1) only the shown part is computed, the rest stays 0;
// a zoom below 1 counts as 1.
TEST(VoltageNoiseTime, PlainSeriesIsTheTrapezoidWithoutItsMean)
{
    for (float scale : {1.0f, 2.0f, 0.25f}) {
        SCOPED_TRACE(scale);
        VoltageNoiseTimeParam p = PlainTrapezoid();
        p.ScaleX = scale;
        Diagram time, main;
        ASSERT_EQ(InitVoltageNoiseTimeDiagram(&p, &time), 0);
        ASSERT_EQ(CalculateHarmonics(&p, &time, &main), 0);
        const double mean = p.Amplitude * (p.TON + p.tr) / p.T;
        const int shown = scale > 1 ? p.Datapoints / 2 : p.Datapoints;
        const DiagramCurve& current = time.Curve[kTimeCurrentCurve];
        ASSERT_EQ(current.PointCount, p.Datapoints);
        double worst = 0;
        for (int k = 0; k < current.PointCount; ++k) {
            EXPECT_FLOAT_EQ(current.pX[k], k * p.T / p.Datapoints);
            const double expected = k < shown ? Trapezoid(p, current.pX[k]) - mean : 0.0;
            worst = std::max(worst, std::fabs(current.pY[k] - expected));
        }
        EXPECT_LT(worst, 0.01 * p.Amplitude);
    }
}

TEST(VoltageNoiseTime, HarmonicMeetsThePointAtItsOwnFrequency)
{
    VoltageNoiseTimeParam p = PlainTrapezoid();
    p.nHarmonics = 50;
    p.Spectrum = 0;  // show the voltage spectrum
    Diagram time, main;
    // |Z| grows with frequency, so a point one harmonic off would show.
    PutHarmonicCurve(main, 0, p, [](double f) { return Complex(f * 1e-9, 0); });
    ASSERT_EQ(UpdategDiagramFromVoltageNoiseObject(&p, &main), 0);
    ASSERT_EQ(CalculateHarmonics(&p, &time, &main), 0);
    VoltageNoiseTimeParam currentOnly = p;
    currentOnly.Spectrum = 1;
    Diagram time2, main2;
    ASSERT_EQ(UpdategDiagramFromVoltageNoiseObject(&currentOnly, &main2), 0);
    ASSERT_EQ(CalculateHarmonics(&currentOnly, &time2, &main2), 0);
    for (int h = 1; h < p.nHarmonics; ++h) {
        const double f = h / static_cast<double>(p.T);
        EXPECT_FLOAT_EQ(main.Curve[kStimulusCurve].pX[h], static_cast<float>(f));
        EXPECT_NEAR(main.Curve[kStimulusCurve].pY[h], -main2.Curve[kStimulusCurve].pY[h] * f * 1e-9,
                    1e-6 * std::fabs(main2.Curve[kStimulusCurve].pY[h] * f * 1e-9) + 1e-9)
            << h;
    }
}

// A record the tool cannot work with is refused and the curves are left as they
// were; without a Zin point at every harmonic the current is computed but the
// response stays empty. Either way the message says why.
TEST(VoltageNoiseTime, RefusalsAndMissingResponsesSayWhy)
{
    using Param = VoltageNoiseTimeParam;
    struct Case {
        void (*change)(Param&);
        double offset;     // of the Zin curve's points from the harmonics, in f0; NAN: no curve
        int status;
        const char* text;  // empty: the response is computed
    } cases[] = {
        {[](Param& p) { p.T = 0; }, NAN, -1, "period T"},
        {[](Param& p) { p.Datapoints = 0; }, NAN, -1, "Datapoints"},
        {[](Param& p) { p.TON = p.tr = 0; }, NAN, -1, "TON + tr"},
        {[](Param& p) { p.nHarmonics = 0; }, NAN, -1, "n Harmonics"},
        {[](Param& p) { p.T = NAN; }, NAN, -1, "not a number"},
        {[](Param&) {}, NAN, 0, "no Zin curve at index 0"},
        {[](Param& p) { p.ZinCurve = 9; }, NAN, 0, "outside 0 to 8"},
        {[](Param& p) { p.ZinCurve = -1; }, 0, 0, "outside 0 to 8"},
        {[](Param&) {}, 0.05, 0, "no point at harmonic"},  // 5 % off: beyond the 1 % a point may be off
        {[](Param&) {}, 0.008, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Param p = PlainTrapezoid();
        Diagram time, main;
        ASSERT_EQ(InitVoltageNoiseTimeDiagram(&p, &time), 0);
        SetDataPoint(&time, kTimeCurrentCurve, 5, 1, 42, 0);
        if (!std::isnan(c.offset)) PutHarmonicCurve(main, 0, p, [](double) { return Complex(1, 0); }, c.offset);
        c.change(p);
        PdnMessage message;
        EXPECT_EQ(CalculateHarmonics(&p, &time, &main, &message), c.status);
        Settings s;
        EXPECT_EQ(VoltageNoiseSimulateSettings(&p, &s, nullptr) == -1, c.status == -1);
        double peak = 0;
        for (int k = 0; k < p.Datapoints; ++k)
            peak = std::max(peak, std::fabs(static_cast<double>(time.Curve[kTimeVoltageCurve].pY[k])));
        if (c.status != 0)
            EXPECT_EQ(time.Curve[kTimeCurrentCurve].pY[5], 42.0f);
        else if (*c.text == '\0')
            EXPECT_GT(peak, 0.3);
        else
            EXPECT_EQ(peak, 0.0);
        EXPECT_EQ(message.Text.empty(), *c.text == '\0') << message.Text;
        EXPECT_NE(message.Text.find(c.text), std::string::npos) << message.Text;
    }
}

// The spectrum with the edge filter: G(h) / G(1) = exp(-(h^2 - 1) s^2) with
// s = pi GaussTr / (2 T) on the plain coefficients 2 A d sinc(h d) sinc(h tr / T),
// d = (TON + tr) / T = 0.6, tr / T = 0.1. Harmonic 1 is never filtered.
TEST(VoltageNoiseTime, GaussFilterKeepsHarmonicOneAndDampsTheRest)
{
    const auto sinc = [](double x) { return std::sin(M_PI * x) / (M_PI * x); };
    for (float width : {0.0f, 1e-8f, 3e-8f, 1e-5f}) {  // none, T / 10, 3 T / 10, 100 T
        VoltageNoiseTimeParam p = PlainTrapezoid();
        p.GaussOn = 1;
        p.GaussTr = width;
        Diagram time, main;
        ASSERT_EQ(InitDiagramData(&main, "Stimulus", kStimulusCurve, p.nHarmonics), 0);
        ASSERT_EQ(CalculateHarmonics(&p, &time, &main), 0);
        const double T = p.T, s = M_PI * width / (2 * T), d = (static_cast<double>(p.TON) + p.tr) / T;
        for (int h = 1; h <= 4; ++h) {
            const double plain = std::fabs(2 * p.Amplitude * d * sinc(h * d) * sinc(h * p.tr / T));
            const double expected = plain * std::exp(-(h * h - 1) * s * s);
            EXPECT_NEAR(main.Curve[kStimulusCurve].pY[h], expected, 1e-5 * plain) << "width " << width << " h " << h;
        }
    }
}

TEST(VoltageNoiseTime, DiagramsFollowTheRecord)
{
    VoltageNoiseTimeParam p;
    p.nHarmonics = 20;
    p.ZinCurve = 3;
    p.ScaleX = 4;
    Diagram main, time;
    PutHarmonicCurve(main, 3, p, [](double f) { return Complex(3e-7 * f, 0); });  // |Z| 3 .. 60
    InitDiagramData(&main, "other", 5, 3);
    ASSERT_EQ(UpdategDiagramFromVoltageNoiseObject(&p, &main), 0);
    EXPECT_EQ(main.Curve[3].bValid, 1u);
    EXPECT_EQ(main.Curve[5].bValid, 0u);
    EXPECT_EQ(main.Curve[kStimulusCurve].PointCount, 20);
    EXPECT_NEAR(p.MinZ, 3.0f, 1e-4);
    EXPECT_NEAR(p.MaxZ, 60.0f, 1e-3);
    EXPECT_FLOAT_EQ(main.fMaxX, 2e8f);
    ASSERT_EQ(UpdateTimeDiagramFromVoltageNoiseObject(&p, &time), 0);
    EXPECT_FLOAT_EQ(time.fMaxX, 2.5e-8f);
}

// The road the command line takes: sweep settings from the record (one linear
// sub-band whose points are the harmonics), a resistive Zin curve on that sweep
// (as the AC reader stores it), then the recompute: V = -R I for any stimulus.
TEST(VoltageNoiseTime, SweepSettingsGridFeedsTheRecompute)
{
    VoltageNoiseTimeParam p;
    p.T = 3e-7f;  // f0 is not a round number
    p.nHarmonics = 64;
    p.ZinCurve = 1;
    p.GaussOn = 1;
    p.AmplitudeGauss = 0.3f;
    p.t2 = 1e-8f;
    Settings s;
    ASSERT_EQ(VoltageNoiseSimulateSettings(&p, &s, nullptr), 9094);
    EXPECT_EQ(s.LogFrequencyAxis, 0u);
    EXPECT_EQ(s.Steps, 1u);
    EXPECT_EQ(s.NumberOfPoints, 64u);
    Diagram time, main;
    const int n = static_cast<int>(s.NumberOfPoints);
    ASSERT_EQ(InitDiagramData(&main, "Zin(i000)", 1, n), 0);
    for (int k = 0; k < n; ++k) {
        const double f = s.StartFrequency + k * (s.StopFrequency - s.StartFrequency) / (n - 1);
        SetDataPoint(&main, 1, k, static_cast<float>(f), 0.25f, 0);
    }
    PdnMessage message;
    ASSERT_EQ(RecomputeVoltageNoiseTime(&p, &time, &main, &message), 0);
    EXPECT_EQ(message.Text, "");
    const DiagramCurve& current = time.Curve[kTimeCurrentCurve];
    EXPECT_EQ(time.Curve[kTimeVoltageCurve].bSecondaryAxis, 1u);
    double peak = 0;
    for (int k = 0; k < p.Datapoints; ++k) {
        EXPECT_NEAR(time.Curve[kTimeVoltageCurve].pY[k], -0.25 * current.pY[k], 1e-5) << k;
        peak = std::max(peak, std::fabs(static_cast<double>(current.pY[k])));
    }
    EXPECT_GT(peak, 0.3);
    p.Source = 1;  // a noise-transfer curve: the other sweep
    EXPECT_EQ(VoltageNoiseSimulateSettings(&p, &s, nullptr), 9088);
}

}  // namespace
