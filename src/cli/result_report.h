#pragma once
// What a simulating subcommand reports on stdout: per layer the minimum,
// maximum and mean of a result over the pixels that carry copper, each with
// its unit; via currents; junction and heat-sink temperatures; the curves.
// Printed as text with engineering numbers, or as one JSON object (--json).
#include <nlohmann/json.hpp>
#include <string>

namespace korvex {
struct SimMatrix;
struct Diagram;
}  // namespace korvex

namespace korvex::cli {

struct LayerRange {
    double Min = 0, Max = 0, Mean = 0;
    uint64_t Pixels = 0;  // copper pixels the range is taken over; 0: no copper
};

// VALUE(x, y) over the copper pixels of LAYER.
template <class Value>
LayerRange RangeOverCopper(const SimMatrix& board, int layer, Value value);

// Current density magnitude in A/mm² at a pixel: the pixel's x and y currents
// over their cross-sections (pixel side times copper thickness).
double DcCurrentDensity(const SimMatrix& board, uint32_t x, uint32_t y, int layer);
// The same from the magnitude raster alone (AC maps), over the mean pixel side.
double CurrentDensityFromMagnitude(const SimMatrix& board, uint32_t x, uint32_t y, int layer);

class ResultReport {
public:
    ResultReport(std::string analysis, std::string project);
    // One quantity per layer over copper pixels; KEY names it in JSON.
    void AddLayerRanges(const SimMatrix& board, const std::string& key, const std::string& label,
                        const std::string& unit, double (*value)(const SimMatrix&, uint32_t, uint32_t, int));
    void AddRasterRanges(const SimMatrix& board, float*** raster, const std::string& key, const std::string& label,
                         const std::string& unit);
    void AddViaCurrents(const SimMatrix& board);
    void AddPartTemperatures(const SimMatrix& board);
    void AddCurves(const Diagram& diagram);
    void Add(const std::string& key, nlohmann::json value) { json_[key] = std::move(value); }
    // A line of text (only shown without --json).
    void Line(const std::string& text) { text_ += text + "\n"; }
    void Print(bool json) const;
    const nlohmann::json& Json() const { return json_; }

private:
    nlohmann::json json_;
    std::string text_;
};

}  // namespace korvex::cli

#include "board/sim_matrix.h"

template <class Value>
korvex::cli::LayerRange korvex::cli::RangeOverCopper(const SimMatrix& b, int layer, Value value)
{
    LayerRange r;
    double sum = 0;
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y) {
            if (!HasCopper(b, x, y, layer)) continue;
            const double v = value(x, y);
            if (r.Pixels == 0 || v < r.Min) r.Min = v;
            if (r.Pixels == 0 || v > r.Max) r.Max = v;
            sum += v;
            ++r.Pixels;
        }
    r.Mean = r.Pixels ? sum / static_cast<double>(r.Pixels) : 0;
    return r;
}
