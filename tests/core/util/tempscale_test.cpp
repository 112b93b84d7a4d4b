#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "util/tempscale.h"

using namespace korvex;

TEST(Tempscale, EndPointsOutOfRangeAndInterpolation)
{
    const auto rgb = [](double t) {
        const ColourRGB c = Tempscale(t);
        return std::array<int, 3>{c.R, c.G, c.B};
    };
    for (double t : {0.0, -3.0, double(NAN)}) EXPECT_EQ(rgb(t), (std::array<int, 3>{0, 0, 0})) << t;
    for (double t : {1.0, 7.5, double(INFINITY)}) EXPECT_EQ(rgb(t), (std::array<int, 3>{255, 230, 173})) << t;
    EXPECT_EQ(rgb(5.0 / 13.0), (std::array<int, 3>{160, 0, 0}));  // exactly table entry 5
    // Halfway between entries 6 (193,27,27) and 7 (212,65,21), truncated.
    EXPECT_EQ(rgb(6.5 / 13.0), (std::array<int, 3>{202, 46, 24}));
    // Just below 1 stays between entries 12 and 13.
    EXPECT_GE(rgb(0.9999)[1], 207);
    EXPECT_LT(rgb(0.9999)[1], 230);
}
