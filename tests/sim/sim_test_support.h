// Helpers of the simulator tests: a scratch folder per test, running a deck, and a minimal RAW
// reader (header in 8 bits or UTF-16LE, variable names, values).
#pragma once
#include <gtest/gtest.h>

#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "simulator.h"

namespace korvex::sim::test {

inline std::filesystem::path scratchRoot()
{
    // One folder per process: test runs of several worktrees may run at the same time.
    return std::filesystem::temp_directory_path() / ("korvex_sim_tests_" + std::to_string(::getpid()));
}

// Removes the process's scratch folder after the run when every test passed; a failure's files
// stay for a look.
struct ScratchCleanup : ::testing::Environment {
    void TearDown() override
    {
        std::error_code ignored;
        if (::testing::UnitTest::GetInstance()->Passed()) std::filesystem::remove_all(scratchRoot(), ignored);
    }
};
inline ::testing::Environment* const scratchCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

inline std::filesystem::path scratchDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    auto dir = scratchRoot() / name;
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

struct RawFile {
    bool ok = false;
    bool complexValues = false;
    std::string header;  // narrowed to 8 bits
    std::vector<std::string> names;
    size_t points = 0;
    size_t dataOffset = 0;  // byte offset of the values in the file
    std::string bytes;

    int index(const std::string& name) const
    {
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == name) return static_cast<int>(k);
        return -1;
    }
    std::complex<double> value(size_t point, size_t variable) const
    {
        const size_t size = complexValues ? 16 : 8;
        const size_t at = dataOffset + size * (names.size() * point + variable);
        double re = 0, im = 0;
        if (at + size > bytes.size()) return {NAN, NAN};
        std::memcpy(&re, bytes.data() + at, 8);
        if (complexValues) std::memcpy(&im, bytes.data() + at + 8, 8);
        return {re, im};
    }
};

inline RawFile readRaw(const std::string& path)
{
    RawFile raw;
    if (!std::filesystem::exists(path)) return raw;
    raw.bytes = readText(path);
    size_t end = raw.bytes.find("Binary:\n");
    if (end != std::string::npos) {
        raw.header = raw.bytes.substr(0, end + 8);
        raw.dataOffset = end + 8;
    } else {
        const std::string wide("B\0i\0n\0a\0r\0y\0:\0\n\0", 16);
        end = raw.bytes.find(wide);
        if (end == std::string::npos) return raw;
        for (size_t k = 0; k < end + 16; k += 2) raw.header += raw.bytes[k];
        raw.dataOffset = end + 16;
    }
    std::istringstream lines(raw.header);
    std::string line;
    bool inVariables = false;
    while (std::getline(lines, line)) {
        if (line.rfind("No. Points:", 0) == 0) raw.points = std::stoul(line.substr(11));
        if (line.rfind("Flags:", 0) == 0) raw.complexValues = line.find("complex") != std::string::npos;
        if (line == "Binary:") break;
        if (inVariables) {
            std::istringstream fields(line);
            std::string index, name;
            fields >> index >> name;
            raw.names.push_back(name);
        }
        if (line == "Variables:") inVariables = true;
    }
    raw.ok = true;
    return raw;
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
