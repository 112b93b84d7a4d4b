#pragma once
// What the commands that place parts share: the kind names of the command
// line, a record with the defaults of a new part, the numbering field of a
// kind, and the check of a placed or changed part.
#include <cstdint>
#include <string>
#include <vector>

#include "board/record_layout.h"
#include "board/sim_matrix.h"

namespace korvex::cli {

// PART_* for "via", "current", ... (case-insensitive) or the kind code; 0 otherwise.
uint32_t KindFromName(std::string name);
// "via, current, resistor, ..." for messages.
std::string PartKindNames();
// A record of the kind with the defaults of a new part, as bytes.
std::vector<uint8_t> DefaultRecord(uint32_t kind);
// The field that numbers ports (ID), capacitors (Ref) and subcircuits (Reference); null for other kinds.
const FieldLayout* IdentityField(uint32_t kind);
// Appends a part of KIND with the defaults, the next free number and the
// assignments; refused (nothing added) with the reason.
std::string AddPartFromFields(SimMatrix& board, uint32_t kind, const std::vector<std::string>& assignments,
                              Part** added);
// Refuses a second part of the kind with the same number, a number beyond the
// largest one, and a position off the board or on a missing layer.
std::string CheckChanged(const SimMatrix& board, const Part* part);

}  // namespace korvex::cli
