// The program among other processes and on a file system that fails it:
// - two jobs in one work folder, and result files this run did not write:
//   never another board's results reported as this board's;
// - korvex-cli stopped by SIGINT or SIGTERM while the simulator runs: the
//   simulator is gone, the --save target is untouched, exit code 128 + signal;
// - saves and simulator results under a file-size limit and on a full file
//   system: the program reports the failure and leaves no temporary file
//   behind; output through a link and into a FIFO.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "board/project_file.h"
#include "board/raster.h"
#include "board/voltage_noise_param.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"
#include "support/board_generator.h"

using namespace korvex;

namespace fs = std::filesystem;

namespace {
// The demo board with every load current set to `amperes`.
void SaveWithCurrent(const std::string& path, double amperes)
{
    SaveEditedDemo(path, [amperes](SimMatrix& board) {
        for (Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_CURRENT) PartRecord<Current>(p)->Current = amperes;
    });
}

int ExitStatusIn(const fs::path& file)
{
    return std::atoi(ReadFile(file).c_str());
}
}  // namespace

TEST(WorkFolder, TwoJobsInOneFolderNeverSwapResults)
{
    TempFolder t("two_jobs");
    SaveWithCurrent(t.Path("a.sav"), 2.0);
    SaveWithCurrent(t.Path("b.sav"), 4.0);
    fs::create_directories(t.dir / "alone_a");
    fs::create_directories(t.dir / "alone_b");
    fs::create_directories(t.dir / "shared");
    const CliRun a = RunCli("dc a.sav --workdir alone_a", t.dir), b = RunCli("dc b.sav --workdir alone_b", t.dir);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    ASSERT_NE(a.out, b.out);

    const std::string cli = KORVEX_CLI;
    int refused = 0;
    for (int round = 0; round < 4; ++round) {
        const std::string script = "cd '" + t.dir.string() + "' && { (" + cli +
                                   " dc a.sav --workdir shared > a.out 2> a.err; echo $? > a.status) & (" + cli +
                                   " dc b.sav --workdir shared > b.out 2> b.err; echo $? > b.status) & wait; }";
        ASSERT_EQ(std::system(script.c_str()), 0);
        for (const auto& [name, alone] : {std::pair{"a", &a}, std::pair{"b", &b}}) {
            const std::string prefix = t.Path(name);
            const int status = ExitStatusIn(prefix + ".status");
            if (status == 0) {
                EXPECT_EQ(ReadFile(prefix + ".out"), alone->out) << name << " in round " << round;
            } else {
                ++refused;
                EXPECT_EQ(status, 1);
                EXPECT_NE(ReadFile(prefix + ".err").find("another job is running in the work folder"), std::string::npos)
                    << ReadFile(prefix + ".err");
            }
        }
    }
    std::printf("%d of 8 runs refused while the other job held the folder\n", refused);
}

// A run that writes its bitmaps and saves its results; then a simulator that exits 0 without
// writing a result: an old result file of another board in the folder is not read.
TEST(WorkFolder, ResultNotWrittenByThisRunIsRefused)
{
    TempFolder t("stale_result");
    SaveWithCurrent(t.Path("a.sav"), 2.0);
    const std::string keep = t.Script("keep.sh", std::string(KORVEX_SIM) + " \"$@\" && cp \"${2%.cir}.raw\" '" +
                                                     t.Path("kept.raw") + "'");
    CliRun r = RunCli("dc a.sav --workdir . --bmps maps --save --simulator " + keep, t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(t.dir / "kept.raw"));
    EXPECT_TRUE(fs::exists(t.dir / "maps" / "Layer1_Voltage.bmp"));
    EXPECT_GT(MaxOfMatrix(Stored(t.dir / "a.sav").Board().VoltageMatrix, 160, 100, 2), 0.001);  // stored by --save
    fs::copy_file(t.dir / "kept.raw", t.dir / "spice_electrical.raw");
    r = RunCli("dc a.sav --workdir . --simulator /bin/true", t.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("without writing the result file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

// korvex-sim twice at once on one netlist: each run writes its own temporary file, so both
// finish and a complete result stays, with no temporary file left over.
TEST(WorkFolder, TwoSimulatorRunsOnOneNetlistBothLeaveAResult)
{
    TempFolder t("two_sims");
    std::string deck = "* ladder\nV1 n0 0 1\n";
    for (int k = 1; k <= 50000; ++k)
        deck += "R" + std::to_string(k) + " n" + std::to_string(k - 1) + " n" + std::to_string(k) + " 1\nRG" +
                std::to_string(k) + " n" + std::to_string(k) + " 0 1000\n";
    std::ofstream(t.Path("ladder.cir")) << deck << ".op\n.end\n";
    for (int round = 0; round < 3; ++round) {
        const std::string sim = KORVEX_SIM;
        const std::string script = "cd '" + t.dir.string() + "' && { (" + sim +
                                   " -b ladder.cir > /dev/null; echo $? > 1.status) & (" + sim +
                                   " -b ladder.cir > /dev/null; echo $? > 2.status) & wait; }";
        ASSERT_EQ(std::system(script.c_str()), 0);
        EXPECT_EQ(ExitStatusIn(t.dir / "1.status"), 0) << ReadFile(t.dir / "ladder.log");
        EXPECT_EQ(ExitStatusIn(t.dir / "2.status"), 0) << ReadFile(t.dir / "ladder.log");
        EXPECT_TRUE(fs::exists(t.dir / "ladder.raw")) << "round " << round;
        for (const auto& entry : fs::directory_iterator(t.dir))
            EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }
}

namespace {
pid_t StartCli(const std::vector<std::string>& args, const fs::path& errFile)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(KORVEX_CLI)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::freopen(errFile.c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execv(KORVEX_CLI, argv.data());
        ::_exit(127);
    }
    return pid;
}
}  // namespace

TEST(CliSignals, StopTheSimulatorAndLeaveTheSaveTargetUntouched)
{
    for (const auto& [sig, exitCode] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TempFolder s("signal");
        const std::string project = s.Path("board.sav");
        {
            SimMatrix board;
            ASSERT_EQ(GenerateBenchmarkBoard(&board, 1000), 0);
            CapDatabase caps;
            VoltageNoiseTimeParam noise;
            ASSERT_EQ(SaveProject(project.c_str(), &board, false, ProjectSections{&caps, &noise}), 0);
            freeSimulationMatrix(&board);
        }
        const std::string saved = ReadFile(project);
        // The real simulator, started through a script that says its process ID first.
        const fs::path simPid = s.dir / "sim.pid";
        const std::string simulator =
            s.Script("sim.sh", "echo $$ > '" + simPid.string() + "'; exec '" + std::string(KORVEX_SIM) + "' \"$@\"");
        const pid_t cli = StartCli({"dc", project, "--workdir", s.dir.string(), "--simulator", simulator, "--save"},
                                   s.dir / "err.txt");
        ASSERT_TRUE(WaitForLine(simPid, 120)) << ReadFile(s.dir / "err.txt");
        const pid_t sim = PidIn(simPid);
        ASSERT_GT(sim, 0);
        ::kill(cli, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(cli, &status, 0), cli);
        ASSERT_TRUE(WIFEXITED(status)) << ReadFile(s.dir / "err.txt");
        EXPECT_EQ(WEXITSTATUS(status), exitCode) << ReadFile(s.dir / "err.txt");
        EXPECT_EQ(::kill(sim, 0), -1) << "the simulator outlived korvex-cli";
        EXPECT_TRUE(ReadFile(project) == saved);
        for (const auto& entry : fs::directory_iterator(s.dir))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        EXPECT_NE(ReadFile(s.dir / "err.txt").find("korvex-cli: cancelled"), std::string::npos);
    }
}

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
