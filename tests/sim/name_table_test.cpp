// The compact name stores of the circuit: node names (arena and index, with the index dropped),
// element names of 16 bytes, element value slots, and their use by the parser and the RAW file.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "circuit.h"
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

// Names that share a prefix stay apart, before and after the index is dropped; tags carry the
// length only up to 254 characters. "0" and "gnd" are ground.
TEST(NodeNames, GroundAliasesAndNamesSharingAPrefixStayApart)
{
    std::vector<std::string> names = {"x1:a", "x1:ab", "x1:a:b"};
    for (int length : {254, 255, 256, 300, 301, 1000}) names.push_back(std::string(length, 'q'));
    Circuit circuit;
    for (int pass = 0; pass < 2; ++pass) {
        for (const char* ground : {"0", "gnd"}) {
            EXPECT_EQ(circuit.node(ground), 0);
            EXPECT_EQ(circuit.findNode(ground), 0);
        }
        for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(circuit.node(names[k]), static_cast<int>(k) + 1) << names[k].size();
        for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(circuit.findNode(names[k]), static_cast<int>(k) + 1) << names[k].size();
        for (const std::string& absent : {std::string("x1:"), std::string(299, 'q'), std::string(302, 'q')})
            EXPECT_EQ(circuit.findNode(absent), -1) << absent.size();
        circuit.releaseNodeIndex();
    }
    EXPECT_EQ(circuit.nodeCount(), 10);
}

// Names that come back within a few lookups are found without the index; numbering must still
// follow first appearance, also for names that differ from a recent one in a character.
TEST(NodeNames, NamesRepeatedNearbyKeepTheirFirstNumber)
{
    Circuit circuit;
    std::map<std::string, int> reference{{"0", 0}};
    std::mt19937 random(11);
    std::vector<std::string> recent;
    for (int k = 0; k < 20000; ++k) {
        std::string name;
        if (!recent.empty() && random() % 3 != 0) name = recent[random() % recent.size()];
        else name = "n" + std::to_string(random() % 40) + (random() % 2 ? "_1" : "_10");
        recent.push_back(name);
        if (recent.size() > 6) recent.erase(recent.begin());
        const int expected = reference.emplace(name, static_cast<int>(reference.size())).first->second;
        ASSERT_EQ(circuit.node(name), expected) << name;
    }
    for (const auto& [name, number] : reference) EXPECT_EQ(circuit.findNode(name), number) << name;
}

// Names differ in case only as written: the netlist's names are case-insensitive, nodes are
// numbered in order of first appearance, and the RAW file lists them in that order.
TEST(NodeNames, ParserFoldsCaseAndKeepsFirstAppearanceOrder)
{
    const test::DeckRun run = test::runDeck("t\nR1 Nb NA 1\nR2 na GND 1\nR3 NB n_c 1\nI1 0 N_C 1\n.op\n.end\n");
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.raw.names.size(), 7u);  // three nodes and four currents
    EXPECT_EQ(std::vector<std::string>(run.raw.names.begin(), run.raw.names.begin() + 3),
              (std::vector<std::string>{"V(nb)", "V(na)", "V(n_c)"}));
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
