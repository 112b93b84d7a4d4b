#pragma once
// Curves of a diagram as CSV text: a header "frequency_Hz,NAME_UNIT.re,
// NAME_UNIT.im,..." with each curve's name and unit, then one row per point
// (frequency from the first curve that has the point; cells of shorter curves
// stay empty). Curves that hold only a magnitude (the optimiser's and the
// fit's impedance) have one column NAME_UNIT.abs.
#include <string>

#include "diagram/diagram.h"

namespace korvex {

enum DiagramCurveSet {
    kDiagramDataCurves,       // the ten curves
    kDiagramReferenceCurves,  // the four reference curves
};

// The unit of a curve's values by its name: "ohm" for impedances (Zin, Z11c,
// OptiCap, OptiSpiceCircuit), "V" for node voltages and the voltage response,
// "A" for current stimuli, "" for ratios (S-parameters).
std::string DiagramCurveUnit(const char* name);
// True for the curves whose real part is a magnitude and whose imaginary part is unused.
bool DiagramCurveIsMagnitude(const char* name);

// The curves of the set that hold data (shown or not) as CSV text; the empty
// string when none does. `xName` heads the first column ("time" for the time
// diagram), followed by its unit ("frequency_Hz", "time_s").
std::string DiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* xName = "frequency");

// Writes that text to `path`, replacing the file safely. 0, or -1 with the
// reason in *error (nothing to write, or the file could not be written).
int SaveDiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* path, std::string* error,
                         const char* xName = "frequency");

}  // namespace korvex
