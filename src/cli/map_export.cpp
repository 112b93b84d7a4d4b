#include "map_export.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "quantity.h"
#include "result_map.h"
#include "result_report.h"

namespace korvex::cli {
namespace {

struct Range {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    void Add(double v)
    {
        min = std::min(min, v);
        max = std::max(max, v);
    }
    bool Empty() const { return min > max; }
};

Range LayerRangeOf(const SimMatrix& b, MapQuantity q, int layer, bool log)
{
    Range r;
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y) {
            if (!HasCopper(b, x, y, layer)) continue;
            const double v = MapValue(b, q, x, y, layer);
            if (!log || v > 0) r.Add(v);
        }
    return r;
}

}  // namespace

const char* MapName(MapQuantity q)
{
    switch (q) {
    case MapQuantity::Voltage: return "Voltage";
    case MapQuantity::CurrentDensity: return "CurrentDensity";
    case MapQuantity::Temperature: return "Temperature";
    case MapQuantity::Impedance: return "ZIN";
    }
    return "";
}

const char* MapUnit(MapQuantity q)
{
    switch (q) {
    case MapQuantity::Voltage: return "V";
    case MapQuantity::CurrentDensity: return "A/mm²";
    case MapQuantity::Temperature: return "°C";
    case MapQuantity::Impedance: return "Ohm";
    }
    return "";
}

double MapValue(const SimMatrix& b, MapQuantity q, uint32_t x, uint32_t y, int layer)
{
    switch (q) {
    case MapQuantity::Voltage: return b.VoltageMatrix[x][y][layer];
    case MapQuantity::CurrentDensity: return CurrentDensityFromMagnitude(b, x, y, layer);
    case MapQuantity::Temperature: return b.TemperatureMatrix[x][y][layer];
    case MapQuantity::Impedance: return b.ZinMatrix[x][y][layer];
    }
    return 0;
}

bool WriteResultMaps(const SimMatrix& b, const std::vector<MapQuantity>& quantities, const MapOptions& o,
                     std::string* why)
{
    std::error_code ec;
    std::filesystem::create_directories(o.Folder, ec);
    for (const MapQuantity q : quantities) {
        const bool log = o.Log && (q == MapQuantity::Impedance || q == MapQuantity::CurrentDensity);
        std::vector<Range> ranges;
        Range shared;
        for (int l = 0; l < b.LayerCount; ++l) {
            ranges.push_back(LayerRangeOf(b, q, l, log));
            if (!ranges.back().Empty()) shared.Add(ranges.back().min), shared.Add(ranges.back().max);
        }
        for (int l = 0; l < b.LayerCount; ++l) {
            Range r = o.SharedScale ? shared : ranges[static_cast<size_t>(l)];
            const bool empty = r.Empty();  // a layer without copper, or without positive values for a log scale
            if (empty) r.min = r.max = log ? 1 : 0;
            maps::LayerMap m;
            m.Width = b.CountPixelX;
            m.Height = b.CountPixelY;
            m.Value = [&b, q, l](uint32_t x, uint32_t y) { return MapValue(b, q, x, y, l); };
            m.Copper = [&b, l](uint32_t x, uint32_t y) { return HasCopper(b, x, y, l); };
            m.Min = r.min;
            m.Max = r.max;
            m.Log = log;
            m.Unit = MapUnit(q);
            m.Title = "Layer" + std::to_string(l + 1) + " " + MapName(q) + (o.SharedScale ? " (shared scale)" : "");
            m.MinText = empty ? "no values" : FormatQuantity(r.min, m.Unit);
            m.MaxText = empty ? "no values" : FormatQuantity(r.max, m.Unit);
            const std::string path =
                (std::filesystem::path(o.Folder) / ("Layer" + std::to_string(l + 1) + "_" + MapName(q) + ".png")).string();
            if (!maps::WriteMapPng(path, m, why)) return false;
        }
    }
    return true;
}

}  // namespace korvex::cli
