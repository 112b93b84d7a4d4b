#pragma once
// The names mesh nodes and copper branches carry in the netlists and in the
// simulator's result files, defined once for the writers and the RAW readers.
//
//   DC and thermal netlists   node "N<layer>_<id>"         branch resistor "RC<layer>_<id>_<direction>"
//   AC netlist                node "N_L<layer>_N<id>"      plane branch "R_L<layer>_N<id>_P<direction>",
//                                                          node source "I_L<layer>_N<id>"
//
// The layer and direction are one digit, the ID at least six digits and as
// many more as it needs. The simulator reports node voltages as "V(<node in
// lower case>)", currents as "I(<element>)" and the impedance at a node source
// as "Zin(<source in lower case>)"; the readers compare without regard to case.
#include <cstddef>
#include <cstdint>
#include <string_view>

// printf pieces of a node name, taking (layer, id); writers splice them into
// their line formats so that every netlist names nodes the same way.
#define KORVEX_DC_NODE "N%1u_%06u"
#define KORVEX_AC_NODE "N_L%1u_N%06u"
// printf pieces of the element names the readers parse back: the DC copper
// branch (layer, id, direction), the AC plane branch (layer, id, direction)
// and the AC source at a node whose impedance the sweep reports (layer, id).
#define KORVEX_DC_BRANCH "RC%1u_%06u_%1u"
#define KORVEX_AC_BRANCH "R_L%1u_N%06u_P%1u"
#define KORVEX_AC_NODE_SOURCE "I_L%1u_N%06u"

namespace korvex {

// Prefixes of the result names the readers map; the layer digit follows.
inline constexpr std::string_view kDcNodeVoltagePrefix = "v(n";      // v(n<layer>_<id>)
inline constexpr std::string_view kAcNodeVoltagePrefix = "V(n_l";    // V(n_l<layer>_n<id>)
inline constexpr std::string_view kAcNodeZinPrefix = "Zin(i_l";      // Zin(i_l<layer>_n<id>)
inline constexpr std::string_view kAcBranchCurrentPrefix = "I(R_l";  // I(R_l<layer>_n<id>_p<direction>)

// An ASCII letter in lower case, any other byte as it is: the names are ASCII, and the C
// library's tolower() is a call per character that follows the process's locale.
constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `name` starts with `prefix`, ignoring the case of ASCII letters.
inline bool StartsWithNoCase(std::string_view name, std::string_view prefix)
{
    if (name.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(name[i]) != LowerAscii(prefix[i])) return false;
    return true;
}

// Reads an unsigned decimal number at text[*pos], advancing *pos past its digits;
// false when no digit stands there or the number does not fit 64 bits. Names of
// any length parse (node IDs of 1,000,000 and more).
bool ParseUnsigned(std::string_view text, size_t* pos, uint64_t* value);

// Parses "<layer digit>_<id>" then, when `direction` is not null, "_<digit>",
// starting at `pos`; the layer and direction are single digits, the ID any length.
// The name must end there or continue with ')'.
bool ParseLayerId(std::string_view text, size_t pos, unsigned* layer, uint64_t* id, unsigned* direction);

// Parses "<prefix><layer>_n<id>" (the AC node and source names, any case),
// returning in *end the position after the ID.
bool ParseAcNode(std::string_view name, std::string_view prefix, unsigned* layer, uint64_t* id, size_t* end);

}  // namespace korvex
