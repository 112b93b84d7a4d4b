#pragma once
// Selected curves of a diagram as CSV, for subcommands whose result is a few
// curves among others the sweep left (e.g. one port's Zin and its OptiCap).
#include <string>
#include <vector>

namespace korvex {
struct Diagram;
}  // namespace korvex

namespace korvex::cli {

// Writes the curves in `slots` that hold data, in that order, in the layout of
// SaveDiagramCurvesCsv ("frequency,NAME.re,NAME.im,..."). 0, or -1 with the reason.
int SaveSelectedCurvesCsv(const Diagram& diagram, const std::vector<int>& slots, const std::string& path,
                          std::string* reason);

}  // namespace korvex::cli
