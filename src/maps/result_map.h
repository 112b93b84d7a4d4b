#pragma once
// One layer of a result raster as a PNG colour map with a legend: the colour
// bar from the minimum (bottom) to the maximum (top) with both values and the
// unit, pixels without copper masked in grey, linear or logarithmic scale.
// The legend's numbers also go into the file as text chunks ("Minimum",
// "Maximum", "Unit", "Scale", "Title") for scripts.
#include <cstdint>
#include <functional>
#include <string>

namespace korvex::maps {

struct LayerMap {
    uint32_t Width = 0, Height = 0;  // pixels of the board
    std::function<double(uint32_t, uint32_t)> Value;
    std::function<bool(uint32_t, uint32_t)> Copper;
    double Min = 0, Max = 1;  // the scale's ends (for Log both above 0)
    bool Log = false;
    std::string Title, Unit;         // e.g. "Layer1 voltage", "V"
    std::string MinText, MaxText;    // the ends as printed ("1.2mV")
};

// The colour for V on the map's scale (t from 0 to 1 through the result colour scale).
double ScalePosition(const LayerMap& map, double v);

bool WriteMapPng(const std::string& path, const LayerMap& map, std::string* why);

// TEXT with the characters the built-in font lacks spelled out: µ → u, ° → deg, ² → ^2, Ω → ohm.
std::string AsciiText(const std::string& text);

}  // namespace korvex::maps
