// korvex-cli citi, run as the real program.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_test_support.h"

using namespace korvex;

namespace {
// korvex-cli citi with stderr folded into the output.
CliRun Citi(const std::string& args)
{
    CliRun r = RunCli("citi " + args);
    r.out += r.err;
    return r;
}

// Three points from 1 MHz to 3 MHz; block b holds "b.i,0.5".
std::string ThreePointFile()
{
    std::string t = "CITIFILE A.01.00\r\nVAR FREQ MAG 3\r\n";
    for (const char* s : {"S[1,1]", "S[2,1]", "S[1,2]", "S[2,2]"}) t += std::string("DATA ") + s + " RI\r\n";
    t += "SEG_LIST_BEGIN\r\nSEG 1000000 3000000 3\r\nSEG_LIST_END\r\n";
    for (int b = 1; b <= 4; ++b) {
        t += "BEGIN\r\n";
        for (int i = 0; i < 3; ++i) t += std::to_string(b) + "." + std::to_string(i) + ",0.5\r\n";
        t += "END\r\n";
    }
    return t;
}

}  // namespace

TEST(CliCiti, WritesReferenceCurvesAsCsv)
{
    TempFolder f("cli_citi");
    std::ofstream(f.Path("m.D1"), std::ios::binary) << ThreePointFile();
    const CliRun r = Citi(f.Path("m.D1") + " --csv " + f.Path("m.csv"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Points: 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("S11 S12 S21 S22"), std::string::npos) << r.out;
    // S12 is the third block of the file, S21 the second.
    EXPECT_EQ(ReadFile(f.Path("m.csv")),
              "frequency_Hz,S11.re,S11.im,S12.re,S12.im,S21.re,S21.im,S22.re,S22.im\n"
              "1e+06,1,0.5,3,0.5,2,0.5,4,0.5\n"
              "2e+06,1.1,0.5,3.1,0.5,2.1,0.5,4.1,0.5\n"
              "3e+06,1.2,0.5,3.2,0.5,2.2,0.5,4.2,0.5\n");
}
