// Helpers of the simulator tests: a scratch folder per test and running a deck.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "raw_file.h"
#include "simulator.h"

namespace korvex::sim::test {

inline std::filesystem::path scratchDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    // One folder per process: test runs of several worktrees may run at the same time.
    auto dir = std::filesystem::temp_directory_path() / ("korvex_sim_tests_" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

struct DeckRun {
    int exitCode = -1;
    RawFile raw;
    std::string log;
};

// Runs a deck given as text in a fresh folder through the library entry point.
inline DeckRun runDeck(const std::string& text, SimulatorOptions options = {}, const std::string& name = "deck")
{
    const auto dir = scratchDir();
    const std::string path = writeFile(dir / (name + ".cir"), text);
    DeckRun run;
    run.exitCode = runSimulator(path, options);
    run.raw = readRaw((dir / (name + ".raw")).string());
    run.log = readText(dir / (name + ".log"));
    return run;
}

}  // namespace korvex::sim::test
