// Expressions, numbers with suffixes and tokens.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <string>

#include "expression.h"
#include "netlist_text.h"
#include "sim_error.h"
#include "sim_test_support.h"

namespace korvex::sim {
namespace {

double eval(const std::string& text)
{
    auto expr = parseExpression(text, 1);
    return evaluateExpression(
        *expr, [](const std::string& name) -> double {
            if (name == "x") return 0.25;
            if (name == "two") return 2;
            throw SimError(1, "undefined parameter '" + name + "'");
        },
        1);
}

struct Case {
    std::string text;
    double value;
};

TEST(Expression, EvaluatesOperatorsFunctionsAndSuffixes)
{
    const Case cases[] = {
        {"1+2*3", 7}, {"(1+2)*3", 9}, {"2^3^2", 512}, {"2**3", 8}, {"-2^2", -4}, {"-(-3)", 3},
        {"10/4/5", 0.5}, {"1k", 1e3}, {"1meg", 1e6}, {"1m", 1e-3}, {"3u*2", 6e-6}, {"5n", 5e-9},
        {"2p", 2e-12}, {"7f", 7e-15}, {"1g", 1e9}, {"1t", 1e12}, {"1.5e3", 1500}, {".5", 0.5},
        {"sqrt(16)", 4}, {"pow(2, 10)", 1024}, {"hypot(3,4)", 5}, {"abs(-2)", 2}, {"exp(0)", 1},
        {"log(exp(2))", 2}, {"log10(1000)", 3}, {"sin(0)+cos(0)", 1}, {"tan(0)", 0}, {"atan(0)", 0},
        {"min(3, 1, 2)", 1}, {"max(3, 1, 2)", 3}, {"pi", M_PI}, {"2*pi*x", M_PI / 2}, {"two*x", 0.5},
        {"table(x, 0, 10, 1, 20)", 12.5}, {"table(-1, 0, 10, 1, 20)", 10}, {"table(5, 0, 10, 1, 20)", 20},
        {"table(1.5, 0, 0, 1, 10, 2, 30)", 20}, {"table(x+0.75, 0, 1, 1, 2)", 2}, {"8-2-1", 5}, {"8-(2-1)", 7},
        {"8/2*4", 16}, {"8/(2*4)", 1}, {std::string(100, '(') + "2" + std::string(100, ')'), 2},
    };
    for (const Case& c : cases) EXPECT_NEAR(eval(c.text), c.value, 1e-12 * std::max(1.0, std::fabs(c.value))) << c.text;
}

TEST(Expression, RefusesBadInputWithAReason)
{
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"1/0", "division by zero"}, {"1/(x-0.25)", "division by zero"}, {"foo(1)", "unknown function"},
        {"sqrt(1,2)", "wrong number of arguments"}, {"table(1, 2)", "arguments for table"}, {"(1+2", "missing ')'"},
        {"1+", "missing operand"}, {"2x", "bad number"}, {"y+1", "undefined parameter 'y'"},
        {"sqrt(-1)", "sqrt of a negative"}, {"log(0)", "not positive"}, {"exp(1000)", "not finite"},
        {"table(0.5, 1, 0, 0, 1)", "ascend"}, {"1 2", "unexpected"}, {"1*2/(x-x)*3", "division by zero"},
    };
    for (const auto& c : cases) {
        try {
            eval(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const SimError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << c.text << ": " << e.what();
        }
    }
}

// Nesting a hundred thousand deep is an error, not a stack overflow; chains of a million terms
// evaluate and are destroyed without a recursion as deep as the chain.
TEST(Expression, DeepNestingFailsAndLongChainsEvaluate)
{
    EXPECT_THROW(eval(std::string(100000, '(') + "1" + std::string(100000, ')')), SimError);
    EXPECT_THROW(eval(std::string(100000, '-') + "1"), SimError);
    const int terms = 1000000;
    std::string sum = "1", mixed = "(4", product = "1";
    for (int i = 1; i < terms; ++i) {
        sum += "+1";
        mixed += i % 2 ? "-1" : "+1";
        product += i % 2 ? "*two" : "/two";
    }
    mixed += ")-1";  // a parenthesised chain continued outside its parentheses
    EXPECT_DOUBLE_EQ(eval(sum), terms);
    EXPECT_DOUBLE_EQ(eval(mixed), 2.0);  // 4, 999,999 alternating terms starting with -1, then -1
    EXPECT_DOUBLE_EQ(eval(product), 2.0);  // an odd count of *two and /two after the first 1
}

TEST(SpiceNumber, AcceptsUnitsAndRefusesGarbage)
{
    double v = 0;
    for (const Case& c : {Case{"10uF", 10e-6}, Case{"2.2megohm", 2.2e6}, Case{"-1.000000e-03", -1e-3}, Case{"+4", 4}}) {
        EXPECT_TRUE(parseSpiceNumber(c.text, v)) << c.text;
        EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
    for (const char* bad : {"", "k", "abc", "1.5.3", "1e3/2", "inf", "nan", "-", "{1}"})
        EXPECT_FALSE(parseSpiceNumber(bad, v)) << bad;
}

TEST(Tokenize, KeepsBracketsAndJoinsAssignments)
{
    std::vector<Token> tokens;
    tokenize("v1 a 0 rser = 50 ac=1 {1 + 2} table(x, 0, 1) cpar= 1p lser =2n", 1, tokens);
    ASSERT_EQ(tokens.size(), 9u);
    EXPECT_TRUE(tokens[3].assign);
    EXPECT_EQ(tokens[3].key, "rser");
    EXPECT_EQ(tokens[3].value, "50");
    EXPECT_EQ(tokens[5].text, "{1 + 2}");
    EXPECT_EQ(tokens[6].text, "table(x, 0, 1)");
    EXPECT_EQ(tokens[7].value, "1p");
    EXPECT_EQ(tokens[8].key, "lser");
    EXPECT_EQ(tokens[8].value, "2n");
    EXPECT_THROW(tokenize("r1 a b {1+(2}", 1, tokens), SimError);
    EXPECT_THROW(tokenize("r1 a b 1)", 1, tokens), SimError);
    EXPECT_THROW(tokenize("r1 a b rser=", 1, tokens), SimError);
}

// Lines of plain words split at blanks and commas, the same as when the line also holds an
// assignment (which takes the bracket-aware path).
TEST(Tokenize, PlainWordsSplitLikeTheFullPath)
{
    const struct {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"r1 n1 n2 0.5", {"r1", "n1", "n2", "0.5"}},
        {"  r1\tn1,,n2 ,\v 0.5\r", {"r1", "n1", "n2", "0.5"}},
        {",", {}},
        {"i1 0 a dc 1 ac 2 45", {"i1", "0", "a", "dc", "1", "ac", "2", "45"}},
    };
    std::vector<Token> plain, full;
    for (const auto& c : cases) {
        tokenize(c.line, 1, plain);
        ASSERT_EQ(plain.size(), c.words.size()) << c.line;
        const std::string withAssignment = std::string(c.line) + " k=1";
        tokenize(withAssignment, 1, full);
        ASSERT_EQ(full.size(), c.words.size() + 1) << c.line;
        for (size_t k = 0; k < plain.size(); ++k) {
            EXPECT_EQ(plain[k].text, c.words[k]) << c.line;
            EXPECT_FALSE(plain[k].assign);
            EXPECT_TRUE(plain[k].key.empty() && plain[k].value.empty());
            EXPECT_EQ(full[k].text, c.words[k]) << c.line;
        }
    }
}

TEST(NetlistText, JoinsContinuationsAndDropsComments)
{
    NetlistText text;
    text.loadString("Title Line\r\n* comment\nR1 A B ; tail\n+ 10K\n\n  ; only a comment\nC1 a 0 1u\n");
    ASSERT_EQ(text.lines().size(), 2u);
    EXPECT_EQ(text.title(), "Title Line");
    EXPECT_EQ(text.lines()[0].line, 3);
    EXPECT_EQ(text.lines()[0].text, "r1 a b  10k");
    EXPECT_EQ(text.lines()[1].line, 7);
    EXPECT_EQ(text.originalLine(3), "R1 A B ; tail");
}

// Error messages quote the original line, also once the text has been freed after parsing:
// the line is found again in the file by counting line feeds.
TEST(NetlistText, OriginalLinesFromTheFileAfterRelease)
{
    std::string deck = "Title\r\n";
    for (int k = 2; k <= 30000; ++k) deck += "R" + std::to_string(k) + " A B 1\n";  // past one read buffer
    deck += "C1 a 0 " + std::string(300, '1');  // last line: no line feed, longer than 200
    const std::string path = test::writeFile(test::scratchDir() / "original.cir", deck);
    NetlistText text;
    std::string error;
    ASSERT_TRUE(text.loadFile(path, error)) << error;
    text.release();
    EXPECT_TRUE(text.lines().empty());
    const struct {
        int line;
        std::string expected;
    } cases[] = {{1, "Title"}, {2, "R2 A B 1"}, {4321, "R4321 A B 1"}, {30000, "R30000 A B 1"},
                 {30001, ("C1 a 0 " + std::string(300, '1')).substr(0, 200)}, {30002, ""}, {0, ""}};
    for (const auto& c : cases) EXPECT_EQ(text.originalLine(c.line), c.expected) << c.line;
}

// Continuations append to one copy of the line: memory in proportion to the line, not to
// the square of its continuation count (5,000 lines of 10 bytes held 125 MB that way).
TEST(NetlistText, ManyContinuationsStayInProportion)
{
    const int continuations = 5000;
    std::string deck = "title\n.param p=1";
    for (int k = 0; k < continuations; ++k) deck += "\n+ q" + std::to_string(10000 + k) + "=1";
    deck += "\n.end\n";
    const size_t before = mallinfo2().uordblks;
    NetlistText text;
    text.loadString(deck);
    const size_t held = mallinfo2().uordblks - before;
    ASSERT_EQ(text.lines().size(), 2u);
    EXPECT_EQ(text.lines()[0].text.size(), std::string(".param p=1").size() + continuations * std::string("  q10000=1").size());
    EXPECT_EQ(text.lines()[0].text.substr(text.lines()[0].text.size() - 9), " q14999=1");
    EXPECT_LT(held, 20 * deck.size());
}

}  // namespace
}  // namespace korvex::sim
