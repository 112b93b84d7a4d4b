#include "jobs/simulation_job.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "board/raster.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/simulation_results.h"
#include "jobs/simulator_process.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_node_results.h"
#include "mesh/mesh_results.h"
#include "netlist/ac_job.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_reader_ac.h"
#include "raw/raw_reader_op.h"
#include "util/debug_log.h"
#include "util/job_observer.h"
#include "util/large_block.h"
#include "util/side_by_side.h"

namespace korvex {

namespace {
using korvex::SimulationResults;

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

bool Cancelled(const JobEnvironment& env)
{
    return korvex::Cancelled(env.Cancel);
}

std::string SimulatorOf(const JobEnvironment& env)
{
    return env.Simulator.empty() ? gszFolderLTSPICE : env.Simulator;
}

// Common steps: run the simulator, log its return, and on failure collect the
// log's tail. True when the simulator succeeded.
bool RunStep(const JobEnvironment& env, const char* base, JobOutcome& outcome)
{
    Stage(env, kStageSimulate, -1);
    if (Cancelled(env)) return false;
    Say(env, "Started Spice at " + Now());
    const std::string netlist = WorkFilePath(env, base, ".cir");
    // A result file left by an earlier run must not pass for this run's: it goes first, and
    // afterwards only a file this run wrote is read.
    const std::string result = WorkFilePath(env, base, ".raw");
    if (std::remove(result.c_str()) != 0 && errno != ENOENT) {
        outcome.Reason = "cannot remove the old result file " + result + ": " + std::strerror(errno);
        return false;
    }
    // Large blocks kept for reuse go back to the system: pages this process touched recently
    // are the quickest the simulator can get.
    ReleaseKeptLargeBlocks();
    const bool batch = env.Settings->BatchMode != 0;
    Say(env, "Run " + SimulatorCommandText(SimulatorOf(env), batch, netlist) + "\r\n");
    const SimulatorRun run = RunSimulator(SimulatorOf(env), batch, netlist, env.Cancel);
    Say(env, "SPICE Return: " + std::to_string(run.ExitCode) + "\r\n");
    Say(env, "Finished SPICE at " + Now());
    if (run.Cancelled) return false;
    const bool wroteResult = run.Started && run.ExitCode == 0 && std::filesystem::exists(result);
    if (wroteResult) return true;
    outcome.SimulatorLog = WorkFilePath(env, base, ".log");
    outcome.Reason = run.Reason.empty() ? "simulator failed" : run.Reason;
    if (run.Started && run.ExitCode == 0) outcome.Reason = "the simulator ended without writing the result file " + result;
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

// LoadOperatingPoint on this core while `prepare` makes scratch records on the other.
bool ReadBeside(const JobEnvironment& env, const char* base, RawFile& raw, JobOutcome& outcome,
                const std::function<void()>& prepare)
{
    bool read = false;
    RunSideBySide(prepare, [&] { read = LoadOperatingPoint(env, base, raw, outcome); });
    return read;
}

void LogLayerRanges(const JobEnvironment& env, float*** raster, const char* format)
{
    const SimMatrix& b = *env.Board;
    double lo[kMaxLayers], hi[kMaxLayers];
    LayerExtremes(raster, static_cast<int>(b.CountPixelX), static_cast<int>(b.CountPixelY), b.LayerCount, lo, hi);
    for (int l = 0; l < std::clamp(b.LayerCount, 0, kMaxLayers); ++l) {
        char line[160];
        std::snprintf(line, sizeof line, format, l + 1, lo[l], hi[l]);
        Say(env, line);
    }
}

JobOutcome OutOfMemory()
{
    JobOutcome outcome;
    outcome.Reason = "out of memory for the results";
    return outcome;
}

// The end of a job whose results were mapped: cancelled now, or handed on.
JobOutcome Mapped(const JobEnvironment& env, const char* base, std::shared_ptr<SimulationResults> results,
                  unsigned changes)
{
    if (Cancelled(env)) return CancelledOutcome();
    JobOutcome outcome;
    outcome.Success = true;
    outcome.Changes = changes;
    outcome.Results = std::move(results);
    DeleteWorkFiles(env, base);
    return FinishJob(std::move(outcome), env);
}

// Electrical rasters as ResetElectricalMatrix leaves them, ready to paint.
struct ElectricalRasters {
    float*** Voltage;
    float*** CurrentX;
    float*** CurrentY;
    float*** Density;
    bool Valid() const { return Voltage && CurrentX && CurrentY && Density; }
};

// The mesh to map into, every node with its record; null when out of memory.
Mesh* MeshWithRecords(SimulationResults& results)
{
    Mesh* mesh = results.MeshToMap();
    return mesh != nullptr && MakeEveryNodeResults(mesh) ? mesh : nullptr;
}

ElectricalRasters ZeroedElectricalRasters(SimulationResults& r)
{
    return {r.ZeroedRaster(&SimMatrix::VoltageMatrix), r.ZeroedRaster(&SimMatrix::CurrentXMatrix),
            r.ZeroedRaster(&SimMatrix::CurrentYMatrix), r.ZeroedRaster(&SimMatrix::CurrentDensityMatrix)};
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

JobOutcome CancelledOutcome()
{
    JobOutcome outcome;
    outcome.Cancelled = true;
    outcome.Reason = "cancelled";
    return outcome;
}

int ApplyJobResults(JobOutcome* outcome, const JobEnvironment& env)
{
    if (outcome == nullptr || outcome->Results == nullptr) return 0;
    const int status = outcome->Results->Apply(env);
    outcome->Results.reset();
    return status;
}

JobOutcome FinishJob(JobOutcome outcome, const JobEnvironment& env)
{
    if (!env.DeferResults && ApplyJobResults(&outcome, env) != 0) {
        outcome.Success = false;
        outcome.Reason = "the results no longer fit the board or mesh";
    }
    return outcome;
}

JobOutcome ThreadSpiceElectricalMesh(const JobEnvironment& env)
{
    JobOutcome outcome;
    if (!RunStep(env, kElectricalBase, outcome)) return Cancelled(env) ? CancelledOutcome() : outcome;
    Say(env, "Read RAW Data...\r\n");
    Stage(env, kStageRead, -1);
    // Both cores are free once the simulator has ended: the result file is read on one while
    // the mesh to map into gets its node records on the other; then one core makes the rasters
    // while the other maps the results, and both map once the rasters are made. Mapped in
    // place, the rasters are only cleared, which is done beside the reading already.
    RawFile raw;
    auto results = std::make_shared<SimulationResults>(env);
    Mesh* mesh = nullptr;
    ElectricalRasters rasters{};
    if (!ReadBeside(env, kElectricalBase, raw, outcome, [&] {
            mesh = MeshWithRecords(*results);
            if (env.MapInPlace) rasters = ZeroedElectricalRasters(*results);
        }))
        return outcome;
    if (Cancelled(env)) return CancelledOutcome();
    if (mesh == nullptr) return OutOfMemory();
    Stage(env, kStageMap, -1);
    // The variables are mapped in pieces by both cores, the other one making the rasters first:
    // enough pieces for the two to end together whichever takes longer to start.
    const size_t perPiece = std::max<size_t>(1024, (raw.Variables.size() + 63) / 64);
    const size_t pieces = (raw.Variables.size() + perPiece - 1) / perPiece;
    std::vector<std::vector<PartResult>> parts(pieces);
    const auto makeRasters = [&] {
        if (!env.MapInPlace) rasters = ZeroedElectricalRasters(*results);
    };
    ShareOutSideBySide(makeRasters, pieces, [&](size_t k) {
        MapElectricalResults(raw, mesh, &parts[k], k * perPiece, (k + 1) * perPiece);
    });
    for (const std::vector<PartResult>& piece : parts)
        results->Parts().insert(results->Parts().end(), piece.begin(), piece.end());
    raw = RawFile{};
    if (!rasters.Valid()) return OutOfMemory();
    if (Cancelled(env)) return CancelledOutcome();
    MeshToElectricalRasters(env.Board, mesh, rasters.Voltage, rasters.CurrentX, rasters.CurrentY, rasters.Density);
    LogLayerRanges(env, rasters.Voltage, "Voltage Layer %u Min = %e V Max = %e V\n");
    return Mapped(env, kElectricalBase, std::move(results), kChangedElectricalResults | kChangedParts);
}

JobOutcome ThreadSpiceThermalMesh(const JobEnvironment& env)
{
    JobOutcome outcome;
    if (!RunStep(env, kThermalBase, outcome)) return Cancelled(env) ? CancelledOutcome() : outcome;
    Say(env, "Read Temperature RAW Data...\r\n");
    Stage(env, kStageRead, -1);
    RawFile raw;
    auto results = std::make_shared<SimulationResults>(env);
    float*** temperature = nullptr;
    Mesh* mesh = nullptr;
    if (!ReadBeside(env, kThermalBase, raw, outcome, [&] {
            temperature = results->CopiedRaster(&SimMatrix::TemperatureMatrix);
            mesh = results->MeshToMap();
        }))
        return outcome;
    if (Cancelled(env)) return CancelledOutcome();
    Stage(env, kStageMap, -1);
    if (temperature == nullptr || mesh == nullptr) return OutOfMemory();
    MapThermalResults(raw, mesh, &results->Parts());
    if (Cancelled(env)) return CancelledOutcome();
    MeshToTemperatureRaster(mesh, env.Board, temperature);
    LogLayerRanges(env, temperature, "Temperature Layer %u Min = %f GradC Max = %f GradC\n");
    return Mapped(env, kThermalBase, std::move(results), kChangedThermalResults | kChangedParts);
}

JobOutcome ThreadSpiceZin(const JobEnvironment& env, const AcJob& job)
{
    JobOutcome outcome;
    if (!RunStep(env, kAcBase, outcome)) return Cancelled(env) ? CancelledOutcome() : outcome;
    Say(env, "Read AC RAW Data...\r\n");
    Stage(env, kStageRead, -1);
    const std::string path = WorkFilePath(env, kAcBase, ".raw");
    RawFile raw;
    if (LoadRawFile(path.c_str(), &raw, true, &outcome.Reason) != 0 || CheckAcFile(raw, &outcome.Reason) != 0)
        return outcome;
    if (Cancelled(env)) return CancelledOutcome();
    Stage(env, kStageMap, -1);
    auto results = std::make_shared<SimulationResults>(env);
    unsigned changes = 0;
    switch (job.Mode) {
    case AC_MODE_ZIN_OF_PORTS:
    case AC_MODE_S21:
    case AC_MODE_NOISE_TRANSFER:
    case AC_MODE_CURRENT_NOISE_TRANSFER:
        MapZinCurves(raw, results->NewDiagram(), env.Settings);
        changes = kChangedDiagram;
        if (job.Mode == AC_MODE_S21 && job.FullTwoPort) {
            MapCapacitorSParameters(raw, results->NewSParameters());
            changes |= kChangedCapacitorSParameters;
        }
        break;
    case AC_MODE_CAPACITOR_SPARAMETERS:
        MapCapacitorSParameters(raw, results->NewSParameters());
        changes = kChangedCapacitorSParameters;
        break;
    case AC_MODE_Z_AT_F: {
        float*** zin = results->ZeroedRaster(&SimMatrix::ZinMatrix);
        Mesh* mesh = results->MeshToMap();
        if (zin == nullptr || mesh == nullptr) return OutOfMemory();
        ClearMeshZin(env.Board, mesh);
        MapZDistribution(raw, mesh);
        MeshToZinRaster(mesh, env.Board, zin);
        changes = kChangedZinResults;
        break;
    }
    case AC_MODE_CURRENT_DENSITY_AT_F: {
        const ElectricalRasters rasters = ZeroedElectricalRasters(*results);
        Mesh* mesh = results->MeshToMap();
        if (!rasters.Valid() || mesh == nullptr) return OutOfMemory();
        MapAcCurrentDensity(raw, env.Board, mesh);
        MeshToCurrentDensityRasters(env.Board, mesh, rasters.CurrentX, rasters.CurrentY, rasters.Density);
        changes = kChangedElectricalResults;
        break;
    }
    case AC_MODE_VOLTAGE_NOISE_AT_F: {
        float*** voltage = results->CopiedRaster(&SimMatrix::VoltageMatrix);
        Mesh* mesh = results->MeshToMap();
        if (voltage == nullptr || mesh == nullptr) return OutOfMemory();
        MapVoltageNoise(raw, mesh);
        MeshToVoltageRaster(mesh, env.Board, voltage);
        changes = kChangedElectricalResults;
        break;
    }
    default:
        outcome.Reason = "unknown AC analysis " + std::to_string(job.Mode);
        return outcome;
    }
    return Mapped(env, kAcBase, std::move(results), changes);
}

int ClearMeshZin(const SimMatrix* board, Mesh* mesh)
{
    if (board == nullptr || mesh == nullptr) return -1;
    // A node without a record reads 0 already.
    for (MeshNode* n = GetFirstNode(mesh); n != nullptr; n = GetNextNode(n))
        if (n->Results != nullptr)
            for (int l = 0; l < board->LayerCount && l < 8; ++l) n->Results->Zin[l] = 0.0f;
    return 0;
}

}  // namespace korvex
