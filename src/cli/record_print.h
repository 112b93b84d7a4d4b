#pragma once
// Prints fixed-size records through their file layouts: as JSON objects whose
// keys are the field names, or as "Name = value" text.
#include <nlohmann/json.hpp>
#include <string>

#include "board/record_layout.h"

namespace korvex::cli {

// Shortest text that reads back to the same float ("0.1", not 0.100000001).
std::string FloatText(float value);
std::string DoubleText(double value);

nlohmann::json RecordToJson(const RecordLayout& layout, const void* record);
// One line "Name=value Name=value ..." (arrays as [a, b, ...], texts quoted).
std::string RecordToText(const RecordLayout& layout, const void* record);

}  // namespace korvex::cli
