#pragma once
// The result maps of the command line: one PNG per layer and quantity, with
// its legend, copper-less pixels masked, the scale per layer or shared by all
// layers, and optionally logarithmic for impedance and current density.
#include <string>
#include <vector>

#include "board/sim_matrix.h"

namespace korvex::cli {

enum class MapQuantity { Voltage, CurrentDensity, Temperature, Impedance };

struct MapOptions {
    std::string Folder;
    bool SharedScale = false;  // one scale for all layers (else per layer)
    bool Log = false;          // logarithmic for impedance and current density
};

// File name stem and unit of a quantity: "Voltage"/"V", "CurrentDensity"/"A/mm²",
// "Temperature"/"°C", "ZIN"/"Ohm".
const char* MapName(MapQuantity q);
const char* MapUnit(MapQuantity q);

// The value a map shows at a pixel.
double MapValue(const SimMatrix& board, MapQuantity q, uint32_t x, uint32_t y, int layer);

// Writes FOLDER/Layer<n>_<name>.png for every layer and quantity. False with the reason.
bool WriteResultMaps(const SimMatrix& board, const std::vector<MapQuantity>& quantities, const MapOptions& options,
                     std::string* why);

}  // namespace korvex::cli
