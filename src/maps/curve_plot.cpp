#include "curve_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

#include "image.h"
#include "result_map.h"
#include "util/atomic_file.h"

namespace korvex::maps {
namespace {

constexpr int kWidth = 820, kHeight = 500, kLeft = 90, kRight = 200, kTop = 30, kBottom = 60;
const Rgb kPalette[] = {{31, 119, 180}, {214, 39, 40},  {44, 160, 44},  {255, 127, 14}, {148, 103, 189},
                        {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}};

struct Axis {
    double lo = 1, hi = 10;
    bool log = true;
    double Position(double v) const  // 0 ... 1 along the axis
    {
        if (log) return (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo));
        return (v - lo) / (hi - lo);
    }
};

Axis MakeAxis(const Plot& plot, bool x)
{
    Axis a;
    a.log = x ? plot.LogX : plot.LogY;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const PlotCurve& c : plot.Curves)
        for (double v : x ? c.X : c.Y)
            if (std::isfinite(v) && (!a.log || v > 0)) lo = std::min(lo, v), hi = std::max(hi, v);
    if (!(lo <= hi)) lo = 1, hi = 10;
    if (a.log) {
        lo = std::pow(10, std::floor(std::log10(lo)));
        hi = std::pow(10, std::ceil(std::log10(hi)));
        if (hi <= lo) hi = lo * 10;
    } else if (hi <= lo) {
        lo -= 1, hi += 1;
    }
    a.lo = lo, a.hi = hi;
    return a;
}

std::string Label(const Plot& plot, double v, const std::string& unit)
{
    if (plot.Format) return plot.Format(v, unit);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf + unit;
}

// The drawing, independent of the output format.
struct Canvas {
    virtual ~Canvas() = default;
    virtual void Line(double x0, double y0, double x1, double y1, Rgb c, bool thin) = 0;
    virtual void Text(double x, double y, const std::string& text, bool right) = 0;
};

bool Plottable(const Axis& a, double v) { return std::isfinite(v) && (!a.log || v > 0); }

void Draw(const Plot& plot, Canvas& canvas)
{
    const Axis ax = MakeAxis(plot, true), ay = MakeAxis(plot, false);
    const double w = kWidth - kLeft - kRight, h = kHeight - kTop - kBottom;
    const auto px = [&](double v) { return kLeft + ax.Position(v) * w; };
    const auto py = [&](double v) { return kTop + (1 - ay.Position(v)) * h; };
    const Rgb grid{210, 210, 210}, ink{0, 0, 0};
    for (double t : AxisTicks(ax.lo, ax.hi, ax.log)) {
        canvas.Line(px(t), kTop, px(t), kTop + h, grid, true);
        canvas.Text(px(t) - Image::TextWidth(Label(plot, t, plot.XUnit)) / 2.0, kTop + h + 8, Label(plot, t, plot.XUnit), false);
    }
    for (double t : AxisTicks(ay.lo, ay.hi, ay.log)) {
        canvas.Line(kLeft, py(t), kLeft + w, py(t), grid, true);
        canvas.Text(kLeft - 6, py(t) - 3, Label(plot, t, plot.YUnit), true);
    }
    canvas.Line(kLeft, kTop, kLeft, kTop + h, ink, false);
    canvas.Line(kLeft, kTop + h, kLeft + w, kTop + h, ink, false);
    canvas.Line(kLeft, kTop, kLeft + w, kTop, ink, false);
    canvas.Line(kLeft + w, kTop, kLeft + w, kTop + h, ink, false);
    const std::string xTitle = plot.XLabel + " [" + plot.XUnit + "]" + (ax.log ? " (log)" : "");
    const std::string yTitle = plot.YLabel + (plot.YUnit.empty() ? "" : " [" + plot.YUnit + "]") + (ay.log ? " (log)" : "");
    canvas.Text(kLeft + w / 2 - Image::TextWidth(xTitle) / 2.0, kTop + h + 28, xTitle, false);
    canvas.Text(kLeft, 10, yTitle, false);
    for (size_t i = 0; i < plot.Curves.size(); ++i) {
        const PlotCurve& c = plot.Curves[i];
        const Rgb colour = kPalette[i % std::size(kPalette)];
        for (size_t k = 1; k < c.X.size() && k < c.Y.size(); ++k)
            if (Plottable(ax, c.X[k - 1]) && Plottable(ax, c.X[k]) && Plottable(ay, c.Y[k - 1]) && Plottable(ay, c.Y[k]))
                canvas.Line(px(c.X[k - 1]), py(c.Y[k - 1]), px(c.X[k]), py(c.Y[k]), colour, false);
        const double ly = kTop + 10 + 16 * static_cast<double>(i);
        canvas.Line(kLeft + w + 12, ly, kLeft + w + 32, ly, colour, false);
        canvas.Text(kLeft + w + 38, ly - 3, c.Name, false);
    }
}

struct PngCanvas : Canvas {
    Image image{kWidth, kHeight};
    void Line(double x0, double y0, double x1, double y1, Rgb c, bool thin) override
    {
        const auto r = [](double v) { return static_cast<int>(std::lround(v)); };
        image.Line(r(x0), r(y0), r(x1), r(y1), c);
        if (!thin) image.Line(r(x0), r(y0) + 1, r(x1), r(y1) + 1, c);
    }
    void Text(double x, double y, const std::string& text, bool right) override
    {
        const std::string ascii = AsciiText(text);
        const int at = static_cast<int>(right ? x - Image::TextWidth(ascii) : x);
        image.Text(at, static_cast<int>(y), ascii, {0, 0, 0});
    }
};

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

struct SvgCanvas : Canvas {
    std::string out;
    void Line(double x0, double y0, double x1, double y1, Rgb c, bool thin) override
    {
        char buf[200];
        std::snprintf(buf, sizeof buf,
                      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"rgb(%d,%d,%d)\" stroke-width=\"%s\"/>\n",
                      x0, y0, x1, y1, c.r, c.g, c.b, thin ? "0.5" : "1.5");
        out += buf;
    }
    void Text(double x, double y, const std::string& text, bool right) override
    {
        char buf[120];
        std::snprintf(buf, sizeof buf, "<text x=\"%.1f\" y=\"%.1f\"%s>", x, y + 7, right ? " text-anchor=\"end\"" : "");
        out += buf + Escape(text) + "</text>\n";
    }
};

}  // namespace

std::vector<double> AxisTicks(double lo, double hi, bool log)
{
    std::vector<double> ticks;
    if (!(hi > lo)) return ticks;
    if (log) {
        for (double t = lo; t <= hi * 1.0001; t *= 10) ticks.push_back(t);
        return ticks;
    }
    const double raw = (hi - lo) / 6, magnitude = std::pow(10, std::floor(std::log10(raw)));
    const double step = raw / magnitude < 2 ? 2 * magnitude : raw / magnitude < 5 ? 5 * magnitude : 10 * magnitude;
    for (double t = std::ceil(lo / step) * step; t <= hi + step * 1e-9; t += step) ticks.push_back(std::fabs(t) < step * 1e-9 ? 0 : t);
    return ticks;
}

bool WritePlotPng(const std::string& path, const Plot& plot, std::string* why)
{
    PngCanvas canvas;
    Draw(plot, canvas);
    return canvas.image.WritePng(path, {{"Software", "KORVEX"}}, why);
}

bool WritePlotSvg(const std::string& path, const Plot& plot, std::string* why)
{
    SvgCanvas canvas;
    canvas.out = "<?xml version=\"1.0\"?>\n<!-- KORVEX curve plot -->\n";
    char head[200];
    std::snprintf(head, sizeof head,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" "
                  "font-size=\"11\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
                  kWidth, kHeight);
    canvas.out += head;
    Draw(plot, canvas);
    canvas.out += "</svg>\n";
    return WriteFileAtomically(path, canvas.out.data(), canvas.out.size(), why);
}

}  // namespace korvex::maps
