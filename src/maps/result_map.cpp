#include "result_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "image.h"
#include "util/tempscale.h"

namespace korvex::maps {
namespace {

constexpr Rgb kNoCopper{96, 96, 96};
constexpr Rgb kInk{0, 0, 0};

Rgb Colour(double t)
{
    const ColourRGB c = Tempscale(t);
    return {c.R, c.G, c.B};
}

std::string Exact(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

}  // namespace

std::string AsciiText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto at = [&](const char* s) { return text.compare(i, std::string(s).size(), s) == 0; };
        if (at("µ")) out += "u", i += 1;
        else if (at("°")) out += "deg", i += 1;
        else if (at("²")) out += "^2", i += 1;
        else if (at("Ω")) out += "ohm", i += 1;
        else out += text[i];
    }
    return out;
}

double ScalePosition(const LayerMap& m, double v)
{
    if (m.Log) {
        const double lo = std::log10(m.Min), hi = std::log10(m.Max);
        if (!(v > 0)) return 0;
        return hi > lo ? (std::log10(v) - lo) / (hi - lo) : 0;
    }
    return m.Max > m.Min ? (v - m.Min) / (m.Max - m.Min) : 0;
}

bool WriteMapPng(const std::string& path, const LayerMap& m, std::string* why)
{
    const int zoom = std::clamp(480 / static_cast<int>(std::max<uint32_t>({m.Width, m.Height, 1})), 1, 8);
    const int mapW = static_cast<int>(m.Width) * zoom, mapH = static_cast<int>(m.Height) * zoom;
    const int top = 22, left = 10;
    const int barH = std::max(mapH, 150), barX = left + mapW + 16, barW = 16;
    const std::string maxText = AsciiText(m.MaxText), minText = AsciiText(m.MinText);
    const std::string unit = AsciiText(m.Unit) + (m.Log ? " (log)" : "");
    const int labelW = std::max({Image::TextWidth(maxText), Image::TextWidth(minText), Image::TextWidth(unit),
                                 Image::TextWidth("no copper")});
    Image image(barX + barW + 8 + labelW + 10, top + barH + 34);
    image.Text(left, 6, AsciiText(m.Title), kInk);

    for (uint32_t x = 0; x < m.Width; ++x)
        for (uint32_t y = 0; y < m.Height; ++y) {
            const Rgb c = m.Copper(x, y) ? Colour(ScalePosition(m, m.Value(x, y))) : kNoCopper;
            image.Fill(left + static_cast<int>(x) * zoom, top + static_cast<int>(y) * zoom, zoom, zoom, c);
        }
    // The colour bar: the maximum at the top.
    for (int j = 0; j < barH; ++j) image.Fill(barX, top + j, barW, 1, Colour(1.0 - static_cast<double>(j) / (barH - 1)));
    image.Line(barX - 1, top - 1, barX + barW, top - 1, kInk);
    image.Line(barX - 1, top + barH, barX + barW, top + barH, kInk);
    const int labelX = barX + barW + 6;
    image.Text(labelX, top, maxText, kInk);
    image.Text(labelX, top + barH / 2 - 3, unit, kInk);
    image.Text(labelX, top + barH - 7, minText, kInk);
    image.Fill(left, top + barH + 12, 12, 12, kNoCopper);
    image.Text(left + 18, top + barH + 15, "no copper", kInk);
    return image.WritePng(path,
                          {{"Title", m.Title},
                           {"Unit", m.Unit},
                           {"Minimum", Exact(m.Min)},
                           {"Maximum", Exact(m.Max)},
                           {"Scale", m.Log ? "log" : "linear"},
                           {"Software", "KORVEX"}},
                          why);
}

}  // namespace korvex::maps
