// Values as the user sees them: engineering text both ways and the false-colour scale.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "util/number_text.h"
#include "util/tempscale.h"

using namespace korvex;

TEST(FloatToChar, EngineeringTable)
{
    const std::pair<float, const char*> cases[] = {
        {3.5e-5f, "35\xC2\xB5"}, {1500.0f, "1.500k"}, {-0.01f, "-10m"},  {0.0f, "0"},
        {4.7e-12f, "4.700p"},    {2.2e-9f, "2.200n"}, {1.0f, "1"},        {0.5f, "500m"},
        {2.5e6f, "2.500M"},      {1e9f, "1G"},        {989.0f, "989"},    {1e-3f, "1m"},
        {1e12f, "1e+12"},        {1.5e12f, "1.500e+12"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FloatToChar(value), text) << value;
    EXPECT_EQ(FloatToChar(NAN), "nan");
}

TEST(GetDlgItemDouble, SuffixesAndFlag)
{
    const struct {
        const char* text;
        double value;
        int ok;
    } cases[] = {
        {"4.7u", 4.7e-6, 1},  {"4.7\xC2\xB5", 4.7e-6, 1}, {"4.7\xB5", 4.7e-6, 1}, {"4.7e-6", 4.7e-6, 1},
        {"1k", 1000, 1},      {"1K", 1000, 1},            {"1x", 1, 1},            {"abc", 0, 0},
        {"10m", 0.01, 1},     {"10M", 1e7, 1},            {"2g", 2e9, 1},          {"3 n", 3e-9, 1},
        {"5p", 5e-12, 1},     {"-2.5k", -2500, 1},        {"  +7", 7, 1},          {"", 0, 0},
        {"--5", 0, 0},        {"1e999", 0, 0},
    };
    for (const auto& c : cases) {
        int ok = -1;
        EXPECT_NEAR(GetDlgItemDouble(c.text, &ok), c.value, std::fabs(c.value) * 1e-12) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    EXPECT_EQ(GetDlgItemDouble(nullptr), 0.0);
    EXPECT_EQ(GetDlgItemDouble((std::string(98, ' ') + "5k").c_str()), 5.0);  // only 99 characters: no suffix
}

TEST(GetDlgItemDouble, ReadsBackEveryFloatToCharText)
{
    for (float v : {3.3e-12f, 4.7e-9f, 3.5e-5f, 0.0127f, 1.0f, 47.5f, 1500.0f, 2.2e6f, 3.3e9f, -0.25f, 1e13f}) {
        int ok = 0;
        const double back = GetDlgItemDouble(FloatToChar(v).c_str(), &ok);
        EXPECT_EQ(ok, 1);
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-3) << FloatToChar(v);
    }
}

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
