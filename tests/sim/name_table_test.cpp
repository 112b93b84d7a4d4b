// The node name index: lookups across growth, ground aliases, near-identical names.
#include <gtest/gtest.h>

#include <string>

#include "circuit.h"

namespace korvex::sim {
namespace {

TEST(NodeNames, FindsEveryNodeAfterGrowthAndRefusesAbsentOnes)
{
    Circuit circuit;  // no reserve: the table grows many times
    const int count = 50000;
    for (int k = 0; k < count; ++k) ASSERT_EQ(circuit.node("n1_" + std::to_string(k)), k + 1);
    for (int k = 0; k < count; ++k) {
        ASSERT_EQ(circuit.node("n1_" + std::to_string(k)), k + 1) << k;  // no second entry
        ASSERT_EQ(circuit.findNode("n1_" + std::to_string(k)), k + 1) << k;
    }
    EXPECT_EQ(circuit.nodeCount(), count + 1);
    EXPECT_EQ(circuit.findNode("n1_" + std::to_string(count)), -1);
    EXPECT_EQ(circuit.findNode("n2_0"), -1);
    EXPECT_EQ(circuit.findNode(""), -1);
    EXPECT_EQ(circuit.nodeNames[count], "n1_" + std::to_string(count - 1));
}

TEST(NodeNames, GroundAliasesAndPrefixes)
{
    Circuit circuit;
    EXPECT_EQ(circuit.node("0"), 0);
    EXPECT_EQ(circuit.node("gnd"), 0);
    EXPECT_EQ(circuit.findNode("gnd"), 0);
    const int a = circuit.node("x1:a");
    const int b = circuit.node("x1:ab");
    const int c = circuit.node("x1:a:b");
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(circuit.findNode("x1:a"), a);
    EXPECT_EQ(circuit.findNode("x1:"), -1);
    EXPECT_EQ(circuit.nodeCount(), 4);
}

}  // namespace
}  // namespace korvex::sim
