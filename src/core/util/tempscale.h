#pragma once
// The colour scale of the result maps and the false-colour bitmaps: 14 colours
// from black through dark red and orange to pale yellow.
#include <cstdint>

namespace korvex {

struct ColourRGB {
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
};

// Colour for a normalised value: t <= 0 (and NaN) black, t >= 1 the brightest
// colour, linear interpolation between neighbouring table colours in between.
ColourRGB Tempscale(double t);

}  // namespace korvex
