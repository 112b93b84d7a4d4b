// The fast conversions must give printf's exact text; the writer must never
// leave a half-written netlist at its path.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "netlist/netlist_format.h"
#include "netlist/netlist_writer.h"
#include "netlist/number_format.h"

using namespace korvex;

namespace {

std::string Printf(const char* format, double v)
{
    char text[512];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

std::string Fast(char* (*append)(char*, double), double v)
{
    char text[kMaxNumberText];
    return std::string(text, append(text, v));
}

std::vector<double> InterestingDoubles()
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.0,
                                  0.5,
                                  0.0078125,   // exact tie at the sixth decimal: half to even
                                  0.0234375,   // tie rounding up to even
                                  0.0000005,   // just below or above a tie in binary
                                  -0.0000005,
                                  1e-9,
                                  -1e-9,
                                  999999.9999995,
                                  9.999999e11,
                                  1e12,
                                  123456789012345.678,
                                  1e300,
                                  -1.7976931348623157e308,
                                  5e-324,
                                  2.2250738585072014e-308,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
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

TEST(NumberFormat, UnsignedFieldsMatchPrintf)
{
    const unsigned values[] = {0, 1, 9, 10, 99, 100, 999, 1000, 65535, 999999, 1000000, 1234567, 4294967295u};
    for (unsigned v : values) {
        char expected[64];
        for (const char* format : {"%u", "%1u", "%03u", "%06u"}) {
            std::snprintf(expected, sizeof expected, format, v);
            const std::string f = format;
            const std::string fast = f == "%u"     ? FormatToString("%u", v)
                                     : f == "%1u"  ? FormatToString("%1u", v)
                                     : f == "%03u" ? FormatToString("%03u", v)
                                                   : FormatToString("%06u", v);
            EXPECT_EQ(fast, expected) << format << " " << v;
        }
    }
    // Node IDs of a million and more get more digits, never a cut name.
    EXPECT_EQ(FormatToString("N%1u_%06u", 3u, 1234567u), "N3_1234567");
}

TEST(NetlistFormat, WholeLinesMatchPrintf)
{
    char expected[512];
    std::snprintf(expected, sizeof expected, "RC%1u_%06u_%1u N%1u_%06u N%1u_%06u %f\n", 1u, 42u, 3u, 1u, 42u, 1u, 77u,
                  0.0123456789);
    EXPECT_EQ(FormatToString("RC%1u_%06u_%1u N%1u_%06u N%1u_%06u %f\n", 1, 42u, 3, 1, 42u, 1, 77u, 0.0123456789),
              expected);
    std::snprintf(expected, sizeof expected, "R%u %s %s %f\n", 7u, "VCC", "0", 1e-6);
    const char net1[20] = "VCC";
    const char full[3] = {'A', 'B', 'C'};  // a field filled to its width has no NUL
    EXPECT_EQ(FormatToString("R%u %s %s %f\n", 7u, net1, "0", 1e-6), expected);
    EXPECT_EQ(FormatToString("%s|%%|%e\n", full, 2.5), "ABC|%|2.500000e+00\n");
    EXPECT_EQ(FormatToString("*TLine d=%e\n", -1.0 / 3.0), Printf("*TLine d=%e\n", -1.0 / 3.0));
}

namespace {
std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool OnlyFile(const std::filesystem::path& folder, const std::string& name)
{
    int count = 0;
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
        found = found || entry.path().filename() == name;
    }
    return count == 1 && found;
}
}  // namespace

TEST(NetlistWriter, FileAppearsOnlyWhenClosed)
{
    const auto folder = std::filesystem::temp_directory_path() / "korvex_writer_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto path = folder / "net.cir";
    {
        NetlistWriter writer;
        ASSERT_EQ(writer.Open(path.string()), 0);
        for (int i = 0; i < 200000; ++i) writer.Format("R%u a b %f\n", i, i * 0.5);
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(writer.Close(), 0);
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.substr(0, 21), "R0 a b 0.000000\nR1 a ");
    EXPECT_EQ(text.substr(text.size() - 25), "R199999 a b 99999.500000\n");
    EXPECT_TRUE(OnlyFile(folder, "net.cir"));

    // A writer abandoned half way leaves the previous netlist untouched and no leftovers.
    {
        NetlistWriter writer;
        ASSERT_EQ(writer.Open(path.string()), 0);
        writer.Text("* partial\n");
    }
    EXPECT_EQ(ReadFile(path), text);
    EXPECT_TRUE(OnlyFile(folder, "net.cir"));
    std::filesystem::remove_all(folder);
}

TEST(NetlistWriter, MissingFolderIsReported)
{
    NetlistWriter writer;
    EXPECT_EQ(writer.Open("/nonexistent-korvex-folder/spice.cir"), -1);
    EXPECT_NE(writer.Error().find("cannot create /nonexistent-korvex-folder/spice.cir"), std::string::npos);
    writer.Text("dropped");
    EXPECT_EQ(writer.Close(), -1);
}

TEST(NetlistWriter, FullDiskIsReported)
{
    // A file size limit makes writes fail with EFBIG the way a full disk fails with ENOSPC.
    const auto folder = std::filesystem::temp_directory_path() / "korvex_writer_full";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto path = folder / "net.cir";
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int closeResult = 0;
    std::string error;
    {
        NetlistWriter writer;
        if (writer.Open(path.string()) == 0) {
            for (int i = 0; i < 100000; ++i) writer.Format("R%u a b %f\n", i, 1.0);
            closeResult = writer.Close();
            error = writer.Error();
        }
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(closeResult, -1);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove_all(folder);
}

TEST(NetlistWriter, MemoryTarget)
{
    NetlistWriter writer;
    std::string text;
    writer.OpenMemory(&text);
    writer.Text("in memory\n");
    writer.Format("%s %u\n", std::string(20000, 'x'), 5u);  // longer than the in-place bound
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_EQ(text, "in memory\n" + std::string(20000, 'x') + " 5\n");
}
