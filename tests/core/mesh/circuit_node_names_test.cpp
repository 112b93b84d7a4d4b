#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "mesh/circuit_node_names.h"

using namespace korvex;

namespace {
std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
}  // namespace

// What a writer puts into the netlist is what the reader finds in the simulator's
// lower-case result names, for short IDs and for IDs past six digits.
TEST(CircuitNodeNames, WrittenNamesParseBack)
{
    struct Case {
        unsigned layer;
        unsigned id;
        const char* dcNode;
        const char* acNode;
    };
    const Case cases[] = {
        {0, 1, "N0_000001", "N_L0_N000001"},
        {7, 999999, "N7_999999", "N_L7_N999999"},
        {3, 1000000, "N3_1000000", "N_L3_N1000000"},
        {1, 4294967295u, "N1_4294967295", "N_L1_N4294967295"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dcNode);
        char dc[64], ac[64];
        std::snprintf(dc, sizeof dc, KORVEX_DC_NODE, c.layer, c.id);
        std::snprintf(ac, sizeof ac, KORVEX_AC_NODE, c.layer, c.id);
        EXPECT_STREQ(dc, c.dcNode);
        EXPECT_STREQ(ac, c.acNode);

        unsigned layer = 9;
        uint64_t id = 0;
        const std::string dcVoltage = "v(" + Lower(dc) + ")";
        ASSERT_TRUE(StartsWithNoCase(dcVoltage, kDcNodeVoltagePrefix));
        ASSERT_TRUE(ParseLayerId(dcVoltage, kDcNodeVoltagePrefix.size(), &layer, &id, nullptr));
        EXPECT_EQ(layer, c.layer);
        EXPECT_EQ(id, c.id);

        size_t end = 0;
        const std::string acVoltage = "V(" + Lower(ac) + ")";
        ASSERT_TRUE(ParseAcNode(acVoltage, kAcNodeVoltagePrefix, &layer, &id, &end));
        EXPECT_EQ(layer, c.layer);
        EXPECT_EQ(id, c.id);
        EXPECT_EQ(acVoltage.substr(end), ")");
    }
}

TEST(CircuitNodeNames, ElementNamesTheReadersParseAndMalformedNamesRefused)
{
    char name[64];
    unsigned layer = 9, direction = 9;
    uint64_t id = 0;
    size_t end = 0;

    std::snprintf(name, sizeof name, KORVEX_DC_BRANCH, 1u, 42u, 3u);
    EXPECT_STREQ(name, "RC1_000042_3");
    EXPECT_TRUE(ParseLayerId("i(" + Lower(name) + ")", 4, &layer, &id, &direction));
    EXPECT_EQ(layer, 1u);
    EXPECT_EQ(id, 42u);
    EXPECT_EQ(direction, 3u);

    std::snprintf(name, sizeof name, KORVEX_AC_NODE_SOURCE, 2u, 1234567u);
    EXPECT_STREQ(name, "I_L2_N1234567");
    const std::string zin = "Zin(" + Lower(name) + ")";
    ASSERT_TRUE(ParseAcNode(zin, kAcNodeZinPrefix, &layer, &id, &end));
    EXPECT_EQ(layer, 2u);
    EXPECT_EQ(id, 1234567u);
    EXPECT_EQ(zin.substr(end), ")");

    std::snprintf(name, sizeof name, KORVEX_AC_BRANCH, 1u, 42u, 2u);
    EXPECT_STREQ(name, "R_L1_N000042_P2");
    const std::string current = "I(R" + Lower(name + 1) + ")";
    ASSERT_TRUE(ParseAcNode(current, kAcBranchCurrentPrefix, &layer, &id, &end));
    EXPECT_EQ(id, 42u);
    EXPECT_EQ(current.substr(end), "_p2)");

    // Malformed names are refused.
    EXPECT_FALSE(ParseLayerId("n2_)", 1, &layer, &id, nullptr));
    EXPECT_FALSE(ParseLayerId("n2_12x)", 1, &layer, &id, nullptr));
    EXPECT_FALSE(ParseLayerId("rc1_42_)", 2, &layer, &id, &direction));
    EXPECT_FALSE(ParseLayerId("n2_99999999999999999999999)", 1, &layer, &id, nullptr));
    EXPECT_FALSE(ParseLayerId("nx_000001)", 1, &layer, &id, nullptr));
    EXPECT_FALSE(ParseAcNode("v(n_lx_n000001)", kAcNodeVoltagePrefix, &layer, &id, &end));
    EXPECT_FALSE(ParseAcNode("v(n_l1_000001)", kAcNodeVoltagePrefix, &layer, &id, &end));
    EXPECT_FALSE(ParseAcNode("v(n1_000001)", kAcNodeVoltagePrefix, &layer, &id, &end));
}
