#include <gtest/gtest.h>

#include <cmath>

#include "board/citi_file.h"
#include "board_fixtures.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace testing_board;

namespace {

// A CITI text with CR LF line ends; block b holds lines "b.i,-i".
std::string Citi(uint32_t points, const std::string& frequencies,
                 const std::vector<std::string>& order = {"S[1,1]", "S[2,1]", "S[1,2]", "S[2,2]"})
{
    std::string t = "CITIFILE A.01.00\r\nNAME DATA\r\nVAR FREQ MAG " + std::to_string(points) + "\r\n";
    for (const auto& s : order) t += "DATA " + s + " RI\r\n";
    t += frequencies;
    for (int b = 1; b <= 4; ++b) {
        t += "BEGIN\r\n";
        for (uint32_t i = 0; i < points; ++i) t += std::to_string(b) + "." + std::to_string(i) + ",-" + std::to_string(i) + "\r\n";
        t += "END\r\n";
    }
    return t;
}

std::string Segment(uint64_t start, uint64_t stop, uint32_t n)
{
    return "SEG_LIST_BEGIN\r\nSEG " + std::to_string(start) + " " + std::to_string(stop) + " " + std::to_string(n) +
           "\r\nSEG_LIST_END\r\n";
}

int Read(const TempFolder& t, const std::string& text, SPARAM* d, std::string* error = nullptr)
{
    const std::string path = t.Path("f.D1");
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    return ReadCITIFile(d, path.c_str(), error);
}

struct Sparam : SPARAM {
    ~Sparam() { freeSPARAM(this); }
};

}  // namespace

TEST(Citi, SegmentAndListFilesFillAllFourBlocksInOrder)
{
    TempFolder t("citi_seg");
    Sparam d;
    DebugCapture log;
    ASSERT_EQ(Read(t, Citi(201, Segment(1000000, 1000000000, 201)), &d), 0);
    EXPECT_EQ(d.Count, 201u);
    EXPECT_EQ(d.LogSpacing, 0u);
    EXPECT_EQ(d.FrequencyStart, 1000000u);
    EXPECT_EQ(d.FrequencyStop, 1000000000u);
    EXPECT_DOUBLE_EQ(d.S11Re[0], 1.0);
    EXPECT_DOUBLE_EQ(d.S21Re[7], 2.7);   // second block
    EXPECT_DOUBLE_EQ(d.S12Re[200], 3.2);  // third block is S12
    EXPECT_DOUBLE_EQ(d.S22Im[200], -200.0);
    EXPECT_TRUE(log.Contains("No. Points = 201\r\r\n"));
    EXPECT_TRUE(log.Contains("S22 Data found\r\r\n"));

    Sparam list;  // a frequency list gives log spacing
    ASSERT_EQ(Read(t, Citi(3, "VAR_LIST_BEGIN\r\n1000000\r\n10000000\r\n100000000\r\nVAR_LIST_END\r\n"), &list), 0);
    EXPECT_EQ(list.LogSpacing, 1u);
    EXPECT_FLOAT_EQ(list.StartExponent, 6.0f);
    EXPECT_FLOAT_EQ(list.ExponentStep, 1.0f);
    EXPECT_EQ(list.FrequencyStart, 1000000u);
    EXPECT_EQ(list.FrequencyStop, 1000000000u);  // 10^(start + Count * step)
}

TEST(Citi, Refusals)
{
    TempFolder t("citi_bad");
    const std::string good = Citi(2, Segment(10, 20, 2));
    std::string lfOnly;
    for (char c : good)
        if (c != '\r') lfOnly += c;
    struct Case {
        const char* name;
        std::string text;
        const char* log;
    };
    const Case cases[] = {
        {"order", Citi(2, Segment(10, 20, 2), {"S[1,1]", "S[1,2]", "S[2,1]", "S[2,2]"}), "DATA S[1,2] RI not found\r\r\n"},
        {"segment", Citi(2, Segment(10, 20, 3)), "Segmented List not supported\n"},
        {"nofreq", Citi(2, ""), "SEG_LIST_BEGIN not found\r\r\n"},
        {"badlist", Citi(2, "VAR_LIST_BEGIN\r\n0\r\n10\r\n"), "Frequency: couldn't read'\r\r\n"},
        {"lf", lfOnly, ""},
        {"notciti", "hello", "CITIFILE not fount\r\r\n"},
        {"novar", "CITIFILE\r\n", "VAR FREQ MAG not found\r\r\n"},
        {"count", "CITIFILE\r\nVAR FREQ MAG x\r\n", "No. Points: couldn't read'\r\r\n"},
        {"hugecount", "CITIFILE\r\nVAR FREQ MAG 4000000000\r\n" + Segment(1, 2, 4000000000u), "No. Points"},
        {"shortdata", good.substr(0, good.rfind("1,-1")), "S22 Data couldn't read'\r\r\n"},
        {"nobegin", Citi(2, Segment(10, 20, 2)).replace(good.find("\nBEGIN\r\n") + 1, 5, "BEGUN"), "BEGIN not found\n"},
    };
    for (const Case& c : cases) {
        Sparam d;
        DebugCapture log;
        std::string error;
        EXPECT_EQ(Read(t, c.text, &d, &error), -1) << c.name;
        EXPECT_TRUE(log.Contains(c.log)) << c.name << ": " << log.Text();
        EXPECT_FALSE(error.empty()) << c.name;
    }
    Sparam d;
    DebugCapture log;
    EXPECT_EQ(ReadCITIFile(&d, t.Path("none.D1").c_str()), -1);
    EXPECT_TRUE(log.Contains("nicht gefunden\r\r\n"));
}

TEST(Citi, EveryTruncationIsRefusedWithoutOverrun)
{
    TempFolder t("citi_cut");
    const std::string good = Citi(3, Segment(10, 30, 3));
    DebugCapture quiet;
    for (size_t n = 0; n + 2 < good.size(); ++n) {
        Sparam d;
        const int result = Read(t, good.substr(0, n), &d);
        // Only cuts inside the closing "END" of the last block still hold all data.
        if (n < good.rfind("\r\nEND")) {
            EXPECT_EQ(result, -1) << n;
        }
    }
    Sparam d;
    EXPECT_EQ(Read(t, good, &d), 0);
    EXPECT_EQ(freeSPARAM(&d), 0);
    EXPECT_EQ(d.S11Re, nullptr);
}
