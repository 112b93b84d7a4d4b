// Failing simulators, damaged result files, large node IDs and the one-job
// rule, through the jobs and through korvex-cli.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "board/raster.h"
#include "jobs/simulator_process.h"
#include "job_bench.h"
#include "jobs/job_runner.h"
#include "util/debug_log.h"

using namespace korvex;

namespace fs = std::filesystem;

TEST(SimulationJob, FailingSimulatorsLeaveEarlierResultsAndSayWhy)
{
    JobBench job;
    const TempFolder& s = job.folder;
    job.board.VoltageMatrix[3][3][0] = 42.0f;  // an earlier result
    const std::string exits = s.Script("exits.sh", "echo 'Error on line 7: bad' > \"${2%.cir}.log\"; exit 3");
    const std::string crashes = s.Script("crashes.sh", "kill -SEGV $$");
    const std::string shortRaw = s.Script(
        "short.sh", "printf 'No. Variables: 2\\nNo. Points: 1\\nVariables:\\n\\t0\\tV(n1_000001)\\tvoltage\\n"
                    "\\t1\\tV(n1_000002)\\tvoltage\\nBinary:\\n12345678' > \"${2%.cir}.raw\"");
    struct Case {
        std::string simulator;
        const char* reason;
        const char* why;  // in the reason, or for the log in its tail
    } cases[] = {{exits, "exited with code 3", "Error on line 7"},
                 {crashes, "", "signal"},
                 {shortRaw, "", "truncated"},
                 {s.Path("absent"), "", ""}};
    for (const Case& c : cases) {
        job.simulator = c.simulator;
        const JobOutcome out = CommandSimulateElectrical(job.Env());
        EXPECT_FALSE(out.Success) << c.simulator;
        EXPECT_FALSE(out.Reason.empty());
        EXPECT_NE(out.Reason.find(c.reason), std::string::npos) << out.Reason;
        EXPECT_NE((out.Reason + out.LogTail).find(c.why), std::string::npos) << out.Reason << out.LogTail;
        EXPECT_EQ(job.board.VoltageMatrix[3][3][0], 42.0f) << c.simulator;
    }
}

TEST(SimulationJob, SimulatorStartsWithHugePagesForMalloc)
{
    // glibc reads the tunable only at start-up, so the runner puts it into the simulator's
    // environment, after any tunables the caller has set.
    TempFolder s;
    const std::string echo = s.Script("env.sh", "printf '%s' \"$GLIBC_TUNABLES\" > \"${2%.cir}.env\"");
    const std::string netlist = s.Path("run.cir");
    const char* saved = std::getenv("GLIBC_TUNABLES");
    const std::string restore = saved ? saved : "";
    const struct {
        const char* callers;  // nullptr: not set
        const char* expected;
    } cases[] = {{nullptr, "glibc.malloc.hugetlb=1"},
                 {"glibc.malloc.arena_max=2", "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
                 {"glibc.malloc.hugetlb=0", "glibc.malloc.hugetlb=0"}};
    for (const auto& c : cases) {
        if (c.callers) setenv("GLIBC_TUNABLES", c.callers, 1);
        else unsetenv("GLIBC_TUNABLES");
        const SimulatorRun run = RunSimulator(echo, true, netlist);
        EXPECT_EQ(run.ExitCode, 0) << run.Reason;
        EXPECT_EQ(ReadFile(s.Path("run.env")), c.expected);
    }
    if (saved) setenv("GLIBC_TUNABLES", restore.c_str(), 1);
    else unsetenv("GLIBC_TUNABLES");
}

// Every analysis that writes the electrical network refuses the same material values.
TEST(SimulationJob, RefusesMaterialsThatWouldWriteInfiniteResistances)
{
    JobBench job;
    AcJob zin;
    zin.Mode = AC_MODE_ZIN_OF_PORTS;
    const struct {
        const char* command;
        std::function<JobOutcome()> run;
    } commands[] = {
        {"spice_electrical.cir", [&] { return CommandSimulateElectrical(job.Env()); }},
        {"spice_thermal.cir", [&] { return CommandSimulateThermal(job.Env()); }},
        {"spice_ac.cir", [&] { return CommandSimulateAc(job.Env(), zin); }},
    };
    const struct {
        float* field;
        float bad;
        const char* reason;
    } materials[] = {{&job.board.ElectricalConductivity, 0, "conductivity"},
                     {&job.board.CopperThickness[0], -1, "copper thickness of Layer1"}};
    for (const auto& m : materials) {
        const float good = *m.field;
        *m.field = m.bad;
        for (const auto& c : commands) {
            const JobOutcome out = c.run();
            EXPECT_FALSE(out.Success) << c.command;
            EXPECT_NE(out.Reason.find(m.reason), std::string::npos) << c.command << ": " << out.Reason;
            EXPECT_FALSE(fs::exists(job.folder.dir / c.command)) << c.command;
        }
        *m.field = good;
    }
}

TEST(SimulationJob, BatchModeDeletesTheWorkFilesAfterSuccess)
{
    JobBench job;
    ASSERT_EQ(job.settings.BatchMode, 1u);
    DebugCapture log;
    const JobOutcome out = CommandSimulateThermal(job.Env());
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    EXPECT_TRUE(log.Contains("Deleted "));
    for (const char* file : {"spice_thermal.cir", "spice_thermal.raw", "spice_thermal.log"})
        EXPECT_FALSE(fs::exists(job.folder.dir / file)) << file;
}

TEST(SimulationJob, OnlyOneJobAtATime)
{
    korvex::JobSlot first;
    ASSERT_TRUE(first.Acquired());
    EXPECT_TRUE(korvex::IsJobSlotTaken());
    const JobOutcome refused = RunExclusive([] { JobOutcome ran; ran.Success = true; return ran; });
    EXPECT_FALSE(refused.Success);
    EXPECT_NE(refused.Reason.find("another simulation"), std::string::npos);
    korvex::JobRunner runner;
    std::string reason;
    EXPECT_FALSE(runner.Start(JobEnvironment{}, [](const JobEnvironment&) { return JobOutcome{}; }, &reason));
    EXPECT_NE(reason.find("another simulation"), std::string::npos);
}

TEST(SimulationJob, NodeIdsAboveOneMillionWorkEndToEnd)
{
    JobBench small;
    small.settings.BatchMode = 0;
    ASSERT_TRUE(CommandSimulateElectrical(small.Env()).Success);

    // The same mesh again, numbered from 1,000,000 on.
    JobBench big;
    FreeMesh(&big.mesh);
    ASSERT_EQ(InitMesh(&big.mesh, &big.board), 0);
    big.mesh.LastID = 999'990;
    for (const MeshNode* n = GetFirstNode(&small.mesh); n != nullptr; n = GetNextNode(n)) {
        MeshNode copy = *n;
        ASSERT_NE(AddNode(&big.mesh, &copy), nullptr);
    }
    for (MeshNode* n = GetFirstNode(&big.mesh); n != nullptr; n = GetNextNode(n)) SetNeighbour(&big.mesh, n);
    big.settings.BatchMode = 0;
    const JobOutcome out = CommandSimulateElectrical(big.Env());
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    for (uint32_t x = 0; x < 160; x += 7)
        for (uint32_t y = 0; y < 100; y += 7)
            EXPECT_NEAR(big.board.VoltageMatrix[x][y][0], small.board.VoltageMatrix[x][y][0], 1e-9);
}

TEST(Cli, DcSavesAndWritesBitmaps)
{
    TempFolder s;
    const std::string project = s.Path("board.sav");
    ASSERT_EQ(RunCli("example " + project).status, 0);
    const std::string common = project + " --workdir " + s.dir.string() + " --simulator " + KORVEX_SIM;
    ASSERT_EQ(RunCli("dc " + common + " --bmps " + s.Path("maps") + " --save").status, 0);
    EXPECT_TRUE(fs::exists(s.dir / "maps" / "Layer1_Voltage.bmp"));
    Project saved = Stored(project);
    EXPECT_GT(MaxOfMatrix(saved.Board().VoltageMatrix, 160, 100, 2), 0.001);  // stored by --save
}
