#include <gtest/gtest.h>

#include "test_files.h"
#include "util/atomic_file.h"

using namespace korvex;

using namespace test_files;

TEST(AtomicFile, ReplacesOnCommitOnlyAndLeavesNoTemporary)
{
    TempFolder t("atomic");
    const std::string target = t.Path("a.bin");
    std::ofstream(target) << "old";
    {
        korvex::AtomicFile file(target);
        std::string error;
        ASSERT_TRUE(file.Open(&error));
        ASSERT_TRUE(file.Write("partial", 7));
    }  // no Commit: the writer gave up half way
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(t.Entries(), 1u);
    std::string error;
    ASSERT_TRUE(korvex::WriteFileAtomically(target, "new data", 8, &error)) << error;
    EXPECT_EQ(ReadText(target), "new data");
    EXPECT_EQ(t.Entries(), 1u);
}

TEST(AtomicFile, ReportsUnwritableTargets)
{
    TempFolder t("atomic_bad");
    std::string error;
    EXPECT_FALSE(korvex::WriteFileAtomically(t.Path("missing/x"), "x", 1, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    fs::create_directories(t.dir / "folder");
    EXPECT_FALSE(korvex::WriteFileAtomically(t.Path("folder"), "x", 1, &error));
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(t.dir / "folder"));
}
