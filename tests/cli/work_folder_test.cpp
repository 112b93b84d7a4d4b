// Two jobs in one work folder, and result files this run did not write: never another
// board's results reported as this board's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "cli_test_support.h"

namespace fs = std::filesystem;

using namespace korvex;

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

// A simulator that exits 0 without writing a result: an old result file of another board in
// the folder is not read.
TEST(WorkFolder, ResultNotWrittenByThisRunIsRefused)
{
    TempFolder t("stale_result");
    SaveWithCurrent(t.Path("a.sav"), 2.0);
    const std::string keep = t.Script("keep.sh", std::string(KORVEX_SIM) + " \"$@\" && cp \"${2%.cir}.raw\" '" +
                                                     t.Path("kept.raw") + "'");
    CliRun r = RunCli("dc a.sav --workdir . --simulator " + keep, t.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(t.dir / "kept.raw"));
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
