#include "result_report.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "board/part_records.h"
#include "diagram/diagram.h"
#include "diagram/diagram_csv.h"
#include "board/part_lookup.h"
#include "quantity.h"

namespace korvex::cli {
namespace {

nlohmann::json RangeJson(const LayerRange& r, const std::string& unit)
{
    if (r.Pixels == 0) return {{"Min", nullptr}, {"Max", nullptr}, {"Mean", nullptr}, {"Unit", unit}, {"CopperPixels", 0}};
    return {{"Min", r.Min}, {"Max", r.Max}, {"Mean", r.Mean}, {"Unit", unit}, {"CopperPixels", r.Pixels}};
}

std::string RangeText(const LayerRange& r, const std::string& unit)
{
    if (r.Pixels == 0) return "no copper";
    return "min " + FormatQuantity(r.Min, unit) + ", max " + FormatQuantity(r.Max, unit) + ", mean " +
           FormatQuantity(r.Mean, unit);
}

nlohmann::json& LayerEntry(nlohmann::json& json, int layer)
{
    nlohmann::json& layers = json["Layers"];
    while (layers.size() <= static_cast<size_t>(layer)) layers.push_back({{"Layer", layers.size() + 1}});
    return layers[static_cast<size_t>(layer)];
}

}  // namespace

double DcCurrentDensity(const SimMatrix& b, uint32_t x, uint32_t y, int layer)
{
    const double dx = b.SizeX / b.CountPixelX, dy = b.SizeY / b.CountPixelY, t = b.CopperThickness[layer];
    const double jx = b.CurrentXMatrix[x][y][layer] / (dy * t), jy = b.CurrentYMatrix[x][y][layer] / (dx * t);
    return std::hypot(jx, jy) * 1e-6;  // A/m² to A/mm²
}

double CurrentDensityFromMagnitude(const SimMatrix& b, uint32_t x, uint32_t y, int layer)
{
    const double side = std::sqrt(static_cast<double>(b.SizeX) / b.CountPixelX * b.SizeY / b.CountPixelY);
    return b.CurrentDensityMatrix[x][y][layer] / (side * b.CopperThickness[layer]) * 1e-6;
}

ResultReport::ResultReport(std::string analysis, std::string project)
{
    json_["Analysis"] = std::move(analysis);
    json_["Project"] = std::move(project);
}

void ResultReport::AddLayerRanges(const SimMatrix& b, const std::string& key, const std::string& label,
                                  const std::string& unit, double (*value)(const SimMatrix&, uint32_t, uint32_t, int))
{
    for (int l = 0; l < b.LayerCount; ++l) {
        const LayerRange r = RangeOverCopper(b, l, [&](uint32_t x, uint32_t y) { return value(b, x, y, l); });
        LayerEntry(json_, l)[key] = RangeJson(r, unit);
        Line("Layer" + std::to_string(l + 1) + " " + label + ": " + RangeText(r, unit));
    }
}

void ResultReport::AddRasterRanges(const SimMatrix& b, float*** raster, const std::string& key,
                                   const std::string& label, const std::string& unit)
{
    for (int l = 0; l < b.LayerCount; ++l) {
        const LayerRange r = RangeOverCopper(b, l, [&](uint32_t x, uint32_t y) { return double(raster[x][y][l]); });
        LayerEntry(json_, l)[key] = RangeJson(r, unit);
        Line("Layer" + std::to_string(l + 1) + " " + label + ": " + RangeText(r, unit));
    }
}

void ResultReport::AddViaCurrents(const SimMatrix& b)
{
    nlohmann::json vias = nlohmann::json::array();
    for (const Part* p = GetFirstPart(&b); p != nullptr; p = GetNextPart(p)) {
        if (p->Kind != PART_VIA) continue;
        const auto* v = PartRecord<Via>(p);
        nlohmann::json currents = nlohmann::json::array();
        std::string text;
        for (int l = 0; l + 1 < b.LayerCount; ++l) {
            currents.push_back(v->Current[l]);
            text += " Layer" + std::to_string(l + 1) + "-" + std::to_string(l + 2) + " " + FormatQuantity(v->Current[l], "A");
        }
        const auto index = PartKey(&b, p);
        vias.push_back({{"Index", index}, {"x", v->x}, {"y", v->y}, {"Current", currents}, {"Unit", "A"}});
        Line("Via (part " + std::to_string(index) + ") at (" + std::to_string(v->x) + ", " + std::to_string(v->y) + "):" + text);
    }
    json_["Vias"] = vias;
}

void ResultReport::AddPartTemperatures(const SimMatrix& b)
{
    nlohmann::json sources = nlohmann::json::array(), sinks = nlohmann::json::array();
    for (const Part* p = GetFirstPart(&b); p != nullptr; p = GetNextPart(p)) {
        const auto index = PartKey(&b, p);
        if (p->Kind == PART_HEATSOURCE) {
            const auto* h = PartRecord<HeatSource>(p);
            sources.push_back({{"Index", index}, {"Net", h->Net}, {"Power", h->Power}, {"PowerUnit", "W"},
                               {"JunctionTemperature", h->Temperature}, {"Unit", "°C"}});
            Line(std::string("Heat source ") + h->Net + " (" + FormatQuantity(h->Power, "W") + "): junction " +
                 FormatQuantity(h->Temperature, "°C"));
        } else if (p->Kind == PART_HEATSINK) {
            const auto* h = PartRecord<HeatSink>(p);
            sinks.push_back({{"Index", index}, {"Net", h->Net}, {"Temperature", h->Temperature}, {"Unit", "°C"}});
            Line(std::string("Heat sink ") + h->Net + ": " + FormatQuantity(h->Temperature, "°C"));
        }
    }
    json_["HeatSources"] = sources;
    json_["HeatSinks"] = sinks;
}

void ResultReport::AddCurves(const Diagram& diagram)
{
    nlohmann::json curves = nlohmann::json::array();
    std::lock_guard<std::mutex> lock(diagram.Lock);
    for (const DiagramCurve& c : diagram.Curve) {
        if (!DiagramCurveHasData(c)) continue;
        double lo = INFINITY, hi = 0;
        for (int i = 0; i < c.PointCount; ++i) {
            const double m = std::hypot(static_cast<double>(c.pY[i]), static_cast<double>(c.pZ[i]));
            lo = std::min(lo, m);
            hi = std::max(hi, m);
        }
        std::string unit = DiagramCurveUnit(c.szName);
        if (unit == "ohm") unit = "Ohm";
        curves.push_back({{"Name", c.szName}, {"Points", c.PointCount}, {"FrequencyFrom", c.pX[0]},
                          {"FrequencyTo", c.pX[c.PointCount - 1]}, {"FrequencyUnit", "Hz"}, {"MagnitudeMin", lo},
                          {"MagnitudeMax", hi}, {"Unit", unit}});
        Line(std::string("Curve ") + c.szName + ": " + std::to_string(c.PointCount) + " points from " +
             FormatQuantity(c.pX[0], "Hz") + " to " + FormatQuantity(c.pX[c.PointCount - 1], "Hz") + ", |value| " +
             FormatQuantity(lo, unit) + " ... " + FormatQuantity(hi, unit));
    }
    json_["Curves"] = curves;
}

void ResultReport::Print(bool json) const
{
    if (json)
        std::cout << json_.dump(2) << "\n";
    else
        std::fputs(text_.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace korvex::cli
