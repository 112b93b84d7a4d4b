#pragma once
// Curves over frequency (or time) as a picture: axes with a grid, logarithmic
// or linear, tick labels with units, one colour per curve and a legend. The
// same layout is written as PNG (through Image) or as SVG text.
#include <functional>
#include <string>
#include <vector>

namespace korvex::maps {

struct PlotCurve {
    std::string Name;
    std::vector<double> X, Y;
};

struct Plot {
    std::string XLabel = "frequency", XUnit = "Hz";
    std::string YLabel = "|value|", YUnit;
    bool LogX = true, LogY = true;
    std::vector<PlotCurve> Curves;
    // Prints a tick value with its unit ("10MHz"); plain numbers when not set.
    std::function<std::string(double, const std::string&)> Format;
};

bool WritePlotPng(const std::string& path, const Plot& plot, std::string* why);
bool WritePlotSvg(const std::string& path, const Plot& plot, std::string* why);

// The axis ticks between LO and HI: the decades of a logarithmic axis, about
// six round steps of a linear one.
std::vector<double> AxisTicks(double lo, double hi, bool log);

}  // namespace korvex::maps
