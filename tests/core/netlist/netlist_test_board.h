#pragma once
// The helpers that write and look at the netlists of the small boards of
// TestBoard, built node by node so that every value can be worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../util/test_files.h"
#include "../mesh/mesh_test_support.h"
#include "netlist/element_counters.h"
#include "netlist/netlist_writer.h"

namespace korvex {

namespace netlist_test {

// Resets the program-wide element counters so that names start at 1.
class FreshCounters : public ::testing::Test {
protected:
    void SetUp() override { gElementCounters = ElementCounters{}; }
};

// What `write(NetlistWriter&)` writes, from a writer on memory.
template <class Write>
std::string Written(Write write)
{
    std::string text;
    korvex::NetlistWriter out;
    out.OpenMemory(&text);
    write(out);
    EXPECT_EQ(out.Close(), 0);
    return text;
}

// Whole netlists are compared with files in tests/data/netlist. Setting
// KORVEX_UPDATE_GOLDEN=1 rewrites the files from the current output (review
// the diff before committing it).
inline void ExpectGolden(const std::string& name, const std::string& text)
{
    const std::string path = std::string(KORVEX_TEST_DATA) + "/netlist/" + name;
    if (const char* update = std::getenv("KORVEX_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
        test_files::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "missing golden netlist " << path;
    EXPECT_EQ(text, test_files::ReadText(path)) << "netlist differs from " << path;
}

// The text `create(path)` writes to a file, after it returned 0.
template <class Create>
std::string WrittenFile(Create create)
{
    test_files::TempFolder folder("netlist_file");
    const std::string path = folder.Path("netlist.cir");
    EXPECT_EQ(create(path.c_str()), 0);
    return test_files::ReadText(path);
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Lines that start with `prefix`.
inline std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : Lines(text))
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// The whitespace-separated field `index` of a line, as a number.
inline double Field(const std::string& line, int index)
{
    std::istringstream in(line);
    std::string token;
    for (int i = 0; i <= index; ++i) in >> token;
    return std::strtod(token.c_str(), nullptr);
}

// A line expected as its text up to the last field and, in the last field, a
// value computed by hand in exact arithmetic (the writers work in single
// precision, so the printed value may differ in its seventh significant digit).
struct ValueLine {
    std::string head;
    double value;
};

inline void ExpectValueLines(const std::vector<std::string>& actual, const std::vector<ValueLine>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const size_t lastBlank = actual[i].find_last_of(' ', actual[i].size() - 2);
        EXPECT_EQ(actual[i].substr(0, lastBlank), expected[i].head);
        EXPECT_NEAR(std::strtod(actual[i].c_str() + lastBlank + 1, nullptr), expected[i].value,
                    2e-6 * std::fabs(expected[i].value) + 1e-6)
            << actual[i];
    }
}

}  // namespace netlist_test

}  // namespace korvex
