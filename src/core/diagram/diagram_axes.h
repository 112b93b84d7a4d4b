#pragma once
// Geometry of a diagram picture: the plot rectangle, the axis scales, where
// labels and grid lines go, the mapping of values to pixels and back (mouse
// read-out) and the command a click starts. The painter only draws what these
// functions compute; tests check them without any window.
#include <cstdint>
#include <string>
#include <vector>

#include "diagram/diagram.h"

namespace korvex {

// Grid counts and scales of one layout, derived by ComputeDiagramAxes.
struct DiagramAxes {
    int GridCountX = 0;  // n of the x axis: grid steps (linear) or decades (log)
    int GridCountY = 0;  // n of the y axis: steps, decades (log) or grid lines (dB)
    float PixelPerUnitX = 0;
    float PixelPerUnitY = 0;
    float PixelPerUnitY2 = 0;  // secondary y axis
};

// One label or grid line: the value it stands for and its pixel position
// (x for the x axis, y for the y axis). For dB labels Value is in dB.
struct DiagramTick {
    float Value = 0;
    float Pixel = 0;
};

// What the mouse points at inside the plot.
struct DiagramReadout {
    double Frequency = 0;
    double Value = 0;        // impedance (linear and log axes) or magnitude (dB axis)
    double Capacitance = 0;  // capacitance whose reactance is Value at Frequency
    double Inductance = 0;   // inductance whose reactance is Value at Frequency
    double Decibel = 0;      // 20 log10 Value
};

// Largest number of grid steps or decades drawn on one axis; a grid step that
// is zero, negative or tiny against the range yields no more lines than this.
constexpr int kDiagramMaxGridLines = 1000;

// Sets rectDC to the surface (0, 0, width, height) and rectPlot from the
// margins and the font size. -1 for a null diagram or a negative size.
int SetDiagramLayout(Diagram* diagram, int width, int height);

// Fills the decade fields of the record for logarithmic and dB axes (a
// minimum not above 0 is replaced by 1.1e-12 for y and 1.0 for x) and returns
// the grid counts and the pixel scales of the current rectPlot.
int ComputeDiagramAxes(Diagram* diagram, DiagramAxes* axes);

// Pixel of a frequency on the x axis and of a value on the y axis (value not
// above 0 is taken as 1e-20 on logarithmic and dB axes). `forceLog` places the
// value on the logarithmic scale whatever the axis mode (vertical-line curves).
float DiagramXToPixel(const Diagram& diagram, const DiagramAxes& axes, float x);
float DiagramValueToPixel(const Diagram& diagram, const DiagramAxes& axes, float value, bool forceLog = false);
float DiagramSecondaryValueToPixel(const Diagram& diagram, const DiagramAxes& axes, float value);

// The plotted value of a point: the signed real part on a kYAxisSignedLinear
// axis, otherwise the magnitude sqrt(y^2 + z^2).
float DiagramPlotValue(const Diagram& diagram, const DiagramCurve& curve, int index);

std::vector<DiagramTick> DiagramYLabels(const Diagram& diagram, const DiagramAxes& axes);
std::vector<DiagramTick> DiagramXLabels(const Diagram& diagram, const DiagramAxes& axes);
std::vector<DiagramTick> DiagramYGridLines(const Diagram& diagram, const DiagramAxes& axes);
std::vector<DiagramTick> DiagramXGridLines(const Diagram& diagram, const DiagramAxes& axes);

// 1 when (px, py) lies inside rectPlot, border included.
int DiagramPointInPlot(const Diagram& diagram, int px, int py);
// The read-out at (px, py) (after ComputeDiagramAxes); -1 when the point lies
// outside the plot.
int DiagramReadoutAt(const Diagram& diagram, int px, int py, DiagramReadout* readout);

// The read-out as shown beside the mouse: "<f>Hz <v>Ohm" and "C=<c>F L=<l>H"
// on linear and log axes, the single line "<f>Hz <v>dB" on a dB axis (numbers
// in engineering notation). Right-aligned left of the mouse when it is within
// 180 pixels of the plot's right edge.
struct DiagramReadoutText {
    std::string Line1;
    std::string Line2;  // empty on a dB axis
    bool RightAligned = false;
};
DiagramReadoutText FormatDiagramReadout(const Diagram& diagram, const DiagramReadout& readout, int px);

// The analysis a click into the plot starts, by the setting DiagramClickMode:
// 0 "Simulate Z @f" (9095), 1 "Simulate Current Density @f" (9087),
// 2 "Simulate Voltage Noise @f" (9090); -1 for any other mode.
int DiagramClickCommand(uint32_t clickMode);

// Rounds a positive value up to one significant digit (0.37 -> 0.4, 12 -> 20,
// 100 -> 100). Values not above 0 or not finite come back unchanged.
float RoundUpToOneSignificantDigit(float value);

}  // namespace korvex
