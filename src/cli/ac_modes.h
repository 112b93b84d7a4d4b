#pragma once
// One vocabulary for the AC analyses on the command line: names, with the
// command numbers still accepted ("zin" or "9094").
#include <cstdint>
#include <string>

namespace korvex::cli {

// The mode for NAME or number; false with the list of names otherwise.
bool ParseAcMode(const std::string& text, uint32_t* mode, std::string* why);
// "zin", "s21" ... for a mode; "" for an unknown one.
std::string AcModeName(uint32_t mode);
// "zin | s21 | ..." for help texts.
std::string AcModeNames();

}  // namespace korvex::cli
