#include "jobs/commands.h"

#include <utility>

#include "board/bitmap_file.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "jobs/work_folder_lock.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_preconditions.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "netlist/netlist_thermal.h"
#include "jobs/job_runner.h"
#include "util/debug_log.h"
#include "util/job_observer.h"

namespace korvex {

namespace {
JobOutcome Refused(std::string reason)
{
    JobOutcome outcome;
    outcome.Reason = std::move(reason);
    return outcome;
}

bool HasMesh(const JobEnvironment& env)
{
    return env.Mesh != nullptr && GetFirstNode(env.Mesh) != nullptr;
}

bool HasBoard(const JobEnvironment& env)
{
    return env.Board != nullptr && env.Board->CopperMatrix != nullptr;
}

// Material values the electrical network divides by; zero or negative ones
// would write infinite or undefined resistances.
std::string CheckElectricalMaterials(const SimMatrix& board)
{
    if (!(board.ElectricalConductivity > 0)) return "the copper conductivity must be positive";
    for (int l = 0; l < board.LayerCount; ++l) {
        if (!(board.CopperThickness[l] > 0))
            return "the copper thickness of Layer" + std::to_string(l + 1) + " must be positive";
        if (l + 1 < board.LayerCount && !(board.SizeZ[l] > 0))
            return "the dielectric thickness below Layer" + std::to_string(l + 1) + " must be positive";
    }
    if (!(board.SizeX > 0) || !(board.SizeY > 0)) return "the board size must be positive";
    return "";
}

// The netlist stage of a job: `write` is the writer, whose reason a refusal
// carries; a cancel request that arrives meanwhile ends the job after it.
template <class Write>
bool WriteNetlist(const JobEnvironment& env, Write write, JobOutcome* refusal)
{
    if (env.Observer != nullptr) env.Observer->Progress(kStageWriteNetlist, -1);
    if (korvex::Cancelled(env.Cancel)) {
        *refusal = CancelledOutcome();
        return false;
    }
    if (const Status written = write(); !written) {
        *refusal = Refused(written.Reason());
        return false;
    }
    if (korvex::Cancelled(env.Cancel)) {
        *refusal = CancelledOutcome();
        return false;
    }
    return true;
}
}  // namespace

namespace {
// A mesh built apart from the board's, swapped in whole.
class MeshResults : public korvex::JobResults {
public:
    ~MeshResults() override { FreeMesh(&Built); }
    int Apply(const JobEnvironment& env) override
    {
        if (env.Mesh == nullptr) return -1;
        std::swap(*env.Mesh, Built);
        FreeMesh(&Built);
        return 0;
    }
    korvex::Mesh Built;
};
}  // namespace

namespace {
// Passes the mesh job's reports on and shows the mesh being built with each repaint.
class MeshBuildObserver : public JobObserver {
public:
    MeshBuildObserver(JobObserver* inner, const korvex::Mesh* built) : inner_(inner), built_(built) {}
    void LogLine(std::string_view line) override { inner_->LogLine(line); }
    void Progress(std::string_view stage, double fraction) override { inner_->Progress(stage, fraction); }
    void Repaint() override
    {
        inner_->Repaint();
        inner_->PartialMesh(*built_);
    }

private:
    JobObserver* inner_;
    const korvex::Mesh* built_;
};
}  // namespace

JobOutcome CommandCreateMeshJob(const JobEnvironment& env, MeshBuildReport* report)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (env.Settings->MaxMeshOrder > kLargestMeshOrder)
        return Refused("Max Mesh Order " + std::to_string(env.Settings->MaxMeshOrder) + " is too large (at most " +
                       std::to_string(kLargestMeshOrder) + ")");
    auto results = std::make_shared<MeshResults>();
    MeshBuildObserver observer(env.Observer, &results->Built);
    JobObserver* shown = env.Observer != nullptr ? &observer : nullptr;
    if (CreateMesh(env.Board, &results->Built, shown, env.Settings, report, env.Cancel) != 0)
        return korvex::Cancelled(env.Cancel) ? CancelledOutcome() : Refused("the mesh could not be created");
    JobOutcome outcome;
    outcome.Success = true;
    outcome.Changes = kChangedMesh;
    outcome.Results = std::move(results);
    return FinishJob(std::move(outcome), env);
}

int CommandCreateMesh(const JobEnvironment& env, MeshBuildReport* report, std::string* reason)
{
    const JobOutcome outcome = CommandCreateMeshJob(env, report);
    if (!outcome.Success && reason != nullptr) *reason = outcome.Reason;
    return outcome.Success ? 0 : -1;
}

JobOutcome CommandSimulateElectrical(const JobEnvironment& env)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    if (const std::string bad = CheckElectricalMaterials(*env.Board); !bad.empty()) return Refused(bad);
    const korvex::WorkFolderLock lock(env.WorkFolder);  // held until the results are read
    if (!lock.Acquired()) return Refused(lock.Reason());
    const std::string path = WorkFilePath(env, kElectricalBase, ".cir");
    printDebug("Generate Electrical Spice Circuit %s\r\n", path.c_str());
    JobOutcome stopped;
    if (!WriteNetlist(
            env, [&] { return WriteElectricalNetlist(path.c_str(), env.Board, env.Mesh, env.Counters); }, &stopped))
        return stopped;
    return ThreadSpiceElectricalMesh(env);
}

JobOutcome CommandSimulateThermal(const JobEnvironment& env)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    if (const std::string bad = CheckElectricalMaterials(*env.Board); !bad.empty()) return Refused(bad);
    const korvex::WorkFolderLock lock(env.WorkFolder);  // held until the results are read
    if (!lock.Acquired()) return Refused(lock.Reason());
    const std::string path = WorkFilePath(env, kThermalBase, ".cir");
    printDebug("Generate Thermal Spice Circuit %s\r\n", path.c_str());
    JobOutcome stopped;
    if (!WriteNetlist(
            env, [&] { return WriteThermalNetlist(path.c_str(), env.Board, env.Mesh, env.Settings, env.Counters); },
            &stopped))
        return stopped;
    return ThreadSpiceThermalMesh(env);
}

JobOutcome CommandSimulateAc(const JobEnvironment& env, const AcJob& job)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    if (const std::string bad = CheckElectricalMaterials(*env.Board); !bad.empty()) return Refused(bad);
    if (const Status allowed = AcPreconditions(env.Board, job.Mode); !allowed) {
        JobOutcome outcome = Refused(allowed.Reason());
        outcome.Caption = allowed.Caption();
        return outcome;
    }
    const korvex::WorkFolderLock lock(env.WorkFolder);  // held until the results are read
    if (!lock.Acquired()) return Refused(lock.Reason());
    const std::string path = WorkFilePath(env, kAcBase, ".cir");
    printDebug("Generate AC Spice Circuit %s\r\n", path.c_str());
    JobOutcome stopped;
    if (!WriteNetlist(
            env,
            [&] { return WriteAcNetlist(path.c_str(), env.Board, env.Mesh, env.Settings, &job, env.Counters); },
            &stopped))
        return stopped;
    return ThreadSpiceZin(env, job);
}

JobOutcome CommandCreateBMPs(const JobEnvironment& env, const std::string& folder)
{
    if (!HasBoard(env)) return Refused("no board is open");
    JobOutcome outcome;
    const std::string target = folder.empty() ? (env.WorkFolder.empty() ? "." : env.WorkFolder) : folder;
    outcome.Success = CreateBMPs(env.Board, target, &outcome.Reason) == 0;
    return outcome;
}

JobOutcome RunExclusive(const std::function<JobOutcome()>& command)
{
    korvex::JobSlot slot;
    if (!slot.Acquired()) return Refused("another simulation is running");
    return command();
}

}  // namespace korvex
