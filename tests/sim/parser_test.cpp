// The parser: the duplicate element check, reading ahead on a second thread against one thread,
// and the compressed pattern built from stamped entries against a plain construction here.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "circuit.h"
#include "mna_system.h"
#include "netlist_parser.h"
#include "sim_error.h"
#include "sim_netlist_generators.h"
#include "unknown_map.h"

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
        const std::vector<std::pair<int, int>> stamped = entries;  // compressPattern empties entries
        std::vector<std::set<int>> reference(c.n);                  // rows by column
        for (const auto& [row, col] : stamped) reference[col].insert(row);

        std::vector<int> slots;
        const SparsePattern pattern = compressPattern(c.n, entries, slots);
        ASSERT_EQ(pattern.n, c.n);
        ASSERT_EQ(pattern.colPtr.size(), static_cast<size_t>(c.n) + 1);
        EXPECT_EQ(pattern.colPtr[0], 0);
        for (int col = 0; col < c.n; ++col)
            ASSERT_EQ(std::vector<int>(pattern.rowIdx.begin() + pattern.colPtr[col], pattern.rowIdx.begin() + pattern.colPtr[col + 1]),
                      std::vector<int>(reference[col].begin(), reference[col].end()))
                << "n " << c.n << " column " << col;
        ASSERT_EQ(pattern.nonZeros(), static_cast<size_t>(pattern.colPtr[c.n]));
        ASSERT_EQ(slots.size(), stamped.size());
        for (size_t t = 0; t < stamped.size(); ++t) {
            const auto [row, col] = stamped[t];
            ASSERT_GE(slots[t], pattern.colPtr[col]) << t;
            ASSERT_LT(slots[t], pattern.colPtr[col + 1]) << t;
            ASSERT_EQ(pattern.rowIdx[slots[t]], row) << t;
        }
    }
}

// Parsing the deck fails at the line given, naming the element whose name is used twice.
void expectDuplicate(const std::string& deck, int line, const std::string& name)
{
    NetlistText text;
    text.loadString(deck);
    Circuit circuit;
    try {
        parseNetlist(text, circuit);
        ADD_FAILURE() << "accepted; expected " << name << " twice at line " << line;
    } catch (const SimError& e) {
        EXPECT_EQ(e.line(), line) << name;
        EXPECT_NE(std::string(e.what()).find("element name " + name + " used twice"), std::string::npos) << e.what();
    }
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
    for (const auto& c : cases)
        expectDuplicate(std::string("t\n") + c.body + "I1 0 a 1\n.op\n.end\n", c.line, c.name);
}

// A large circuit has its names checked in two halves on two threads: the error still names
// the first element, in line order, whose name an earlier element has.
TEST(DuplicateElements, FirstRepeatInALargeCircuit)
{
    const struct {
        std::vector<std::pair<int, int>> renamed;  // line k's element takes the name of line j's
        int line;
        int name;
    } cases[] = {
        {{{50001, 11}}, 50001, 11},
        {{{60000, 2}, {30001, 30000}}, 30001, 30000},
        {{{40001, 40000}, {40002, 3}}, 40001, 40000},
        {{{101, 55001}}, 55001, 55001},  // the later line is the repeat
    };
    for (const auto& c : cases) {
        std::string deck = "large\n";
        for (int line = 2; line <= 60001; ++line) {
            int name = line;
            for (const auto& [k, j] : c.renamed)
                if (k == line) name = j;
            deck += "R" + std::to_string(name) + " n" + std::to_string(line) + " n" + std::to_string(line + 1) + " 1\n";
        }
        expectDuplicate(deck + "I1 0 n2 1\n.op\n", c.line, "r" + std::to_string(c.name));
    }
}

// Everything parsing leaves in the circuit that later stages read, or the error, as text.
std::string describe(const Circuit& circuit)
{
    std::ostringstream out;
    out << circuit.title << "|op " << circuit.op << " ac " << circuit.ac << " exprs " << circuit.exprTable.exprs.size() << "\n";
    for (int k = 0; k < circuit.nodeCount(); ++k) out << circuit.nodeNames[k] << " ";
    out << "\n";
    for (const Element& e : circuit.elements) {
        out << e.name.view() << " " << static_cast<int>(e.kind) << " line " << e.line << " nodes";
        for (int node : e.nodes) out << " " << node;
        out << " values";
        for (int slot = 0; slot < kValueSlots; ++slot) out << " " << e.values[slot];
        out << "\n";
    }
    for (const DeferredValue& d : circuit.deferred) out << "deferred " << d.element << " " << int(d.slot) << " " << d.expr << "\n";
    return out.str();
}

std::string parsedWith(const NetlistText& text, size_t split)
{
    Circuit circuit;
    try {
        parseNetlistSplitAt(text, circuit, split);
    } catch (const SimError& e) {
        return "error at line " + std::to_string(e.line()) + ": " + e.what();
    }
    return describe(circuit);
}

// Plain element lines (a name, two nodes and a number) are read by a short path of their own:
// the same elements written in forms that take the general path come out the same.
TEST(PlainLines, ReadAsTheGeneralFormsOfTheSameElements)
{
    const struct {
        const char* plain;
        const char* general;
    } cases[] = {
        {"R1 a b 1k", "R1 a b 1k r=1k"},
        {"R2,b,GND,2meg", "R2 b gnd 1 r=2meg"},
        {"R3\tb\t0\t-2.5e-3ohm", "R3 b 0 -2.5e-3ohm r=-2.5e-3"},
        {"C1 a 0 1p", "C1 a 0 1p rser=0"},
        {"L1 a b .5u", "L1 a b .5u rpar=0"},
        {"V1 a 0 5", "V1 a 0 dc 5"},
        {"I1 0 b +3m", "I1 0 b dc=+3m"},
    };
    std::string plainDeck = "t\n", generalDeck = "t\n";
    for (const auto& c : cases) {
        plainDeck += std::string(c.plain) + "\n";
        generalDeck += std::string(c.general) + "\n";
    }
    NetlistText plainText, generalText;
    plainText.loadString(plainDeck + ".op\n");
    generalText.loadString(generalDeck + ".op\n");
    EXPECT_EQ(parsedWith(plainText, SIZE_MAX), parsedWith(generalText, SIZE_MAX));
}

// The second thread's part may begin at any line: inside a subcircuit, before .end, on an
// expression value, an instance or a faulty line. Every split gives the one-thread result.
TEST(ReadAhead, EverySplitGivesTheCircuitOfOneThread)
{
    std::vector<std::string> decks = {
        "shared nodes\nR1 a b 1\nR2 b c 2\nR3 c gnd 3\nI1 0 a 1m\nR4 d a 4 r=5\nC1 d 0 1u rser=1m\n.op\n.end\n",
        "subcircuit across the split\n.subckt cell p q\nR1 p m 1\nR2 m q 2\n.ends\nX1 a 0 cell\nR3 a 0 1\nV1 a 0 1\n.op\n",
        "expressions\n.param r=2\nR1 a 0 1\nR2 a b {r*2}\nR3 b 0 r\nI1 0 a dc 1 ac 1 0\n.op\n",
        "faulty line late\nR1 a 0 1\nR2 a b 1\nR3 b 0 x\nR4 b 0 1\n.op\n",
        "unknown element late\nR1 a 0 1\nR2 a b 1\nQ3 b 0 1\n.op\n",
        "end early\nR1 a 0 1\nI1 0 a 1\n.op\n.end\nR2 a b c d e\n",
        "unclosed\nR1 a 0 1\n.subckt s p\nR2 p 0 1\nR3 p 0 1\n.op\n",
        "duplicate across the split\nR1 a 0 1\nR2 a b 1\nR1 b 0 1\nI1 0 a 1\n.op\n",
        "lines and tline\nT1 a 0 b 0 td=1n z0=50\nR1 b 0 50\nV1 a 0 ac 1\n.ac lin 3 1meg 3meg\n",
    };
    for (const char* dir : {"good", "bad"})
        for (const auto& entry : std::filesystem::directory_iterator(std::string(KORVEX_SIM_TEST_DATA) + "/" + dir))
            if (entry.path().extension() == ".cir") {
                std::ifstream in(entry.path());
                decks.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
    for (const std::string& deck : decks) {
        NetlistText text;
        text.loadString(deck);
        const std::string expected = parsedWith(text, SIZE_MAX);
        for (size_t split = 0; split <= text.lines().size(); ++split)
            ASSERT_EQ(parsedWith(text, split), expected) << "split at line " << split << " of\n" << deck;
    }
}

TEST(ReadAhead, LargeNetlistIsSplitAndGivesTheSameCircuit)
{
    const std::string path = ::testing::TempDir() + "read_ahead_mesh.cir";
    ASSERT_TRUE(bench::writeDcMeshNetlist(path, 120));
    NetlistText text;
    std::string error;
    ASSERT_TRUE(text.loadFile(path, error)) << error;
    std::filesystem::remove(path);
    ASSERT_GT(text.lines().size(), 50000u);  // parseNetlist reads ahead from this size on
    Circuit circuit;
    parseNetlist(text, circuit);
    EXPECT_EQ(describe(circuit), parsedWith(text, SIZE_MAX));
}

// Unknowns: free nodes in node order, then one current per short, inductor at DC and floating
// ideal source, in element order; a grounded ideal source fixes its node instead.
TEST(UnknownMap, NodesThenBranchesInElementOrder)
{
    NetlistText text;
    text.loadString("branches\nR1 a b 1\nL1 b c 1u\nV1 a 0 1\nR2 c 0 0\nI1 0 d 1\nV2 c d 1\nL2 d 0 1u rser=1\n.op\n");
    Circuit circuit;
    parseNetlist(text, circuit);
    const UnknownMap map = buildUnknownMap(circuit, true);
    // Nodes a 1, b 2, c 3, d 4; a is held by V1 (element 2), b c d are unknowns 0 1 2.
    EXPECT_EQ(map.nodeCode, (std::vector<int>{kGround, fixedCode(0), 0, 1, 2}));
    EXPECT_EQ(map.fixedSource, (std::vector<uint32_t>{2}));
    EXPECT_EQ(map.branch, (std::vector<int>{-1, 3, -1, 4, -1, 5, -1}));
    EXPECT_EQ(map.unknownElement, (std::vector<uint32_t>{0, 0, 0, 1, 3, 5}));
    EXPECT_EQ(map.size, 6);
    EXPECT_EQ(map.branchCount, 3);
}

}  // namespace
}  // namespace korvex::sim
