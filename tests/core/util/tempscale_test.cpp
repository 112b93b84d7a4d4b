#include <gtest/gtest.h>

#include <cmath>

#include "util/tempscale.h"

namespace {
void ExpectColour(ColourRGB c, int r, int g, int b)
{
    EXPECT_EQ(c.R, r);
    EXPECT_EQ(c.G, g);
    EXPECT_EQ(c.B, b);
}
}  // namespace

TEST(Tempscale, EndPointsAndOutOfRange)
{
    ExpectColour(Tempscale(0.0), 0, 0, 0);
    ExpectColour(Tempscale(-3.0), 0, 0, 0);
    ExpectColour(Tempscale(NAN), 0, 0, 0);
    ExpectColour(Tempscale(1.0), 255, 230, 173);
    ExpectColour(Tempscale(7.5), 255, 230, 173);
    ExpectColour(Tempscale(INFINITY), 255, 230, 173);
}

TEST(Tempscale, InterpolatesBetweenNeighbours)
{
    ExpectColour(Tempscale(5.0 / 13.0), 160, 0, 0);  // exactly table entry 5
    // Halfway between entries 6 (193,27,27) and 7 (212,65,21), truncated.
    ExpectColour(Tempscale(6.5 / 13.0), 202, 46, 24);
    // Just below 1 stays between entries 12 and 13.
    const ColourRGB c = Tempscale(0.9999);
    EXPECT_GE(c.G, 207);
    EXPECT_LT(c.G, 230);
}
