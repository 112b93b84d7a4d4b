#pragma once
// Reading back the curve CSV files KORVEX writes ("frequency_Hz,NAME_UNIT.re,
// NAME_UNIT.im,..." or ".abs" for magnitudes) as curves of magnitudes.
#include <string>

#include "curve_plot.h"

namespace korvex::cli {

// The curves of the file with |value| per point; the plot's x label and unit
// from the first column, its y unit when all curves share one. False with the reason.
bool ReadCurveCsv(const std::string& path, maps::Plot* plot, std::string* why);

}  // namespace korvex::cli
