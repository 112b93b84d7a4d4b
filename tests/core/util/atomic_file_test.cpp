#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/atomic_file.h"

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempFolder {
    fs::path dir = fs::temp_directory_path() / ("korvex_atomic_" + std::to_string(::getpid()));
    TempFolder() { fs::create_directories(dir); }
    ~TempFolder() { fs::remove_all(dir); }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
};
}  // namespace

TEST(AtomicFile, ReplacesTargetAndLeavesNoTemporary)
{
    TempFolder t;
    const fs::path target = t.dir / "a.bin";
    std::ofstream(target) << "old";
    std::string error;
    ASSERT_TRUE(korvex::WriteFileAtomically(target.string(), "new data", 8, &error)) << error;
    EXPECT_EQ(ReadAll(target), "new data");
    EXPECT_EQ(t.Entries(), 1u);
}

TEST(AtomicFile, DiscardedWriteKeepsPreviousFile)
{
    TempFolder t;
    const fs::path target = t.dir / "a.bin";
    std::ofstream(target) << "old";
    {
        korvex::AtomicFile file(target.string());
        std::string error;
        ASSERT_TRUE(file.Open(&error));
        ASSERT_TRUE(file.Write("partial", 7));
        // no Commit: the writer gave up half way
    }
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(t.Entries(), 1u);
}

TEST(AtomicFile, ReportsUnwritableTargets)
{
    TempFolder t;
    std::string error;
    EXPECT_FALSE(korvex::WriteFileAtomically((t.dir / "missing" / "x").string(), "x", 1, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    error.clear();
    fs::create_directories(t.dir / "folder");
    EXPECT_FALSE(korvex::WriteFileAtomically((t.dir / "folder").string(), "x", 1, &error));
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(t.dir / "folder"));
}
