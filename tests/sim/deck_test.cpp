// Good decks against their expected values, bad decks against their expected errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "sim_test_support.h"

namespace korvex::sim::test {
namespace {

const std::filesystem::path kData = KORVEX_SIM_TEST_DATA;

std::vector<std::string> decks(const char* folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kData / folder))
        if (entry.path().extension() == ".cir") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Copies the deck into a scratch folder (the RAW and log go beside it) and runs it.
DeckRun runDataDeck(const char* folder, const std::string& name)
{
    return runDeck(readText(kData / folder / (name + ".cir")), {}, name);
}

class GoodDeck : public ::testing::TestWithParam<std::string> {};

TEST_P(GoodDeck, MatchesExpectedValues)
{
    const DeckRun run = runDataDeck("good", GetParam());
    ASSERT_EQ(run.exitCode, 0) << run.log;
    ASSERT_TRUE(run.raw.ok);
    std::ifstream expect(kData / "good" / (GetParam() + ".expect"));
    std::string line;
    int checked = 0;
    while (std::getline(expect, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name;
        size_t point = 0;
        double re = 0, im = 0;
        fields >> name >> point >> re;
        if (!(fields >> im)) im = 0;
        const int v = run.raw.index(name);
        ASSERT_GE(v, 0) << "no variable " << name << " in the RAW of " << GetParam();
        ASSERT_LT(point, run.raw.points);
        const std::complex<double> got = run.raw.value(point, v), want(re, im);
        EXPECT_LE(std::abs(got - want), 1e-9 * std::abs(want) + 1e-15)
            << GetParam() << ": " << name << " at point " << point << " is " << got << ", expected " << want;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Decks, GoodDeck, ::testing::ValuesIn(decks("good")),
                         [](const auto& info) { return info.param; });

class BadDeck : public ::testing::TestWithParam<std::string> {};

// The title line of a bad deck reads "* expect LINE: TEXT" (LINE 0: any line).
TEST_P(BadDeck, FailsWithLineAndReason)
{
    const std::string text = readText(kData / "bad" / (GetParam() + ".cir"));
    std::smatch match;
    const std::string title = text.substr(0, text.find('\n'));
    ASSERT_TRUE(std::regex_match(title, match, std::regex(R"(\* expect (\d+): (.*))"))) << title;
    const int line = std::stoi(match[1]);
    const std::string reason = match[2];

    const DeckRun run = runDataDeck("bad", GetParam());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.raw.ok) << "a failed run must not leave a RAW file";
    EXPECT_NE(run.log.find(reason), std::string::npos) << run.log;
    if (line > 0) EXPECT_NE(run.log.find("Error on line " + std::to_string(line) + ":"), std::string::npos) << run.log;
    else EXPECT_NE(run.log.find("Error"), std::string::npos) << run.log;
}

INSTANTIATE_TEST_SUITE_P(Decks, BadDeck, ::testing::ValuesIn(decks("bad")), [](const auto& info) { return info.param; });

}  // namespace
}  // namespace korvex::sim::test
