#pragma once
// Checks an output path before any work starts: it must not be one of the
// command's input files, its folder must take a new file, and an existing
// file is replaced only when it is something KORVEX writes (a project, bitmap,
// PNG, SVG, CSV of curves, netlist, Touchstone or JSON file of ours) or when
// --force is given.
#include <string>
#include <vector>

namespace korvex::cli {

// True when the first bytes of the file at PATH are those of a file KORVEX
// writes. A missing file is no KORVEX file.
bool IsKorvexOutput(const std::string& path);

// Empty when PATH may be written; otherwise the one-line reason.
std::string CheckOutputPath(const std::string& path, const std::vector<std::string>& inputs, bool force,
                            const std::string& what = "output");

// The same for a folder that receives several files (bitmaps, maps): it must
// be creatable or writable and not be an input file.
std::string CheckOutputFolder(const std::string& folder, const std::vector<std::string>& inputs);

}  // namespace korvex::cli
