#pragma once
// The summaries the simulating subcommands print on stdout.
#include <string>

namespace korvex {
struct SimMatrix;
struct Diagram;
}  // namespace korvex

namespace korvex::cli {

// One line per layer: "Layer N <what>: min ... max <unit>" over one raster.
void PrintLayerRanges(const SimMatrix& board, float*** raster, const char* what, const char* unit);
// Junction temperatures of the heat sources and temperatures of the heat sinks.
void PrintPartTemperatures(const SimMatrix& board);
// Via currents per layer, for vias that carry any.
void PrintViaCurrents(const SimMatrix& board);
// Each diagram curve: name, points and the range of its magnitude.
void PrintCurves(const Diagram& diagram);

}  // namespace korvex::cli
