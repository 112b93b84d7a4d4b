#pragma once
// JSON output that never fails on the bytes it is given: part names and file names
// may come from 8-bit code pages (0xE4 for a Latin-1 "ä"), which are not UTF-8.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace korvex::cli {

// `text` unchanged when it is valid UTF-8; otherwise every byte that does not start a
// valid UTF-8 sequence stands for the character of the same number (its Latin-1 reading),
// so nothing is dropped and the result is valid UTF-8.
std::string ValidUtf8(std::string_view text);

// `value` as JSON text (indented by `indent`, -1: one line) with every string and key
// passed through ValidUtf8 first. Every JSON the command line prints goes through here.
std::string JsonText(const nlohmann::json& value, int indent = 2);

}  // namespace korvex::cli
