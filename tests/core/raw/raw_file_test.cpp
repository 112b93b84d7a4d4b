#include <gtest/gtest.h>

#include "raw/raw_file.h"
#include "raw/raw_reader_ac.h"
#include "raw/raw_reader_op.h"
#include "raw_builder.h"
#include "util/debug_log.h"

using namespace korvex;

TEST(RawFile, ValueOfIndexTwoStartsSixteenBytesAfterBinaryLine)
{
    for (bool utf16 : {false, true}) {
        RawBuilder b;
        b.names = {"V(n1_000001)", "V(n1_000002)", "I(rc1_000042_3)"};
        b.values = {1.5, 2.5, -7.25};
        b.utf16 = utf16;
        DebugCapture log;
        RawFile raw;
        std::string error;
        ASSERT_EQ(ParseRawFile(b.Bytes(), &raw, true, &error), 0) << error;
        EXPECT_EQ(log.Contains("64-Bit Version RAW Data\r\n"), utf16);
        ASSERT_EQ(raw.Variables.size(), 3u);
        EXPECT_EQ(raw.Variables[2].Name, "I(rc1_000042_3)");
        EXPECT_EQ(raw.DeclaredVariables, 3u);
        EXPECT_EQ(raw.DeclaredPoints, 1u);
        double v = 0;
        ASSERT_TRUE(raw.RealValue(2, &v));
        EXPECT_EQ(v, -7.25);
        EXPECT_FALSE(raw.RealValue(3, &v));
    }
}

TEST(RawFile, RefusesFilesWithoutMarkersOrCounts)
{
    std::string error;
    RawFile raw;
    std::string noBinary = "Title: x\nVariables:\n\t0\tV(a)\tvoltage\n";
    EXPECT_EQ(ParseRawFile({noBinary.begin(), noBinary.end()}, &raw, false, &error), -1);
    EXPECT_NE(error.find("Binary:"), std::string::npos);

    std::string noCounts = "Variables:\n\t0\tV(a)\tvoltage\nBinary:\n";
    EXPECT_EQ(ParseRawFile({noCounts.begin(), noCounts.end()}, &raw, false, &error), 0);
    EXPECT_EQ(ParseRawFile({noCounts.begin(), noCounts.end()}, &raw, true, &error), -1);

    std::string noList = "No. Variables: 1\nNo. Points: 1\nBinary:\n";
    DebugCapture log;
    EXPECT_EQ(ParseRawFile({noList.begin(), noList.end()}, &raw, true, &error), -1);
    EXPECT_TRUE(log.Contains("Variables: nicht gefunden\r\n"));

    // A UTF-16 header cut inside "Binary:" must not be read past its end.
    RawBuilder b;
    b.names = {"V(a)"};
    b.values = {1.0};
    b.utf16 = true;
    auto bytes = b.Bytes();
    bytes.resize(bytes.size() - 8 - 4);
    EXPECT_EQ(ParseRawFile(bytes, &raw, false, &error), -1);
}

// Counts far beyond what the file holds are refused by the checks, never allocated first.
TEST(RawFile, HugeDeclaredCountsAreRefusedWithoutAllocating)
{
    for (const char* counts : {"No. Variables: 4294967295\nNo. Points: 1\n", "No. Variables: 1\nNo. Points: 4294967295\n",
                               "No. Variables: 0\nNo. Points: 4294967295\n"}) {
        const std::string text = std::string("Title: x\n") + counts + "Variables:\n\t0\tV(a)\tvoltage\nBinary:\n" +
                                 std::string(8, '\0');
        RawFile raw;
        std::string error;
        ASSERT_EQ(ParseRawFile({text.begin(), text.end()}, &raw, true, &error), 0) << error;
        EXPECT_EQ(CheckOperatingPointFile(raw, &error), -1) << counts;
        EXPECT_EQ(CheckAcFile(raw, &error), -1) << counts;
    }
}

TEST(RawFile, ComplexValuesAreBoundsChecked)
{
    RawBuilder b;
    b.complex = true;
    b.points = 2;
    b.names = {"frequency", "Zin(i001)"};
    b.values = {1e3, 0, 5, -1, 2e3, 0, 6, -2};
    RawFile raw;
    std::string error;
    ASSERT_EQ(ParseRawFile(b.Bytes(), &raw, true, &error), 0);
    double re = 0, im = 0;
    ASSERT_TRUE(raw.ComplexValue(1, 1, 2, &re, &im));
    EXPECT_EQ(re, 6);
    EXPECT_EQ(im, -2);
    EXPECT_FALSE(raw.ComplexValue(2, 0, 2, &re, &im));
    EXPECT_FALSE(raw.ComplexValue(0, 2, 2, &re, &im));
}

