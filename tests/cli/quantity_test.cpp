// Numbers with engineering prefixes and units as the command line reads and
// prints them, and key=value assignments to record fields.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "board/part_records.h"
#include "board/record_layout.h"
#include "board/sim_matrix.h"
#include "quantity.h"
#include "record_fields.h"

using namespace korvex;

using korvex::cli::FormatQuantity;
using korvex::cli::ParseQuantity;

TEST(Quantity, ReadsPrefixesAndUnits)
{
    const struct {
        const char* text;
        const char* unit;
        double value;
    } cases[] = {
        {"22u", "F", 22e-6},      {"2.2nF", "F", 2.2e-9},   {"35um", "m", 35e-6},   {"1.5mm", "m", 1.5e-3},
        {"1m", "m", 1.0},          {"10m", "Ohm", 0.01},     {"10mOhm", "Ohm", 0.01}, {"4.7kohm", "Ohm", 4700},
        {"1Ω", "Ohm", 1},          {"100MHz", "Hz", 1e8},    {"1meg", "Hz", 1e6},    {"1Ghz", "Hz", 1e9},
        {"3p", "F", 3e-12},        {"1f", "F", 1e-15},       {"1F", "F", 1},         {"2.5e-3", "", 2.5e-3},
        {"+4.4", "", 4.4},         {"-10m", "A", -0.01},     {"1µ", "H", 1e-6},      {"0.5nH", "H", 0.5e-9},
        {"25°C", "°C", 25},        {"1T", "Hz", 1e12},       {"7k", "", 7000},
    };
    for (const auto& c : cases) {
        double v = 0;
        std::string why;
        ASSERT_TRUE(ParseQuantity(c.text, c.unit, &v, &why)) << c.text << ": " << why;
        EXPECT_NEAR(v, c.value, std::fabs(c.value) * 1e-12) << c.text;
    }
}

TEST(Quantity, RefusesWhatIsNoNumberInItsUnit)
{
    const struct {
        const char* text;
        const char* unit;
    } cases[] = {
        {"", "F"}, {"abc", "F"}, {"10x", "F"}, {"10uH", "F"}, {"1mm", ""}, {"nan", ""}, {"inf", "Hz"},
        {"1e400", ""}, {"1 k", ""}, {"k", ""}, {"10Ohmm", "Ohm"},
    };
    for (const auto& c : cases) {
        double v = 123;
        std::string why;
        EXPECT_FALSE(ParseQuantity(c.text, c.unit, &v, &why)) << c.text;
        EXPECT_FALSE(why.empty()) << c.text;
        EXPECT_EQ(v, 123) << c.text;
    }
}

TEST(Quantity, PrintsFourSignificantDigitsWithPrefix)
{
    const struct {
        double value;
        const char* unit;
        const char* text;
    } cases[] = {
        {329999.981e-9, "F", "330µF"}, {1e8, "Hz", "100MHz"}, {1.5e-3, "m", "1.5mm"}, {0, "V", "0V"},
        {-2.5e-3, "A", "-2.5mA"},             {0.99996, "V", "1V"},   {999.96e3, "Hz", "1MHz"}, {12.345678, "W", "12.35W"},
        {35e-6, "m", "35µm"},                 {2e18, "Ohm", "2e+18Ohm"}, {1e15, "Hz", "1PHz"}, {1e-18, "F", "1e-18F"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatQuantity(c.value, c.unit), c.text) << c.value;
}

TEST(RecordFields, SetsFieldsByNameWithUnitsAndRefusesWithoutChange)
{
    Cap cap;
    std::string why;
    ASSERT_TRUE(korvex::cli::SetFields(*PartRecordLayout(PART_CAP), &cap,
                                       {"x=12", "y=7", "layer=1", "Capacitance=2.2uF", "ESR=10m", "ESL=0.5nH"}, &why))
        << why;
    EXPECT_EQ(cap.x, 12u);
    EXPECT_EQ(cap.y, 7u);
    EXPECT_EQ(cap.Layer, 1u);
    EXPECT_FLOAT_EQ(cap.Capacitance, 2.2e-6f);
    EXPECT_FLOAT_EQ(cap.ESR, 0.01f);
    EXPECT_FLOAT_EQ(cap.ESL, 0.5e-9f);

    SimMatrix board;
    InitSimulationMatrix(&board);
    ASSERT_TRUE(korvex::cli::SetField(SimMatrixHeaderLayout(), &board, "SizeZ=1.5mm,1mm,250um", &why)) << why;
    EXPECT_FLOAT_EQ(board.SizeZ[2], 250e-6f);
    EXPECT_FLOAT_EQ(board.SizeZ[3], 1e-4f);  // untouched
    ASSERT_TRUE(korvex::cli::SetField(SimMatrixHeaderLayout(), &board, "Er[3]=3.8", &why)) << why;
    EXPECT_FLOAT_EQ(board.Er[3], 3.8f);

    const SimMatrixFields before = board;  // the values only; the board owns its memory
    const char* refused[] = {"Nope=1", "SizeZ=1mm,x", "SizeZ=1,2,3,4,5,6,7,8,9", "Er[8]=1", "x", "=3", "LayerCount=1.5"};
    for (const char* text : refused) {
        EXPECT_FALSE(korvex::cli::SetField(SimMatrixHeaderLayout(), &board, text, &why)) << text;
        EXPECT_EQ(std::memcmp(board.SizeZ, before.SizeZ, sizeof board.SizeZ), 0) << text;
        EXPECT_EQ(std::memcmp(board.Er, before.Er, sizeof board.Er), 0) << text;
    }
}
