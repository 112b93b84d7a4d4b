// The compressed pattern built from stamped entries, node numbering with repeated names close
// together, and the duplicate element check, each against a plain construction written here.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "circuit.h"
#include "mna_system.h"
#include "netlist_parser.h"
#include "sim_error.h"

namespace korvex::sim {
namespace {

// Entries of every shape: repeats within a column, empty columns, a full column, one entry.
TEST(CompressPattern, MatchesASetOfEntriesAndPlacesEveryEntry)
{
    struct Case {
        int n;
        int entries;
        unsigned seed;
    };
    const Case cases[] = {{1, 1, 1}, {5, 40, 2}, {30, 20, 3}, {200, 3000, 4}, {1000, 800, 5}};
    for (const Case& c : cases) {
        std::mt19937 random(c.seed);
        std::vector<std::pair<int, int>> entries;
        for (int t = 0; t < c.entries; ++t) {
            // Half of the entries near the diagonal, so columns repeat rows often.
            const int col = static_cast<int>(random() % c.n);
            const int row = t % 2 ? static_cast<int>(random() % c.n) : std::max(0, col - static_cast<int>(random() % 3));
            entries.emplace_back(row, col);
        }
        if (c.n == 30)
            for (int r = 0; r < 30; ++r) entries.emplace_back(r, 7);  // a full column
        const std::vector<std::pair<int, int>> stamped = entries;

        std::map<int, std::set<int>> reference;  // column -> rows
        for (const auto& [row, col] : stamped) reference[col].insert(row);

        std::vector<int> slots;
        const SparsePattern pattern = compressPattern(c.n, entries, slots);
        ASSERT_EQ(pattern.n, c.n);
        ASSERT_EQ(pattern.colPtr.size(), static_cast<size_t>(c.n) + 1);
        EXPECT_EQ(pattern.colPtr[0], 0);
        std::vector<int> rows;
        for (int col = 0; col < c.n; ++col) {
            const auto found = reference.find(col);
            const std::vector<int> expected = found == reference.end() ? std::vector<int>{}
                                                                       : std::vector<int>(found->second.begin(), found->second.end());
            rows.assign(pattern.rowIdx.begin() + pattern.colPtr[col], pattern.rowIdx.begin() + pattern.colPtr[col + 1]);
            ASSERT_EQ(rows, expected) << "n " << c.n << " column " << col;
        }
        ASSERT_EQ(pattern.nonZeros(), static_cast<size_t>(pattern.colPtr[c.n]));
        ASSERT_EQ(slots.size(), stamped.size());
        for (size_t t = 0; t < stamped.size(); ++t) {
            const int slot = slots[t];
            const int col = stamped[t].second;
            ASSERT_GE(slot, pattern.colPtr[col]) << t;
            ASSERT_LT(slot, pattern.colPtr[col + 1]) << t;
            ASSERT_EQ(pattern.rowIdx[slot], stamped[t].first) << t;
        }
    }
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

// Several names used twice: the error names the line of the first element whose name an
// earlier element has, whatever order the names hash in.
TEST(DuplicateElements, FirstRepeatInLineOrderIsReported)
{
    const struct {
        const char* body;
        int line;
        const char* name;
    } cases[] = {
        {"R1 a 0 1\nR2 a 0 1\nR3 a 0 1\nR2 a 0 1\nR1 a 0 1\n", 5, "r2"},
        {"R9 a 0 1\nR8 a 0 1\nR8 a 0 1\nR9 a 0 1\n", 4, "r8"},
        {"Rlong_name_of_more_than_15 a 0 1\nR2 a 0 1\nRLONG_NAME_of_more_than_15 a 0 1\n", 4, "rlong_name_of_more_than_15"},
    };
    for (const auto& c : cases) {
        NetlistText text;
        text.loadString(std::string("t\n") + c.body + "I1 0 a 1\n.op\n.end\n");
        Circuit circuit;
        try {
            parseNetlist(text, circuit);
            ADD_FAILURE() << c.body;
        } catch (const SimError& e) {
            EXPECT_EQ(e.line(), c.line) << c.body;
            EXPECT_NE(std::string(e.what()).find("element name " + std::string(c.name) + " used twice"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace korvex::sim
