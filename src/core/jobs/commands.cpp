#include "jobs/commands.h"

#include "board/bitmap_file.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_preconditions.h"
#include "netlist/netlist_ac.h"
#include "netlist/netlist_electrical.h"
#include "netlist/netlist_thermal.h"
#include "util/debug_log.h"

namespace korvex {

namespace {
thread_local AcCommandRefusal gLastAcRefusal;

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
}  // namespace

int CommandCreateMesh(const JobEnvironment& env, MeshBuildReport* report, std::string* reason)
{
    if (!HasBoard(env)) {
        if (reason) *reason = "no board is open";
        return -1;
    }
    if (env.Settings->MaxMeshOrder > kLargestMeshOrder) {
        if (reason)
            *reason = "Max Mesh Order " + std::to_string(env.Settings->MaxMeshOrder) + " is too large (at most " +
                      std::to_string(kLargestMeshOrder) + ")";
        return -1;
    }
    if (CreateMesh(env.Board, env.Mesh, env.Observer, env.Settings, report) != 0) {
        if (reason) *reason = "the mesh could not be created";
        return -1;
    }
    return 0;
}

JobOutcome CommandSimulateElectrical(const JobEnvironment& env)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    if (const std::string bad = CheckElectricalMaterials(*env.Board); !bad.empty()) return Refused(bad);
    const std::string path = WorkFilePath(env, kElectricalBase, ".cir");
    printDebug("Generate Electrical Spice Circuit %s\r\n", path.c_str());
    if (CreateSpiceElectricalMesh(path.c_str(), env.Board, env.Mesh) != 0)
        return Refused("the netlist " + path + " could not be written");
    return ThreadSpiceElectricalMesh(env);
}

JobOutcome CommandSimulateThermal(const JobEnvironment& env)
{
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    if (const std::string bad = CheckElectricalMaterials(*env.Board); !bad.empty()) return Refused(bad);
    const std::string path = WorkFilePath(env, kThermalBase, ".cir");
    printDebug("Generate Thermal Spice Circuit %s\r\n", path.c_str());
    if (CreateSpiceThermalMesh(path.c_str(), env.Board, env.Mesh, env.Settings) != 0)
        return Refused("the netlist " + path + " could not be written");
    return ThreadSpiceThermalMesh(env);
}

JobOutcome CommandSimulateAc(const JobEnvironment& env, const AcJob& job)
{
    gLastAcRefusal = {};
    if (!HasBoard(env)) return Refused("no board is open");
    if (!HasMesh(env)) return Refused("create the mesh first");
    AcRefusal refusal;
    if (CheckAcPreconditions(env.Board, job.Mode, &refusal) != 0) {
        gLastAcRefusal = {refusal.Text, refusal.Caption};
        return Refused(refusal.Text);
    }
    const std::string path = WorkFilePath(env, kAcBase, ".cir");
    printDebug("Generate AC Spice Circuit %s\r\n", path.c_str());
    if (CreateSpiceAC(path.c_str(), env.Board, env.Mesh, env.Settings, &job) != 0)
        return Refused("the AC netlist " + path + " could not be written (see the log)");
    return ThreadSpiceZin(env, job);
}

const AcCommandRefusal& LastAcRefusal()
{
    return gLastAcRefusal;
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
    JobSlot slot;
    if (!slot.Acquired()) return Refused("another simulation is running");
    return command();
}

}  // namespace korvex
