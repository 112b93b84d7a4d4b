// Jobs on a worker thread: cancelled at every stage they leave the board and
// mesh as they were, kill the simulator's process group and free the slot;
// their results, swapped in by the owner, equal the direct mapping; and an
// owner thread that repaints in a loop never meets a worker writing (run under
// ThreadSanitizer by `make test-tsan`).
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "board/raster.h"
#include "jobs/job_runner.h"
#include "jobs/pdn_commands.h"
#include "job_bench.h"
#include "mesh/mesh_results.h"
#include "pdn/opti_cap.h"
#include "pdn/spice_fit.h"
#include "raw/raw_reader_op.h"
#include "util/job_observer.h"

namespace fs = std::filesystem;
using namespace korvex;
using korvex::JobRunner;

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
        // The mesh being built was shown while it grew, not the board's.
        if (std::string(stage) == "repaint") EXPECT_GT(observer.partialNodes, 0u);
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
    }
}
