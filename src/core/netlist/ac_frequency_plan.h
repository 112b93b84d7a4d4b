#pragma once
// The closing blocks of the AC netlist: the skin-effect parameters and the
// frequency plan (a stepped sweep cut into sub-bands, or one frequency).
#include <cstdint>
#include <string>

#include "netlist/netlist_writer.h"

namespace korvex {

struct Settings;
struct SimMatrix;

// 0 when the AC block of the settings gives a usable plan for `mode`; else -1
// and the reason (a sweep needs Steps >= 1 and frequencies that are not
// negative, a logarithmic axis two different positive frequencies, a single
// frequency analysis a positive frequency).
int CheckAcFrequencyPlan(const Settings* settings, uint32_t mode, std::string* reason);

// ".param u0=..." through the per-layer "RDC%u" parameters.
void WriteAcParameterBlock(korvex::NetlistWriter& out, const SimMatrix* board);

// The ".step"/".param f1/f2"/".ac" lines of `mode`.
void WriteAcFrequencyPlan(korvex::NetlistWriter& out, const Settings* settings, uint32_t mode);

}  // namespace korvex
