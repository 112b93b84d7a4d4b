#include "util/tempscale.h"

namespace korvex {

namespace {
constexpr int kColours = 14;
constexpr ColourRGB kScale[kColours] = {
    {0, 0, 0},      {53, 34, 1},    {84, 40, 3},     {104, 16, 2},    {136, 21, 0},
    {160, 0, 0},    {193, 27, 27},  {212, 65, 21},   {234, 87, 44},   {233, 126, 28},
    {255, 170, 15}, {251, 192, 52}, {255, 207, 97},  {255, 230, 173},
};

uint8_t Blend(uint8_t a, uint8_t b, double g)
{
    return static_cast<uint8_t>(static_cast<int>(a + (b - a) * g));
}
}  // namespace

ColourRGB Tempscale(double t)
{
    if (t >= 1.0) return kScale[kColours - 1];
    if (!(t > 0.0)) return kScale[0];  // also NaN
    const double s = t * (kColours - 1);
    int i = static_cast<int>(s);
    if (i < 0) i = 0;
    if (i > kColours - 2) i = kColours - 2;
    const double g = s - i;
    const ColourRGB& lo = kScale[i];
    const ColourRGB& hi = kScale[i + 1];
    return ColourRGB{Blend(lo.R, hi.R, g), Blend(lo.G, hi.G, g), Blend(lo.B, hi.B, g)};
}

}  // namespace korvex
