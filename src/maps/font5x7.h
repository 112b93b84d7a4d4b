#pragma once
// A 5 x 7 pixel font for the legend and axis texts: each glyph is seven rows
// of five bits, the top row first, the leftmost pixel the highest bit.
#include <cstdint>

namespace korvex::maps {

// The glyph rows of C, or null when the font has no glyph for it.
const uint8_t* Glyph(char c);

}  // namespace korvex::maps
