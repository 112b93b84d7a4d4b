#pragma once
// Setting fields of the fixed-size records (board header, part kinds,
// settings) from "key=value" texts: the key is the record's field name, the
// value a number with engineering prefix and unit, a whole number, or text.
#include <string>
#include <string_view>
#include <vector>

#include "board/record_layout.h"

namespace korvex::cli {

// The SI unit a field is stored in ("m", "F", "Ohm", "Hz", "°C" ...), "" for
// plain numbers, flags, positions and texts.
std::string FieldUnit(std::string_view field);

// The layout's field named KEY (case-insensitive), or null.
const FieldLayout* FindField(const RecordLayout& layout, std::string_view key);

// Sets one field of RECORD (laid out by LAYOUT) from TEXT. Arrays take one
// value per element separated by commas, or "KEY[i]=value" sets one element.
// False, with the reason, for an unknown key, a bad value or a text too long
// for its field; the record is then unchanged.
bool SetField(const RecordLayout& layout, void* record, std::string_view assignment, std::string* why);

// Every assignment in turn; stops at the first refusal.
bool SetFields(const RecordLayout& layout, void* record, const std::vector<std::string>& assignments,
               std::string* why);

// The field names of LAYOUT, for messages.
std::string FieldNames(const RecordLayout& layout);

}  // namespace korvex::cli
