#pragma once
// Plausibility of a Settings record read from a file or typed by a user:
// flags are 0 or 1, the mode switches within their choices, frequencies
// finite and positive with the start below the stop, counts within what the
// mesh and the AC sweep can do.
#include <string>

#include "board/settings.h"

namespace korvex {

// Empty when every field is plausible; else the first field and why.
std::string CheckSettings(const Settings& settings);

}  // namespace korvex
