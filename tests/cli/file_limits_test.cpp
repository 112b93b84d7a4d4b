// Saves and simulator results under a file-size limit and on a full file system: the
// program reports the failure and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli_test_support.h"

using namespace korvex;
namespace fs = std::filesystem;

namespace {
// Names in `dir` other than those given.
std::vector<std::string> OtherFiles(const fs::path& dir, const std::vector<std::string>& expected)
{
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
    }
    return extra;
}

// In DIR, after `limit` (a shell command or ""): korvex-cli convert, and korvex-sim on an AC
// sweep whose result (90,001 points of two complex values, about 2.9 MB) is far larger than
// the room left. Both fail with exit code 1, say so, and leave only their log behind.
void ExpectWritersFailCleanly(const fs::path& dir, const std::string& limit)
{
    const std::string in = "cd '" + dir.string() + "' && " + limit;
    EXPECT_EQ(RunShell(in + std::string(KORVEX_CLI) + " convert " + kDemo + " out.sav --plain 2> err.txt"), 1);
    EXPECT_NE(ReadFile(dir / "err.txt").find("korvex-cli: "), std::string::npos) << ReadFile(dir / "err.txt");
    EXPECT_EQ(OtherFiles(dir, {"err.txt"}), std::vector<std::string>{});
    fs::remove(dir / "err.txt");

    std::ofstream(dir / "big.cir") << "* large sweep\nI1 0 a AC 1\nR1 a 0 1\n.ac dec 10000 1 1e9\n.save V(a)\n.end\n";
    EXPECT_EQ(RunShell(in + std::string(KORVEX_SIM) + " -b big.cir > /dev/null 2>&1"), 1);
    EXPECT_NE(ReadFile(dir / "big.log").find("Simulation failed"), std::string::npos) << ReadFile(dir / "big.log");
    EXPECT_EQ(OtherFiles(dir, {"big.cir", "big.log"}), std::vector<std::string>{});
}
}  // namespace

TEST(FileSizeLimit, ConvertAndSimulatorReportAndCleanUp)
{
    TempFolder t("fsize");
    ExpectWritersFailCleanly(t.dir, "ulimit -f 100 && ");
}

// A full file system: needs the right to mount a tmpfs (root, or a user namespace).
TEST(FullDisk, TinyTmpfsSaveAndSimulationReportAndCleanUp)
{
    TempFolder t("tmpfs");
    const fs::path mountPoint = t.dir / "tiny";
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "); full-disk check skipped";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{mountPoint};
    ExpectWritersFailCleanly(mountPoint, "");
}

// Output through a link and into a FIFO, as a user would give them on the command line.
TEST(OutputTargets, LinkIsFollowedAndFifoWrittenInPlace)
{
    TempFolder t("out_targets");
    fs::create_directories(t.dir / "real");
    fs::create_symlink("real/board.sav", t.dir / "link.sav");
    const CliRun viaLink = RunCli("convert " + kDemo + " link.sav --plain", t.dir);
    ASSERT_EQ(viaLink.status, 0) << viaLink.err;
    EXPECT_TRUE(fs::is_symlink(t.dir / "link.sav"));
    EXPECT_TRUE(fs::is_regular_file(t.dir / "real/board.sav"));

    ASSERT_EQ(::mkfifo(t.Path("pipe.sav").c_str(), 0600), 0);
    const int status = RunShell("cd " + t.dir.string() + " && { cat pipe.sav > copied.sav & reader=$!; } && " +
                                std::string(KORVEX_CLI) + " convert " + kDemo + " pipe.sav --plain 2> err.txt; s=$?; " +
                                "if [ $s -ne 0 ]; then kill $reader; fi; wait $reader; exit $s");
    EXPECT_EQ(status, 0) << ReadFile(t.dir / "err.txt");
    EXPECT_TRUE(fs::is_fifo(t.dir / "pipe.sav"));
    EXPECT_EQ(ReadFile(t.dir / "copied.sav"), ReadFile(t.dir / "real/board.sav"));
}
