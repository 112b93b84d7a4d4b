// The compact name stores of the circuit: node names (arena and index, with the index dropped),
// element names of 16 bytes, element value slots, and their use by the parser and the RAW file.
#include <gtest/gtest.h>

#include <string>

#include "circuit.h"
#include "netlist_parser.h"
#include "sim_test_support.h"

namespace korvex::sim {
namespace {

TEST(NodeNames, FindsEveryNodeAfterGrowthAndAfterTheIndexIsDropped)
{
    Circuit circuit;  // no reserve: the index grows many times
    const int count = 50000;
    // Names of every length from 1 to 40 characters, so the arena's ends are all exercised.
    auto name = [](int k) { return std::string(1 + k % 40, 'a' + k % 26) + std::to_string(k); };
    for (int k = 0; k < count; ++k) ASSERT_EQ(circuit.node(name(k)), k + 1);
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < count; pass == 0 ? ++k : k += 997) {
            ASSERT_EQ(circuit.node(name(k)), k + 1) << k;  // no second entry
            ASSERT_EQ(circuit.findNode(name(k)), k + 1) << k;
            ASSERT_EQ(circuit.nodeNames[k + 1], name(k)) << k;
        }
        EXPECT_EQ(circuit.nodeCount(), count + 1);
        EXPECT_EQ(circuit.findNode(name(count)), -1);
        EXPECT_EQ(circuit.findNode("n2_0"), -1);
        EXPECT_EQ(circuit.findNode(""), -1);
        circuit.releaseNodeIndex();  // second pass: lookups without the index
    }
    EXPECT_EQ(circuit.node("late"), count + 1);  // appended after the index is gone
    EXPECT_EQ(circuit.nodeNames[count + 1], "late");
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

// Tags carry the length only up to 254 characters: names past that which share a prefix are
// still told apart, before and after the index is dropped.
TEST(NodeNames, LongNamesSharingAPrefixStayApart)
{
    Circuit circuit;
    const int lengths[] = {254, 255, 256, 300, 301, 1000};
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < 6; ++k) EXPECT_EQ(circuit.node(std::string(lengths[k], 'q')), k + 1) << lengths[k];
        for (int k = 0; k < 6; ++k) EXPECT_EQ(circuit.findNode(std::string(lengths[k], 'q')), k + 1) << lengths[k];
        EXPECT_EQ(circuit.findNode(std::string(299, 'q')), -1);
        EXPECT_EQ(circuit.findNode(std::string(302, 'q')), -1);
        circuit.releaseNodeIndex();
    }
    EXPECT_EQ(circuit.nodeCount(), 7);
}

// Names differ in case only as written: the netlist's names are case-insensitive, nodes are
// numbered in order of first appearance, and the RAW file lists them in that order.
TEST(NodeNames, ParserFoldsCaseAndKeepsFirstAppearanceOrder)
{
    NetlistText text;
    text.loadString("t\nR1 Nb NA 1\nR2 na GND 1\nR3 NB n_c 1\nI1 0 N_C 1\n.op\n.end\n");
    Circuit circuit;
    parseNetlist(text, circuit);
    ASSERT_EQ(circuit.nodeCount(), 4);
    EXPECT_EQ(circuit.nodeNames[1], "nb");
    EXPECT_EQ(circuit.nodeNames[2], "na");
    EXPECT_EQ(circuit.nodeNames[3], "n_c");
    const test::DeckRun run = test::runDeck("t\nR1 Nb NA 1\nR2 na GND 1\nR3 NB n_c 1\nI1 0 N_C 1\n.op\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_GE(run.raw.names.size(), 3u);
    EXPECT_EQ(run.raw.names[0], "V(nb)");
    EXPECT_EQ(run.raw.names[1], "V(na)");
    EXPECT_EQ(run.raw.names[2], "V(n_c)");
}

TEST(ElementNames, InlineUpToFifteenCharactersAndOnTheHeapBeyond)
{
    static_assert(sizeof(ElementName) == 16);
    for (size_t length : {0, 1, 14, 15, 16, 17, 40, 300}) {
        std::string text;
        for (size_t k = 0; k < length; ++k) text += static_cast<char>('a' + k % 26);
        ElementName name(text);
        EXPECT_EQ(name.view(), text) << length;
        ElementName copy(name);
        ElementName assigned("other");
        assigned = name;
        ElementName moved(std::move(copy));
        EXPECT_EQ(moved.view(), text) << length;
        EXPECT_EQ(assigned.view(), text) << length;
        EXPECT_EQ(name.view(), text) << length;  // the copies own their characters
        assigned = ElementName("x");
        EXPECT_EQ(assigned.view(), "x");
        EXPECT_EQ(name.view(), text) << length;
        name = name;
        EXPECT_EQ(name.view(), text) << length;
    }
}

TEST(ElementValues, UnsetSlotsReadZeroAndCopiesAreIndependent)
{
    Element e;
    for (int slot = 0; slot < kValueSlots; ++slot) EXPECT_EQ(std::as_const(e).values[slot], 0.0) << slot;
    e.values[kValue] = 5;
    e.values[kRpar] = 7;
    Element copy = e;
    copy.values[kRpar] = 9;
    copy.values[kValue] = 6;
    EXPECT_EQ(std::as_const(e).values[kRpar], 7.0);
    EXPECT_EQ(std::as_const(e).values[kValue], 5.0);
    EXPECT_EQ(std::as_const(e).values[kRser], 0.0);
    EXPECT_EQ(std::as_const(copy).values[kRpar], 9.0);
}

}  // namespace
}  // namespace korvex::sim
