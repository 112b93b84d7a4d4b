// The RAW file byte by byte, and the executable's command line and exit codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/wait.h>

#include "raw_writer.h"
#include "sim_test_support.h"

namespace korvex::sim::test {
namespace {

const char* kDeck = "* layout deck\nI1 0 N1_000042 2\nRC1_000042_3 N1_000042 Node_B 1\nR_L1_N000001_P0 Node_B 0 1\n.op\n.end\n";

TEST(RawLayout, HeaderLinesAndValueOffsets)
{
    const DeckRun run = runDeck(kDeck);
    ASSERT_EQ(run.exitCode, 0) << run.log;
    const std::string& bytes = run.raw.bytes;
    const size_t binary = bytes.find("Binary:\n");
    ASSERT_NE(binary, std::string::npos);
    const std::string header = bytes.substr(0, binary + 8);
    // Fixed line order; the date line varies.
    EXPECT_EQ(header.rfind("Title: * layout deck\nDate: ", 0), 0u) << header;
    const size_t plot = header.find("\nPlotname: ");
    ASSERT_NE(plot, std::string::npos);
    EXPECT_EQ(header.substr(plot),
              "\nPlotname: Operating Point\nFlags: real forward\nNo. Variables: 5\nNo. Points: 1\n"
              "Offset: 0.0000000000000000e+00\nCommand: korvex-sim\nVariables:\n"
              "\t0\tV(n1_000042)\tvoltage\n\t1\tV(node_b)\tvoltage\n\t2\tI(I1)\tdevice_current\n"
              "\t3\tI(Rc1_000042_3)\tdevice_current\n\t4\tI(R_l1_n000001_p0)\tdevice_current\nBinary:\n");
    // Value i starts 8*i bytes after the line feed of "Binary:"; nothing follows the record.
    ASSERT_EQ(bytes.size(), binary + 8 + 5 * 8);
    const double expected[] = {4.0, 2.0, 2.0, 2.0, 2.0};
    for (int i = 0; i < 5; ++i) {
        double v;
        std::memcpy(&v, bytes.data() + binary + 8 + 8 * i, 8);
        EXPECT_DOUBLE_EQ(v, expected[i]) << i;
    }
}

// The deck with a UTF-16LE header: the 8-bit header's text (but for the date) with every high
// byte zero, then the same values. Returns the 8-bit run.
DeckRun runNarrowAndWide(const std::string& deck)
{
    SimulatorOptions wideOptions;
    wideOptions.utf16 = true;
    const DeckRun narrow = runDeck(deck, {}, "narrow"), wide = runDeck(deck, wideOptions, "wide");
    EXPECT_EQ(narrow.exitCode, 0) << narrow.log;
    EXPECT_EQ(wide.exitCode, 0) << wide.log;
    const std::string& bytes = wide.raw.bytes;
    const size_t binary = bytes.find(std::string("B\0i\0n\0a\0r\0y\0:\0\n\0", 16));
    EXPECT_NE(binary, std::string::npos);
    if (binary == std::string::npos) return narrow;
    std::string text;
    size_t highBytes = 0;
    for (size_t k = 0; k < binary + 16; k += 2) {
        text += bytes[k];
        highBytes += bytes[k + 1] != '\0';
    }
    EXPECT_EQ(highBytes, 0u);
    auto withoutDate = [](std::string s) { return s.erase(s.find("Date:"), s.find('\n', s.find("Date:")) - s.find("Date:")); };
    EXPECT_TRUE(withoutDate(text) == withoutDate(narrow.raw.header));
    EXPECT_TRUE(bytes.substr(binary + 16) == narrow.raw.bytes.substr(narrow.raw.dataOffset));
    return narrow;
}

// The header is written in pieces of about 1 MiB: a header of several pieces keeps every
// line whole and numbered in order, in both encodings (the UTF-16 one the 8-bit text with
// zero high bytes), and the values follow it.
TEST(RawLayout, HeadersLargerThanOneWritePieceStayWhole)
{
    const int count = 40000;  // 80,000 variables, about 2 MiB of header
    std::string deck = "* long header\nI1 0 node_with_a_long_name_000000 1\n";
    for (int k = 0; k < count; ++k) {
        char line[128];
        std::snprintf(line, sizeof line, "R_element_with_a_long_name_%06d node_with_a_long_name_%06d node_with_a_long_name_%06d 1\n",
                      k, k, k + 1);
        deck += line;
    }
    deck += "R_end node_with_a_long_name_" + std::to_string(1000000 + count).substr(1) + " 0 1\n.op\n.end\n";
    const DeckRun run = runNarrowAndWide(deck);
    ASSERT_EQ(run.raw.names.size(), 2u * count + 3);
    std::istringstream lines(run.raw.header.substr(run.raw.header.find("Variables:\n") + 11));
    std::string line;
    for (int k = 0; k < 2 * count + 3; ++k) {
        ASSERT_TRUE(std::getline(lines, line));
        const std::string index = "\t" + std::to_string(k) + "\t";
        if (k <= count) ASSERT_EQ(line, index + "V(node_with_a_long_name_" + std::to_string(1000000 + k).substr(1) + ")\tvoltage");
        else ASSERT_EQ(line.rfind(index, 0), 0u) << line;
    }
    EXPECT_EQ(run.raw.names[count + 2], "I(R_element_with_a_long_name_000000)");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "Binary:");
    // The current source drives 1 A through count + 1 resistors of 1 ohm in series (a long
    // chain: its condition number grows with the square of the length).
    EXPECT_NEAR(run.raw.value(0, 0).real(), count + 1.0, 1e-8 * count);
    EXPECT_NEAR(run.raw.value(0, count).real(), 1.0, 1e-8);
}

// AC headers: logarithmic sweeps flagged log, steps flagged stepped with their points one after
// another, the names as saved (network quantities in lower case inside the brackets), and
// complex values to the end of the file.
TEST(RawLayout, AcFlagsPointsAndNames)
{
    const std::vector<std::string> all = {"frequency", "V(a)", "I(I1)", "I(R1)"};
    const struct {
        const char* body;
        const char* flags;
        size_t points;
        std::vector<std::string> names;
    } cases[] = {
        {"I1 0 a AC 1\nR1 a 0 1\n.ac dec 2 1k 100k\n", "complex forward log", 5, all},
        {"I1 0 a AC 1\nR1 a 0 1\n.ac oct 2 1k 4k\n", "complex forward log", 5, all},
        {"I1 0 a AC 1\nR1 a 0 1\n.ac lin 3 1k 4k\n", "complex forward", 3, all},
        {"I1 0 a AC 1\nR1 a 0 1\n.ac list 1k 4k\n", "complex forward", 2, all},
        {"I1 0 a AC 1\nR1 a 0 {r}\n.step param r list 1 2 3\n.ac lin 2 1k 2k\n", "complex forward stepped", 6, all},
        {"I_L0_N000001 N_L0_N000001 0 AC 0\nR1 N_L0_N000001 0 50\n.net I_L0_N000001\n"
         ".save Zin(I_L0_N000001) V(N_L0_N000001) I(R1)\n.ac list 1meg\n",
         "complex forward", 1, {"frequency", "Zin(i_l0_n000001)", "V(n_l0_n000001)", "I(R1)"}},
    };
    for (const auto& c : cases) {
        const DeckRun run = runDeck(std::string("* ac\n") + c.body + ".end\n");
        ASSERT_EQ(run.exitCode, 0) << run.log;
        EXPECT_NE(run.raw.header.find(std::string("\nFlags: ") + c.flags + "\n"), std::string::npos) << c.body << run.raw.header;
        EXPECT_EQ(run.raw.points, c.points) << c.body;
        EXPECT_EQ(run.raw.names, c.names) << c.body;
        EXPECT_EQ(run.raw.bytes.size(), run.raw.dataOffset + c.points * c.names.size() * 16) << c.body;
    }
}

int runExecutable(const std::string& arguments)
{
    const std::string command = std::string(KORVEX_SIM) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Executable, ExitCodesAndFilesBesideTheNetlist)
{
    const auto dir = scratchDir();
    const std::string good = writeFile(dir / "good.cir", kDeck);
    EXPECT_EQ(runExecutable("-b " + good), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "good.raw"));
    EXPECT_TRUE(std::filesystem::exists(dir / "good.log"));
    EXPECT_EQ(runExecutable("-b --utf16 " + good), 0);
    EXPECT_EQ(runExecutable("--solver=klu " + good), 0);

    // A failing run removes the RAW file of an earlier run.
    writeFile(dir / "good.cir", "* broken\nR1 a 0\n.op\n");
    EXPECT_EQ(runExecutable("-b " + good), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "good.raw"));
    EXPECT_NE(readText(dir / "good.log").find("Error on line 2"), std::string::npos);

    EXPECT_EQ(runExecutable("-b " + (dir / "missing.cir").string()), 1);
    EXPECT_NE(readText(dir / "missing.log").find("cannot open netlist"), std::string::npos);
    EXPECT_EQ(runExecutable(""), 2);
    EXPECT_EQ(runExecutable("--solver=magic " + good), 2);
    EXPECT_EQ(runExecutable("--frobnicate " + good), 2);
}

}  // namespace
}  // namespace korvex::sim::test
