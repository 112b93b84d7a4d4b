#include "jobs/simulation_job.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "board/raster.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/simulator_process.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_results.h"
#include "netlist/ac_job.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_reader_ac.h"
#include "raw/raw_reader_op.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

namespace korvex {

namespace {
std::atomic<bool> gJobSlotTaken{false};

std::string Now()
{
    const std::time_t t = std::time(nullptr);
    char text[64];
    ctime_r(&t, text);
    return text;
}

// printDebug and the observer's log both get the line.
void Say(const JobEnvironment& env, const std::string& text)
{
    printDebug("%s", text.c_str());
    if (env.Observer != nullptr) {
        std::string line = text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        env.Observer->LogLine(line);
    }
}

void Stage(const JobEnvironment& env, const char* stage, double fraction)
{
    if (env.Observer != nullptr) env.Observer->Progress(stage, fraction);
}

std::string SimulatorOf(const JobEnvironment& env)
{
    return env.Simulator.empty() ? gszFolderLTSPICE : env.Simulator;
}

// Common steps: run the simulator, log its return, and on failure collect the
// log's tail. True when the simulator succeeded.
bool RunStep(const JobEnvironment& env, const char* base, JobOutcome& outcome)
{
    Say(env, "Started Spice at " + Now());
    const std::string netlist = WorkFilePath(env, base, ".cir");
    const bool batch = env.Settings->BatchMode != 0;
    Stage(env, "simulate", -1);
    Say(env, "Run " + SimulatorCommandText(SimulatorOf(env), batch, netlist) + "\r\n");
    const SimulatorRun run = RunSimulator(SimulatorOf(env), batch, netlist);
    Say(env, "SPICE Return: " + std::to_string(run.ExitCode) + "\r\n");
    Say(env, "Finished SPICE at " + Now());
    if (run.Started && run.ExitCode == 0) return true;
    outcome.SimulatorLog = WorkFilePath(env, base, ".log");
    outcome.Reason = run.Reason.empty() ? "simulator failed" : run.Reason;
    outcome.LogTail = TailOfFile(outcome.SimulatorLog, 20);
    Say(env, "Simulation failed, see " + outcome.SimulatorLog + "\r\n");
    return false;
}

void DeleteWorkFiles(const JobEnvironment& env, const char* base)
{
    if (env.Settings->BatchMode == 0) return;
    for (const char* ext : {".cir", ".raw", ".log"}) {
        const std::string path = WorkFilePath(env, base, ext);
        if (std::remove(path.c_str()) == 0) {
            Say(env, "Deleted " + path + "\r\n");
        } else {
            const int err = errno;
            Say(env, "Could not delete " + path + "\r\n");
            Say(env, "errno " + std::to_string(err) + "\r\n");
        }
    }
}

bool LoadOperatingPoint(const JobEnvironment& env, const char* base, RawFile& raw, JobOutcome& outcome)
{
    const std::string path = WorkFilePath(env, base, ".raw");
    if (LoadRawFile(path.c_str(), &raw, false, &outcome.Reason) != 0) return false;
    return CheckOperatingPointFile(raw, &outcome.Reason) == 0;
}

void LogLayerRanges(const JobEnvironment& env, float*** raster, const char* format)
{
    const SimMatrix& b = *env.Board;
    for (int l = 0; l < b.LayerCount; ++l) {
        const double lo = MinOfMatrixLayer(raster, static_cast<int>(b.CountPixelX), static_cast<int>(b.CountPixelY), l);
        const double hi = MaxOfMatrixLayer(raster, static_cast<int>(b.CountPixelX), static_cast<int>(b.CountPixelY), l);
        char line[160];
        std::snprintf(line, sizeof line, format, l + 1, lo, hi);
        Say(env, line);
    }
}
}  // namespace

JobEnvironment GlobalJobEnvironment()
{
    JobEnvironment env;
    env.Board = &gSimMatrix;
    env.Mesh = &gMesh;
    env.Settings = &gSettings;
    env.Diagram = &gDiagram;
    env.SParameters = &gSimulateSCapacitor;
    return env;
}

std::string WorkFilePath(const JobEnvironment& env, const char* base, const char* extension)
{
    const std::filesystem::path folder =
        env.WorkFolder.empty() ? std::filesystem::current_path() : std::filesystem::path(env.WorkFolder);
    return (std::filesystem::absolute(folder) / (std::string(base) + extension)).string();
}

JobOutcome ThreadSpiceElectricalMesh(const JobEnvironment& env)
{
    JobOutcome outcome;
    if (!RunStep(env, kElectricalBase, outcome)) return outcome;
    Say(env, "Read RAW Data...\r\n");
    Stage(env, "read results", -1);
    RawFile raw;
    if (!LoadOperatingPoint(env, kElectricalBase, raw, outcome)) return outcome;
    ResetElectricalMatrix(env.Board);
    MapElectricalResults(raw, env.Board, env.Mesh);
    Stage(env, "map results", -1);
    MeshToVoltageMatrix(env.Mesh, env.Board);
    MeshToCurrentDensity(env.Board, env.Mesh);
    LogLayerRanges(env, env.Board->VoltageMatrix, "Voltage Layer %u Min = %e V Max = %e V\n");
    outcome.Success = true;
    outcome.Changes = kChangedElectricalResults | kChangedParts;
    DeleteWorkFiles(env, kElectricalBase);
    return outcome;
}

JobOutcome ThreadSpiceThermalMesh(const JobEnvironment& env)
{
    JobOutcome outcome;
    if (!RunStep(env, kThermalBase, outcome)) return outcome;
    Say(env, "Read Temperature RAW Data...\r\n");
    Stage(env, "read results", -1);
    RawFile raw;
    if (!LoadOperatingPoint(env, kThermalBase, raw, outcome)) return outcome;
    MapThermalResults(raw, env.Board, env.Mesh);
    Stage(env, "map results", -1);
    MeshToTemperatureMatrix(env.Mesh, env.Board);
    LogLayerRanges(env, env.Board->TemperatureMatrix, "Temperature Layer %u Min = %f GradC Max = %f GradC\n");
    outcome.Success = true;
    outcome.Changes = kChangedThermalResults | kChangedParts;
    DeleteWorkFiles(env, kThermalBase);
    return outcome;
}

JobOutcome ThreadSpiceZin(const JobEnvironment& env, const AcJob& job)
{
    JobOutcome outcome;
    if (!RunStep(env, kAcBase, outcome)) return outcome;
    Say(env, "Read AC RAW Data...\r\n");
    Stage(env, "read results", -1);
    const std::string path = WorkFilePath(env, kAcBase, ".raw");
    RawFile raw;
    if (LoadRawFile(path.c_str(), &raw, true, &outcome.Reason) != 0 || CheckAcFile(raw, &outcome.Reason) != 0)
        return outcome;
    Stage(env, "map results", -1);
    switch (job.Mode) {
    case AC_MODE_ZIN_OF_PORTS:
    case AC_MODE_S21:
    case AC_MODE_NOISE_TRANSFER:
    case AC_MODE_CURRENT_NOISE_TRANSFER:
        MapZinCurves(raw, env.Diagram, env.Settings);
        UpdateDiagram(env.Diagram);
        outcome.Changes = kChangedDiagram;
        break;
    case AC_MODE_CAPACITOR_SPARAMETERS:
        MapCapacitorSParameters(raw, env.SParameters);
        outcome.Changes = kChangedCapacitorSParameters;
        break;
    case AC_MODE_Z_AT_F:
        ClearMeshZin(env.Board, env.Mesh);
        MapZDistribution(raw, env.Mesh);
        MeshToZinMatrix(env.Mesh, env.Board);
        outcome.Changes = kChangedZinResults;
        break;
    case AC_MODE_CURRENT_DENSITY_AT_F:
        ResetElectricalMatrix(env.Board);
        MapAcCurrentDensity(raw, env.Board, env.Mesh);
        MeshToCurrentDensity(env.Board, env.Mesh);
        outcome.Changes = kChangedElectricalResults;
        break;
    case AC_MODE_VOLTAGE_NOISE_AT_F:
        MapVoltageNoise(raw, env.Mesh);
        MeshToVoltageMatrix(env.Mesh, env.Board);
        outcome.Changes = kChangedElectricalResults;
        break;
    default:
        outcome.Reason = "unknown AC analysis " + std::to_string(job.Mode);
        return outcome;
    }
    outcome.Success = true;
    DeleteWorkFiles(env, kAcBase);
    return outcome;
}

int ClearMeshZin(const SimMatrix* board, Mesh* mesh)
{
    if (board == nullptr || mesh == nullptr) return -1;
    for (MeshNode* n = GetFirstNode(mesh); n != nullptr; n = GetNextNode(n))
        for (int l = 0; l < board->LayerCount && l < 8; ++l) n->Zin[l] = 0.0f;
    return 0;
}

JobSlot::JobSlot()
{
    bool expected = false;
    acquired_ = gJobSlotTaken.compare_exchange_strong(expected, true);
}

JobSlot::~JobSlot()
{
    if (acquired_) gJobSlotTaken = false;
}

void JobSlot::Release()
{
    acquired_ = false;
}

bool IsJobRunning()
{
    return gJobSlotTaken;
}

bool StartJobThread(std::function<JobOutcome()> work, JobObserver* observer)
{
    JobSlot slot;
    if (!slot.Acquired()) return false;
    slot.Release();  // the thread frees it
    std::thread([work = std::move(work), observer] {
        JobOutcome outcome = work();
        gJobSlotTaken = false;
        if (observer != nullptr) observer->Finished(outcome.Success, outcome.Changes);
    }).detach();
    return true;
}

}  // namespace korvex
