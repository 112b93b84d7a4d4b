#pragma once
// Whole netlists compared against files kept in tests/data/netlist. Setting
// KORVEX_UPDATE_GOLDEN=1 rewrites the files from the current output (review
// the diff before committing it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace netlist_test {

inline std::string GoldenPath(const std::string& name)
{
    return std::string(KORVEX_TEST_DATA) + "/netlist/" + name;
}

inline void ExpectGolden(const std::string& name, const std::string& text)
{
    const std::string path = GoldenPath(name);
    if (const char* update = std::getenv("KORVEX_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
        std::ofstream(path, std::ios::binary) << text;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden netlist " << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(text, expected.str()) << "netlist differs from " << path;
}

}  // namespace netlist_test
