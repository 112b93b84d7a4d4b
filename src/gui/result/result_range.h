#pragma once
// What the result window shows of a result raster: the value range that the
// colour scale spans, the read-out texts with their units and the diagnostic
// lines a left click prints. Pure functions over the board, so tests check
// them without a window.
#include <QString>

#include "board/sim_matrix.h"

namespace korvex {
struct Mesh;
}

namespace korvex::gui {

enum ResultShow : int { kShowVoltage = 0, kShowCurrentDensity = 1, kShowTemperature = 2, kShowZin = 3 };

struct ResultRange {
    double minimum = 0;
    double maximum = 0;
    double scale = 1.0;  // 1 / (max - min), 1.0 for an empty range
};

// The raster of a view (null when the board has none).
float*** ResultRaster(const SimMatrix& board, int show);

// Fixed Min/Max, or per view: voltage over all layers, current density over
// all layers with the top 60 % saturating, temperature from the ambient up,
// Zin over the active layer only.
ResultRange ComputeResultRange(const SimMatrix& board, int show, int layer, bool autoMinMax, float minValue,
                               float maxValue);

// The value under the mouse with its unit ("1000.000 mV", "2.50e-01 A/mm",
// "25.00 °C", "0.12 Ohm"). `pitchX` is the element width in metres.
QString ResultValueText(int show, double value, double pitchX);
// The element's corner in millimetres: "(1.00, 2.50) mm".
QString ResultPositionText(int x, int y, double pitchX, double pitchY);
// Unit shown beside the legend.
QString ResultUnit(int show);

// The console lines of a left click on element (x, y): the node's value and
// neighbours, or its eight branch currents; empty where there is no node or
// for Zin.
QString ResultDiagnostics(const Mesh& mesh, int show, int layer, int x, int y);

}  // namespace korvex::gui
