// Jobs and the simulator they run.
// - On a worker thread: cancelled at every stage they leave the board and mesh
//   as they were, kill the simulator's process group and free the slot; their
//   results, swapped in by the owner, equal the direct mapping; and an owner
//   thread that repaints in a loop never meets a worker writing (run under
//   ThreadSanitizer by `make test-tsan`).
// - Failing simulators, damaged result files, large node IDs and the one-job
//   rule, through the jobs and through korvex-cli.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "board/raster.h"
#include "cli_test_support.h"
#include "jobs/job_runner.h"
#include "jobs/pdn_commands.h"
#include "jobs/simulator_process.h"
#include "mesh/mesh_results.h"
#include "pdn/opti_cap.h"
#include "pdn/spice_fit.h"
#include "raw/raw_reader_op.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

using namespace korvex;
using korvex::JobRunner;

namespace fs = std::filesystem;

namespace {

std::string RasterBytes(const SimMatrix& b, float*** raster)
{
    const float* data = RasterData(raster, static_cast<int>(b.CountPixelX), static_cast<int>(b.CountPixelY));
    return std::string(reinterpret_cast<const char*>(data),
                       sizeof(float) * b.CountPixelX * b.CountPixelY * static_cast<size_t>(b.LayerCount));
}

// Everything a job may change: the result rasters, the node results, the via
// currents and heat temperatures.
std::string ResultBytes(const SimMatrix& b, const Mesh& m)
{
    std::string bytes;
    for (float*** r : {b.VoltageMatrix, b.CurrentXMatrix, b.CurrentYMatrix, b.CurrentDensityMatrix,
                       b.TemperatureMatrix, b.ZinMatrix})
        bytes += RasterBytes(b, r);
    for (const MeshNode* n = m.FirstNode; n != nullptr; n = n->pNextNode) {
        bytes.append(reinterpret_cast<const char*>(n->Temperature), sizeof(n->Temperature));
        bytes.append(reinterpret_cast<const char*>(&ResultsOf(n)), sizeof(MeshNodeResults));
    }
    for (const Part* p = GetFirstPart(&b); p != nullptr; p = GetNextPart(p)) {
        if (p->Kind == PART_VIA) bytes.append(reinterpret_cast<const char*>(PartRecord<Via>(p)->Current), 32);
        if (p->Kind == PART_HEATSOURCE)
            bytes.append(reinterpret_cast<const char*>(&PartRecord<HeatSource>(p)->Temperature), sizeof(double));
    }
    return bytes;
}

// Cancels its runner as soon as the job reports `stage`.
class CancelAtStage : public JobObserver {
public:
    explicit CancelAtStage(std::string stage) : stage_(std::move(stage)) {}
    void Progress(std::string_view stage, double) override
    {
        if (stage == stage_ && runner != nullptr) runner->Cancel();
    }
    void Repaint() override
    {
        if (stage_ == "repaint" && runner != nullptr) runner->Cancel();
    }
    void PartialMesh(const Mesh& mesh) override { partialNodes = mesh.NodeCount; }
    JobRunner* runner = nullptr;
    uint32_t partialNodes = 0;

private:
    std::string stage_;
};

// Gone, or only a zombie that is not ours to reap (an orphan of the killed
// group), within a few seconds: a killed process takes a moment to die.
bool ProcessEnded(pid_t pid)
{
    for (int i = 0; i < 500; ++i) {
        if (::kill(pid, 0) != 0) return errno == ESRCH;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

// The DC job at each of its stages, and a mesh build at a repaint of the mesh it is making.
TEST(JobRunner, CancelledAtEveryStageLeavesBoardAndMeshAsTheyWereAndFreesTheSlot)
{
    const JobRunner::Work mesh = [](const JobEnvironment& env) { return CommandCreateMeshJob(env, nullptr); };
    const std::pair<const char*, JobRunner::Work> cases[] = {
        {kStageWriteNetlist, CommandSimulateElectrical}, {kStageSimulate, CommandSimulateElectrical},
        {kStageRead, CommandSimulateElectrical},         {kStageMap, CommandSimulateElectrical},
        {"repaint", mesh},
    };
    for (const auto& [stage, work] : cases) {
        JobBench job;
        job.board.VoltageMatrix[3][3][0] = 42.0f;  // earlier results
        SetVoltage(&job.mesh, job.mesh.FirstNode, 0, 7.0);
        const uint32_t nodes = job.mesh.NodeCount, lastId = job.mesh.LastID;
        const std::string before = ResultBytes(job.board, job.mesh);
        CancelAtStage observer(stage);
        JobRunner runner(&observer);
        observer.runner = &runner;
        ASSERT_TRUE(runner.Start(job.Env(), work)) << stage;
        const JobOutcome out = runner.Join();
        EXPECT_TRUE(out.Cancelled) << stage << ": " << out.Reason;
        EXPECT_FALSE(out.Success) << stage;
        EXPECT_EQ(runner.ApplyResults(job.Env()), 0) << stage;  // nothing to apply
        EXPECT_TRUE(ResultBytes(job.board, job.mesh) == before) << stage;
        EXPECT_EQ(job.mesh.NodeCount, nodes) << stage;
        EXPECT_EQ(job.mesh.LastID, lastId) << stage;
        EXPECT_FALSE(runner.IsRunning()) << stage;
        EXPECT_FALSE(korvex::IsJobSlotTaken()) << stage;
        if (std::string(stage) == "repaint") {
            EXPECT_GT(observer.partialNodes, 0u);  // the mesh being built was shown, not the board's
        }
    }
}

TEST(JobRunner, CancelKillsTheSimulatorsProcessGroupAndReapsIt)
{
    JobBench job;
    const std::string before = ResultBytes(job.board, job.mesh);
    const fs::path child = job.folder.dir / "child.pid", grandchild = job.folder.dir / "grandchild.pid";
    job.simulator = job.folder.Script(
        "slow.sh", "sleep 60 & echo $! > '" + grandchild.string() + "'; echo $$ > '" + child.string() + "'; wait");
    JobRunner runner;
    ASSERT_TRUE(runner.Start(job.Env(), CommandSimulateElectrical));
    ASSERT_TRUE(WaitForLine(child, 20));
    ASSERT_TRUE(WaitForLine(grandchild, 20));
    const auto start = std::chrono::steady_clock::now();
    runner.Cancel();
    const JobOutcome out = runner.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(out.Cancelled) << out.Reason;
    const pid_t simulator = PidIn(child);
    ASSERT_GT(simulator, 0);
    EXPECT_EQ(::kill(simulator, 0), -1);  // reaped: no zombie of ours
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(ProcessEnded(PidIn(grandchild)));
    EXPECT_TRUE(ResultBytes(job.board, job.mesh) == before);
    runner.DiscardResults();
    EXPECT_FALSE(korvex::IsJobSlotTaken());
}

TEST(JobRunner, OptimiserAndFitStopOnACancelRequestWithoutChanges)
{
    JobBench job;
    int slot = -1;
    ASSERT_TRUE(CommandSimulatePortZin(job.Env(), 0, &slot).Success);
    korvex::CancelToken cancel;
    cancel.Cancel();
    CapDatabase catalogue;
    InitCapDatabase(&catalogue);
    OptiCapParam param;
    param.TargetImpedance = 1e-4f;
    const uint32_t parts = CountParts(&job.board);
    PdnMessage message;
    EXPECT_EQ(OptimizeCaps(&job.board, &job.diagram, &param, &catalogue, &message, &cancel), -1);
    EXPECT_EQ(message.Caption, "Cancelled");
    EXPECT_EQ(CountParts(&job.board), parts);

    CapDatabase branches;
    for (int i = 0; i < 2; ++i) {
        const CapRecord record = GetCap(&catalogue, i);
        ASSERT_EQ(AddCap(&branches, i, &record), 0);
    }
    const CapRecord first = GetCap(&branches, 0);
    message = {};
    EXPECT_EQ(OptimizeSpiceCircuit(&job.board, &job.diagram, &branches, 2, &message, &cancel), -1);
    EXPECT_EQ(message.Caption, "Cancelled");
    EXPECT_EQ(std::memcmp(&first, &branches.Caps[0], sizeof first), 0);
    FreeCapDatabase(&catalogue);
    FreeCapDatabase(&branches);
}

// The owner's thread (here the test's) repaints from the live records in a loop
// while a job runs; the worker only reads them. The results wait for the owner
// to swap them in when Finished has come, and then equal the direct mapping.
TEST(JobRunner, OwnerRepaintsWhileJobsRunAndSwapsInTheDirectMappingsResults)
{
    class Window : public DiagramWindow, public JobObserver {
    public:
        void DiagramChanged(Diagram&) override { ++changed; }
        void Finished(const JobOutcome&) override { finished = true; }
        std::atomic<int> changed{0};
        std::atomic<bool> finished{false};
    } window;
    struct Case {
        const char* name;
        JobRunner::Work command;
        const char* raw;  // null: the AC job's curve only
        void (*direct)(SimMatrix*, Mesh*, const char*);
    } cases[] = {
        {"electrical", CommandSimulateElectrical, "spice_electrical.raw",
         [](SimMatrix* b, Mesh* m, const char* path) {
             ResetElectricalMatrix(b);
             ASSERT_EQ(RawToMeshElectrical(b, m, path), 0);
             MeshToVoltageMatrix(m, b);
             MeshToCurrentDensity(b, m);
         }},
        {"thermal", CommandSimulateThermal, "spice_thermal.raw",
         [](SimMatrix* b, Mesh* m, const char* path) {
             ASSERT_EQ(RawToMeshThermal(b, m, path), 0);
             MeshToTemperatureMatrix(m, b);
         }},
        {"ac",
         [](const JobEnvironment& env) {
             AcJob zin;
             zin.Mode = AC_MODE_ZIN_OF_PORTS;
             return CommandSimulateAc(env, zin);
         },
         nullptr, nullptr},
    };
    for (const Case& c : cases) {
        JobBench job;
        job.settings.BatchMode = 0;  // the result file stays for the direct mapping
        InitDiagram(&job.diagram, &window);
        const std::string before = ResultBytes(job.board, job.mesh);
        JobRunner runner(&window);
        window.finished = false;
        window.changed = 0;
        ASSERT_TRUE(runner.Start(job.Env(), c.command)) << c.name;
        Diagram shown;  // what the window paints from
        double painted = 0;
        while (!window.finished) {
            painted += job.board.VoltageMatrix[5][5][0];
            for (const MeshNode* n = job.mesh.FirstNode; n != nullptr; n = n->pNextNode) painted += ResultsOf(n).Voltage[0];
            ASSERT_EQ(CopyDiagram(&job.diagram, &shown), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        (void)painted;
        const JobOutcome out = runner.Join();
        ASSERT_TRUE(out.Success) << c.name << ": " << out.Reason << out.LogTail;
        // Finished, but nothing swapped in yet; the slot stays taken meanwhile.
        EXPECT_TRUE(ResultBytes(job.board, job.mesh) == before) << c.name;
        EXPECT_TRUE(runner.IsRunning()) << c.name;
        std::string reason;
        EXPECT_FALSE(runner.Start(job.Env(), c.command, &reason)) << c.name;
        EXPECT_NE(reason.find("not been applied"), std::string::npos) << reason;
        ASSERT_EQ(runner.ApplyResults(job.Env()), 0) << c.name;
        EXPECT_FALSE(runner.IsRunning()) << c.name;
        if (c.direct == nullptr) {
            ASSERT_EQ(CopyDiagram(&job.diagram, &shown), 0);
            EXPECT_STREQ(shown.Curve[0].szName, "Zin(i000)");
            EXPECT_GE(window.changed, 1);
            continue;
        }
        JobBench direct;
        c.direct(&direct.board, &direct.mesh, (job.folder.dir / c.raw).c_str());
        EXPECT_NE(ResultBytes(job.board, job.mesh), before) << c.name;
        EXPECT_TRUE(ResultBytes(job.board, job.mesh) == ResultBytes(direct.board, direct.mesh)) << c.name;

        // Mapped in place, as a headless run does: into the board's own rasters, with the same
        // results. An earlier voltage off the copper is cleared by the DC job. The example
        // board's DC file has variables for four pieces of the two-core mapping, the vias'
        // currents in the second.
        JobBench inPlace;
        float* offCopper = nullptr;
        for (uint32_t x = 0; x < inPlace.board.CountPixelX && offCopper == nullptr; ++x)
            for (uint32_t y = 0; y < inPlace.board.CountPixelY && offCopper == nullptr; ++y)
                if (inPlace.board.CopperMatrix[x][y][0] == 0) offCopper = &inPlace.board.VoltageMatrix[x][y][0];
        ASSERT_NE(offCopper, nullptr);
        *offCopper = 42.0f;
        const std::string stale = ResultBytes(inPlace.board, inPlace.mesh);
        float*** const voltage = inPlace.board.VoltageMatrix;
        float*** const temperature = inPlace.board.TemperatureMatrix;
        JobEnvironment env = inPlace.Env();
        env.MapInPlace = true;
        const JobOutcome mapped = c.command(env);
        ASSERT_TRUE(mapped.Success) << c.name << ": " << mapped.Reason << mapped.LogTail;
        EXPECT_EQ(inPlace.board.VoltageMatrix, voltage) << c.name;
        EXPECT_EQ(inPlace.board.TemperatureMatrix, temperature) << c.name;
        if (std::string_view(c.name) == "thermal") *offCopper = 0.0f;  // not its result
        EXPECT_NE(ResultBytes(inPlace.board, inPlace.mesh), stale) << c.name;
        EXPECT_TRUE(ResultBytes(inPlace.board, inPlace.mesh) == ResultBytes(direct.board, direct.mesh)) << c.name;
    }
}

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

// Every analysis that writes the electrical network refuses the same material values and
// writes nothing; a run that succeeds in batch mode leaves no work file.
TEST(SimulationJob, RefusesMaterialsThatWouldWriteInfiniteResistancesAndBatchModeCleansUp)
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
    // With the materials back the run succeeds, and batch mode deletes its work files.
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
