// Failing simulators, damaged result files, large node IDs and the one-job
// rule, through the jobs and through korvex-cli.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "board/example_board.h"
#include "cli_test_support.h"
#include "board/project_file.h"
#include "board/raster.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "util/debug_log.h"

namespace fs = std::filesystem;

namespace {
struct Scratch {
    fs::path dir;
    Scratch()
    {
        dir = fs::temp_directory_path() /
              ("korvex_jobs_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    std::string Script(const std::string& name, const std::string& body) const
    {
        const fs::path p = dir / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        ::chmod(p.c_str(), 0755);
        return p.string();
    }
};

struct ExampleJob {
    SimMatrix board;
    Mesh mesh;
    Settings settings = DefaultSettings();
    Diagram diagram;
    ExampleJob()
    {
        CreateExampleBoard(&board);
        settings.BatchMode = 1;
        CreateMesh(&board, &mesh, nullptr, &settings);
    }
    ~ExampleJob()
    {
        FreeMesh(&mesh);
        freeSimulationMatrix(&board);
    }
    JobEnvironment Env(const Scratch& s, const std::string& simulator)
    {
        JobEnvironment env;
        env.Board = &board;
        env.Mesh = &mesh;
        env.Settings = &settings;
        env.Diagram = &diagram;
        env.WorkFolder = s.dir.string();
        env.Simulator = simulator;
        return env;
    }
};

}  // namespace

TEST(SimulationJob, FailingSimulatorsLeaveEarlierResultsAndSayWhy)
{
    Scratch s;
    ExampleJob job;
    job.board.VoltageMatrix[3][3][0] = 42.0f;  // an earlier result
    const std::string exits = s.Script("exits.sh", "echo 'Error on line 7: bad' > \"${2%.cir}.log\"; exit 3");
    const std::string crashes = s.Script("crashes.sh", "kill -SEGV $$");
    const std::string shortRaw = s.Script(
        "short.sh", "printf 'No. Variables: 2\\nNo. Points: 1\\nVariables:\\n\\t0\\tV(n1_000001)\\tvoltage\\n"
                    "\\t1\\tV(n1_000002)\\tvoltage\\nBinary:\\n12345678' > \"${2%.cir}.raw\"");
    for (const std::string& simulator : {exits, crashes, shortRaw, (s.dir / "absent").string()}) {
        const JobOutcome out = CommandSimulateElectrical(job.Env(s, simulator));
        EXPECT_FALSE(out.Success) << simulator;
        EXPECT_FALSE(out.Reason.empty());
        EXPECT_EQ(job.board.VoltageMatrix[3][3][0], 42.0f) << simulator;
    }
    EXPECT_NE(CommandSimulateElectrical(job.Env(s, exits)).LogTail.find("Error on line 7"), std::string::npos);
    EXPECT_NE(CommandSimulateElectrical(job.Env(s, crashes)).Reason.find("signal"), std::string::npos);
    EXPECT_NE(CommandSimulateElectrical(job.Env(s, shortRaw)).Reason.find("truncated"), std::string::npos);
}

TEST(SimulationJob, RefusesMaterialsThatWouldWriteInfiniteResistances)
{
    Scratch s;
    ExampleJob job;
    job.board.ElectricalConductivity = 0;
    const JobOutcome out = CommandSimulateElectrical(job.Env(s, KORVEX_SIM));
    EXPECT_FALSE(out.Success);
    EXPECT_NE(out.Reason.find("conductivity"), std::string::npos);
    EXPECT_FALSE(fs::exists(s.dir / "spice_electrical.cir"));
}

TEST(SimulationJob, BatchModeDeletesTheWorkFilesAfterSuccess)
{
    Scratch s;
    ExampleJob job;
    DebugCapture log;
    const JobOutcome out = CommandSimulateThermal(job.Env(s, KORVEX_SIM));
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    EXPECT_TRUE(log.Contains("Deleted "));
    EXPECT_FALSE(fs::exists(s.dir / "spice_thermal.cir"));
    EXPECT_FALSE(fs::exists(s.dir / "spice_thermal.raw"));
    EXPECT_FALSE(fs::exists(s.dir / "spice_thermal.log"));
}

TEST(SimulationJob, OnlyOneJobAtATime)
{
    JobSlot first;
    ASSERT_TRUE(first.Acquired());
    EXPECT_TRUE(IsJobRunning());
    const JobOutcome refused = RunExclusive([] { return JobOutcome{true, 0, "", "", ""}; });
    EXPECT_FALSE(refused.Success);
    EXPECT_NE(refused.Reason.find("another simulation"), std::string::npos);
    EXPECT_FALSE(StartJobThread([] { return JobOutcome{}; }, nullptr));
}

TEST(SimulationJob, NodeIdsAboveOneMillionWorkEndToEnd)
{
    Scratch s;
    ExampleJob small;
    small.settings.BatchMode = 0;
    ASSERT_TRUE(CommandSimulateElectrical(small.Env(s, KORVEX_SIM)).Success);

    // The same mesh again, numbered from 1,000,000 on.
    ExampleJob big;
    FreeMesh(&big.mesh);
    ASSERT_EQ(InitMesh(&big.mesh, &big.board), 0);
    big.mesh.LastID = 999'990;
    for (const MeshNode* n = GetFirstNode(&small.mesh); n != nullptr; n = GetNextNode(n)) {
        MeshNode copy = *n;
        ASSERT_NE(AddNode(&big.mesh, &copy), nullptr);
    }
    for (MeshNode* n = GetFirstNode(&big.mesh); n != nullptr; n = GetNextNode(n)) SetNeighbour(&big.mesh, n);
    big.settings.BatchMode = 0;
    const JobOutcome out = CommandSimulateElectrical(big.Env(s, KORVEX_SIM));
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    for (uint32_t x = 0; x < 160; x += 7)
        for (uint32_t y = 0; y < 100; y += 7)
            EXPECT_NEAR(big.board.VoltageMatrix[x][y][0], small.board.VoltageMatrix[x][y][0], 1e-9);
}

TEST(Cli, SimulatingCommandsEndToEndAndTheirRefusals)
{
    Scratch s;
    const std::string project = (s.dir / "board.sav").string();
    ASSERT_EQ(RunCli("example " + project).status, 0);
    const std::string common = project + " --workdir " + s.dir.string() + " --simulator " + KORVEX_SIM;
    ASSERT_EQ(RunCli("dc " + common + " --bmps " + (s.dir / "maps").string() + " --save").status, 0);
    EXPECT_TRUE(fs::exists(s.dir / "maps" / "Layer1_Voltage.bmp"));
    SimMatrix board;
    ASSERT_EQ(gzLoadSimMatrix(project.c_str(), &board), 1);
    EXPECT_GT(MaxOfMatrix(board.VoltageMatrix, 160, 100, 2), 0.001);  // stored by --save
    freeSimulationMatrix(&board);

    const std::string csv = (s.dir / "zin.csv").string();
    ASSERT_EQ(RunCli("ac " + common + " --mode zin --csv " + csv).status, 0);
    std::ifstream in(csv);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "frequency,Zin(i000).re,Zin(i000).im");

    CliRun r = RunCli("dc " + project + " --workdir " + s.dir.string() + " --simulator " +
                      s.Script("fails.sh", "exit 2"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exited with code 2"), std::string::npos) << r.err;
    r = RunCli("dc " + (s.dir / "missing.sav").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("korvex-cli: "), std::string::npos);
}
