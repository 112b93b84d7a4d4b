#include "diagram/diagram_axes.h"

#include <algorithm>
#include <cmath>

#include "util/number_text.h"

namespace korvex {

namespace {

constexpr double kTwoPi = 6.283185307179586;

bool IsLogY(const Diagram& d)
{
    return d.YAxis == kYAxisLog || d.YAxis == kYAxisDb;
}

// Number of whole grid steps in a range, 0 for a step that is not positive,
// capped so a tiny step cannot produce millions of lines.
int GridSteps(float range, float step)
{
    if (!(step > 0) || !(range > 0)) return 0;
    const double n = std::trunc(static_cast<double>(range) / step);
    if (!std::isfinite(n)) return kDiagramMaxGridLines;
    return static_cast<int>(std::min<double>(n, kDiagramMaxGridLines));
}

// floor(log10 min) and ceil(log10 max), with at least one decade between them.
void Decades(float minValue, float maxValue, float* decadeMin, float* decadeMax)
{
    // In single precision, like the fields: 0.01f (0.0099999998) is decade -2.
    double lo = std::floor(std::log10(minValue));
    double hi = maxValue > 0 ? std::ceil(std::log10(maxValue)) : lo + 1;
    if (!std::isfinite(lo)) lo = 0;
    if (!std::isfinite(hi) || hi <= lo) hi = lo + 1;
    if (hi - lo > kDiagramMaxGridLines) hi = lo + kDiagramMaxGridLines;
    *decadeMin = static_cast<float>(lo);
    *decadeMax = static_cast<float>(hi);
}

float PerUnit(int pixels, float range)
{
    return range > 0 && std::isfinite(range) ? static_cast<float>(pixels) / range : 0.0f;
}

int PlotWidth(const Diagram& d)
{
    return d.rectPlot.right - d.rectPlot.left;
}

int PlotHeight(const Diagram& d)
{
    return d.rectPlot.bottom - d.rectPlot.top;
}

float LogPixelY(const Diagram& d, float value)
{
    const double v = value > 0 ? value : 1e-20;
    return static_cast<float>(d.rectPlot.bottom - (std::log10(v) - d.fDecadeMinY) * d.fPixelPerDecadeY);
}

}  // namespace

int SetDiagramLayout(Diagram* diagram, int width, int height)
{
    if (diagram == nullptr || width < 0 || height < 0) return -1;
    const int margin = static_cast<int>(diagram->Margin);
    const int fontHeight = static_cast<int>(diagram->FontHeight);
    const int fontWidth = static_cast<int>(diagram->FontWidth);
    diagram->rectDC = {0, 0, width, height};
    diagram->rectPlot.left = (margin + 4 * fontWidth) * 2;
    diagram->rectPlot.top = fontHeight + 2 * margin;
    diagram->rectPlot.right = width - margin;
    diagram->rectPlot.bottom = height - fontHeight - 2 * margin;
    return 0;
}

int ComputeDiagramAxes(Diagram* diagram, DiagramAxes* axes)
{
    if (diagram == nullptr || axes == nullptr) return -1;
    Diagram& d = *diagram;
    DiagramAxes a;
    const int width = PlotWidth(d);
    const int height = PlotHeight(d);

    if (IsLogY(d)) {
        if (!(d.fMinY > 0)) d.fMinY = 1.1e-12f;
        Decades(d.fMinY, d.fMaxY, &d.fDecadeMinY, &d.fDecadeMaxY);
        d.fDecadesY = d.fDecadeMaxY - d.fDecadeMinY;
        d.fPixelPerDecadeY = static_cast<float>(height) / d.fDecadesY;
        const int decades = static_cast<int>(d.fDecadesY);
        if (d.YAxis == kYAxisLog)
            a.GridCountY = decades;
        else
            a.GridCountY = decades == 1 ? 10 : decades == 2 ? 8 : 2 * decades;
    } else {
        a.GridCountY = GridSteps(d.fMaxY - d.fMinY, d.fGridY);
    }
    a.PixelPerUnitY = PerUnit(height, d.fMaxY - d.fMinY);
    a.PixelPerUnitY2 = PerUnit(height, d.fMaxY2 - d.fMinY2);

    if (d.bLogX != 0) {
        if (!(d.fMinX > 0)) d.fMinX = 1.0f;
        Decades(d.fMinX, d.fMaxX, &d.fDecadeMinX, &d.fDecadeMaxX);
        d.fDecadesX = d.fDecadeMaxX - d.fDecadeMinX;
        d.fPixelPerDecadeX = static_cast<float>(width) / d.fDecadesX;
        a.GridCountX = static_cast<int>(d.fDecadesX);
    } else {
        a.GridCountX = GridSteps(d.fMaxX - d.fMinX, d.fGridX);
    }
    a.PixelPerUnitX = PerUnit(width, d.fMaxX - d.fMinX);
    *axes = a;
    return 0;
}

float DiagramXToPixel(const Diagram& d, const DiagramAxes& axes, float x)
{
    if (d.bLogX != 0) {
        const double f = x > 0 ? x : 1e-20;
        return static_cast<float>(d.rectPlot.left + (std::log10(f) - d.fDecadeMinX) * d.fPixelPerDecadeX);
    }
    return d.rectPlot.left + (x - d.fMinX) * axes.PixelPerUnitX;
}

float DiagramValueToPixel(const Diagram& d, const DiagramAxes& axes, float value, bool forceLog)
{
    if (forceLog || IsLogY(d)) return LogPixelY(d, value);
    return d.rectPlot.bottom - (value - d.fMinY) * axes.PixelPerUnitY;
}

float DiagramSecondaryValueToPixel(const Diagram& d, const DiagramAxes& axes, float value)
{
    return d.rectPlot.bottom - (value - d.fMinY2) * axes.PixelPerUnitY2;
}

float DiagramPlotValue(const Diagram& d, const DiagramCurve& curve, int index)
{
    if (index < 0 || index >= curve.PointCount || !DiagramCurveHasData(curve)) return 0;
    const float y = curve.pY[index];
    const float z = curve.pZ[index];
    if (d.YAxis == kYAxisSignedLinear) return y;
    return std::sqrt(y * y + z * z);
}

std::vector<DiagramTick> DiagramYLabels(const Diagram& d, const DiagramAxes& axes)
{
    std::vector<DiagramTick> ticks;
    const int n = axes.GridCountY;
    if (d.YAxis == kYAxisLog) {
        for (int i = 0; i <= n; ++i) {
            const float exponent = d.fDecadeMinY + i;
            ticks.push_back({std::pow(10.0f, exponent), d.rectPlot.bottom - i * d.fPixelPerDecadeY});
        }
    } else if (d.YAxis == kYAxisDb) {
        for (int i = 0; i <= n && n > 0; ++i) {
            const float share = static_cast<float>(i) * d.fDecadesY / n;
            ticks.push_back({20.0f * (d.fDecadeMinY + share), d.rectPlot.bottom - share * d.fPixelPerDecadeY});
        }
    } else {
        const int fit = d.FontHeight > 0 ? PlotHeight(d) / static_cast<int>(d.FontHeight) : 0;
        if (fit <= 0) return ticks;
        for (int i = 0; i <= n; i += n / fit + 1) {
            const float value = d.fMinY + i * d.fGridY;
            ticks.push_back({value, DiagramValueToPixel(d, axes, value)});
        }
    }
    return ticks;
}

std::vector<DiagramTick> DiagramXLabels(const Diagram& d, const DiagramAxes& axes)
{
    std::vector<DiagramTick> ticks;
    const int n = axes.GridCountX;
    if (d.bLogX != 0) {
        for (int i = 0; i <= n; ++i)
            ticks.push_back({std::pow(10.0f, d.fDecadeMinX + i), d.rectPlot.left + i * d.fPixelPerDecadeX});
        return ticks;
    }
    const int labelWidth = 9 * static_cast<int>(d.FontWidth);
    const int fit = labelWidth > 0 ? PlotWidth(d) / labelWidth : 0;
    if (fit <= 0) return ticks;
    for (int i = 0; i <= n; i += n / fit + 1) {
        const float value = d.fMinX + i * d.fGridX;
        ticks.push_back({value, DiagramXToPixel(d, axes, value)});
    }
    return ticks;
}

std::vector<DiagramTick> DiagramYGridLines(const Diagram& d, const DiagramAxes& axes)
{
    std::vector<DiagramTick> lines;
    const int n = axes.GridCountY;
    if (d.YAxis == kYAxisLog) {
        for (int decade = 0; decade < n; ++decade)
            for (int k = 2; k <= 10; ++k) {
                const float exponent = decade + std::log10(static_cast<float>(k));
                lines.push_back({std::pow(10.0f, d.fDecadeMinY + exponent),
                                 d.rectPlot.bottom - exponent * d.fPixelPerDecadeY});
            }
    } else if (d.YAxis == kYAxisDb) {
        for (int i = 0; i < n; ++i) {
            const float share = static_cast<float>(i) * d.fDecadesY / n;
            lines.push_back({20.0f * (d.fDecadeMinY + share), d.rectPlot.bottom - share * d.fPixelPerDecadeY});
        }
    } else {
        for (int i = 1; i <= n; ++i) {
            const float value = d.fMinY + i * d.fGridY;
            lines.push_back({value, DiagramValueToPixel(d, axes, value)});
        }
    }
    return lines;
}

std::vector<DiagramTick> DiagramXGridLines(const Diagram& d, const DiagramAxes& axes)
{
    std::vector<DiagramTick> lines;
    const int n = axes.GridCountX;
    if (d.bLogX != 0) {
        for (int decade = 0; decade < n; ++decade)
            for (int k = 2; k <= 10; ++k) {
                const float exponent = decade + std::log10(static_cast<float>(k));
                lines.push_back({std::pow(10.0f, d.fDecadeMinX + exponent),
                                 d.rectPlot.left + exponent * d.fPixelPerDecadeX});
            }
        return lines;
    }
    for (int i = 1; i <= n; ++i) {
        const float value = d.fMinX + i * d.fGridX;
        lines.push_back({value, DiagramXToPixel(d, axes, value)});
    }
    return lines;
}

int DiagramPointInPlot(const Diagram& d, int px, int py)
{
    return px >= d.rectPlot.left && px <= d.rectPlot.right && py >= d.rectPlot.top && py <= d.rectPlot.bottom ? 1
                                                                                                                : 0;
}

int DiagramReadoutAt(const Diagram& d, int px, int py, DiagramReadout* readout)
{
    if (readout == nullptr || !DiagramPointInPlot(d, px, py)) return -1;
    DiagramReadout r;
    const int width = PlotWidth(d);
    const int height = PlotHeight(d);
    if (d.bLogX != 0)
        r.Frequency = d.fPixelPerDecadeX > 0 ? std::pow(10.0, d.fDecadeMinX + (px - d.rectPlot.left) / d.fPixelPerDecadeX)
                                             : d.fMinX;
    else
        r.Frequency = width > 0 ? static_cast<double>(px - d.rectPlot.left) * (d.fMaxX - d.fMinX) / width + d.fMinX
                                : d.fMinX;
    if (IsLogY(d))
        r.Value = d.fPixelPerDecadeY > 0
                      ? std::pow(10.0, d.fDecadeMinY + (d.rectPlot.bottom - py) / d.fPixelPerDecadeY)
                      : d.fMinY;
    else
        r.Value = height > 0 ? static_cast<double>(d.rectPlot.bottom - py) * (d.fMaxY - d.fMinY) / height + d.fMinY
                             : d.fMinY;
    const double omega = r.Frequency * kTwoPi;
    r.Capacitance = r.Value * omega != 0 ? 1.0 / (r.Value * omega) : 0;
    r.Inductance = omega != 0 ? r.Value / omega : 0;
    r.Decibel = r.Value > 0 ? 20.0 * std::log10(r.Value) : 0;
    *readout = r;
    return 0;
}

DiagramReadoutText FormatDiagramReadout(const Diagram& d, const DiagramReadout& r, int px)
{
    DiagramReadoutText text;
    text.RightAligned = px > d.rectPlot.right - 180;
    const std::string frequency = FloatToChar(static_cast<float>(r.Frequency)) + "Hz";
    if (d.YAxis == kYAxisDb) {
        text.Line1 = frequency + " " + FloatToChar(static_cast<float>(r.Decibel)) + "dB";
        return text;
    }
    text.Line1 = frequency + " " + FloatToChar(static_cast<float>(r.Value)) + "Ohm";
    text.Line2 = "C=" + FloatToChar(static_cast<float>(r.Capacitance)) + "F L=" +
                 FloatToChar(static_cast<float>(r.Inductance)) + "H";
    return text;
}

int DiagramClickCommand(uint32_t clickMode)
{
    switch (clickMode) {
    case 0: return 9095;
    case 1: return 9087;
    case 2: return 9090;
    default: return -1;
    }
}

float RoundUpToOneSignificantDigit(float value)
{
    if (!(value > 0) || !std::isfinite(value)) return value;
    const double p = std::pow(10.0, std::floor(std::log10(static_cast<double>(value))));
    // The tolerance keeps a float such as 0.3f (0.30000001) from rising to 0.4.
    return static_cast<float>(p * std::ceil(value / p - 1e-6));
}

}  // namespace korvex
