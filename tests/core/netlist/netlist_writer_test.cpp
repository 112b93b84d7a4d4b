// The fast conversions must give printf's exact text; the writer must never
// leave a half-written netlist at its path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "../util/test_files.h"
#include "netlist/netlist_format.h"
#include "netlist/netlist_writer.h"
#include "netlist/number_format.h"

using namespace korvex;
using namespace test_files;

namespace {

template <class... Args>
std::string Printf(const char* format, Args... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string Fast(char* (*append)(char*, double), double v)
{
    char text[kMaxNumberText];
    return std::string(text, append(text, v));
}

std::vector<double> InterestingDoubles()
{
    constexpr double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values = {
        0.0, -0.0, 1.0, -1.0, 0.5,
        0.0078125, 0.0234375,    // exact ties at the sixth decimal: half to even, down and up
        0.0000005, -0.0000005,   // just below or above a tie in binary
        1e-9, -1e-9, 999999.9999995, 9.999999e11, 1e12, 123456789012345.678, 1e300, -1.7976931348623157e308,
        5e-324, 2.2250738585072014e-308, inf, -inf, nan, -nan};
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> exponent(-14, 14);
    std::uniform_real_distribution<double> mantissa(1, 10);
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(random) * std::pow(10.0, std::floor(exponent(random)));
        if (i % 3 == 0) v = -v;
        if (i % 5 == 0) v = static_cast<float>(v);  // the writers mostly print floats
        values.push_back(v);
    }
    // Values on the rounding boundary of the sixth decimal, as floats produce them.
    for (int k = 0; k < 20000; ++k) values.push_back(static_cast<float>((k + 0.5) * 1e-6));
    return values;
}

}  // namespace

TEST(NumberFormat, FixedAndScientificMatchPrintf)
{
    for (double v : InterestingDoubles()) {
        ASSERT_EQ(Fast(AppendFixed, v), Printf("%f", v)) << "value " << v;
        ASSERT_EQ(Fast(AppendScientific, v), Printf("%e", v)) << "value " << v;
    }
}

TEST(NetlistFormat, FieldsAndWholeLinesMatchPrintf)
{
    for (unsigned v : {0u, 1u, 9u, 10u, 99u, 100u, 999u, 1000u, 65535u, 999999u, 1000000u, 1234567u, 4294967295u}) {
        EXPECT_EQ(FormatToString("%u", v), Printf("%u", v));
        EXPECT_EQ(FormatToString("%1u", v), Printf("%1u", v));
        EXPECT_EQ(FormatToString("%03u", v), Printf("%03u", v));
        EXPECT_EQ(FormatToString("%06u", v), Printf("%06u", v));
    }
    // Node IDs of a million and more get more digits, never a cut name.
    EXPECT_EQ(FormatToString("N%1u_%06u", 3u, 1234567u), "N3_1234567");
    EXPECT_EQ(FormatToString("RC%1u_%06u_%1u N%1u_%06u N%1u_%06u %f\n", 1, 42u, 3, 1, 42u, 1, 77u, 0.0123456789),
              Printf("RC%1u_%06u_%1u N%1u_%06u N%1u_%06u %f\n", 1u, 42u, 3u, 1u, 42u, 1u, 77u, 0.0123456789));
    const char net1[20] = "VCC";
    const char full[3] = {'A', 'B', 'C'};  // a field filled to its width has no NUL
    EXPECT_EQ(FormatToString("R%u %s %s %f\n", 7u, net1, "0", 1e-6), "R7 VCC 0 0.000001\n");
    EXPECT_EQ(FormatToString("%s|%%|%e\n", full, 2.5), "ABC|%|2.500000e+00\n");
    EXPECT_EQ(FormatToString("*TLine d=%e\n", -1.0 / 3.0), Printf("*TLine d=%e\n", -1.0 / 3.0));
}

TEST(NetlistWriter, FileAppearsOnlyWhenClosedAndMemoryTargetsTakeLongLines)
{
    TempFolder t("writer");
    const std::string path = t.Path("net.cir");
    {
        NetlistWriter writer;
        ASSERT_EQ(writer.Open(path), 0);
        for (int i = 0; i < 200000; ++i) writer.Format("R%u a b %f\n", i, i * 0.5);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(writer.Close(), 0);
    }
    const std::string text = ReadText(path);
    EXPECT_EQ(text.substr(0, 21), "R0 a b 0.000000\nR1 a ");
    EXPECT_EQ(text.substr(text.size() - 25), "R199999 a b 99999.500000\n");
    EXPECT_EQ(t.Entries(), 1u);
    // A writer abandoned half way leaves the previous netlist untouched and no leftovers.
    {
        NetlistWriter writer;
        ASSERT_EQ(writer.Open(path), 0);
        writer.Text("* partial\n");
    }
    EXPECT_EQ(ReadText(path), text);
    EXPECT_EQ(t.Entries(), 1u);

    std::string memory;  // a memory target, with a line longer than the in-place bound
    NetlistWriter writer;
    writer.OpenMemory(&memory);
    writer.Text("in memory\n");
    writer.Format("%s %u\n", std::string(20000, 'x'), 5u);
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_EQ(memory, "in memory\n" + std::string(20000, 'x') + " 5\n");
}

TEST(NetlistWriter, MissingFolderAndFullDiskAreReported)
{
    NetlistWriter missing;
    EXPECT_EQ(missing.Open("/nonexistent-korvex-folder/spice.cir"), -1);
    EXPECT_NE(missing.Error().find("cannot create /nonexistent-korvex-folder/spice.cir"), std::string::npos);
    missing.Text("dropped");
    EXPECT_EQ(missing.Close(), -1);

    TempFolder t("writer_full");
    int closeResult = 0;
    std::string error;
    {
        FileSizeLimit limit(64 * 1024);
        NetlistWriter writer;
        ASSERT_EQ(writer.Open(t.Path("net.cir")), 0);
        for (int i = 0; i < 100000; ++i) writer.Format("R%u a b %f\n", i, 1.0);
        closeResult = writer.Close();
        error = writer.Error();
    }
    EXPECT_EQ(closeResult, -1);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(t.Entries(), 0u);
}
