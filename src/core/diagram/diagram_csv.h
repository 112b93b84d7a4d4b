#pragma once
// Curves of a diagram as CSV text: a header "frequency,NAME.re,NAME.im,..."
// with each curve's name, then one row per point (frequency from the first
// curve that has the point; cells of shorter curves stay empty).
#include <string>

#include "diagram/diagram.h"

namespace korvex {

enum DiagramCurveSet {
    kDiagramDataCurves,       // the ten curves
    kDiagramReferenceCurves,  // the four reference curves
};

// The curves of the set that hold data (shown or not) as CSV text; the empty
// string when none does. `xName` heads the first column ("time" for the time
// diagram).
std::string DiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* xName = "frequency");

// Writes that text to `path`, replacing the file safely. 0, or -1 with the
// reason in *error (nothing to write, or the file could not be written).
int SaveDiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* path, std::string* error,
                         const char* xName = "frequency");

}  // namespace korvex
