#include "jobs/pdn_commands.h"

#include <cmath>
#include <filesystem>
#include <mutex>
#include <set>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "board/voltage_noise_param.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "netlist/ac_job.h"
#include "pdn/cap_database.h"
#include "pdn/cap_tuning.h"
#include "pdn/opti_cap.h"
#include "pdn/port_zin_curve.h"
#include "pdn/simulate_s_capacitor.h"
#include "pdn/spice_fit.h"
#include "pdn/voltage_noise_time.h"
#include "util/job_observer.h"

namespace korvex {

namespace {

JobOutcome Refused(std::string reason)
{
    JobOutcome outcome;
    outcome.Reason = std::move(reason);
    return outcome;
}

JobOutcome Failed(JobOutcome outcome, std::string reason)
{
    outcome.Success = false;
    outcome.Reason = std::move(reason);
    return outcome;
}

bool HasPort(const JobEnvironment& env, uint32_t portId)
{
    return env.Board != nullptr && GetPartfromID(env.Board, PART_PORT, portId) != nullptr;
}

// The tools compute on the sweep's curves at once, so its results are swapped
// in before the tool goes on.
JobOutcome RunAc(const JobEnvironment& env, uint32_t mode, uint32_t sourcePort, uint32_t terminationPort)
{
    AcJob job;
    job.Mode = mode;
    job.SourcePort = sourcePort;
    job.TerminationPort = terminationPort;
    JobEnvironment now = env;
    now.DeferResults = false;
    JobOutcome outcome = CommandSimulateAc(now, job);
    if (!outcome.Success && !outcome.Caption.empty()) outcome.Reason = outcome.Caption + ": " + outcome.Reason;
    return outcome;
}

JobOutcome StoppedOrFailed(JobOutcome outcome, const JobEnvironment& env, std::string reason)
{
    return korvex::Cancelled(env.Cancel) ? CancelledOutcome() : Failed(std::move(outcome), std::move(reason));
}

// References of the board's capacitors.
std::set<uint32_t> CapacitorRefs(const SimMatrix* board)
{
    std::set<uint32_t> refs;
    for (Part* p = GetFirstPart(board); p != nullptr; p = GetNextPart(p))
        if (p->Kind == PART_CAP) refs.insert(PartRecord<Cap>(p)->Ref);
    return refs;
}

// Largest magnitude of a curve up to `limit` Hz (the whole curve for a limit of
// infinity) and the frequency where it first occurs.
void CurveMaximum(const Diagram* diagram, int slot, float limit, float* maximum, float* frequency)
{
    std::lock_guard<std::mutex> guard(diagram->Lock);
    const DiagramCurve& c = diagram->Curve[slot];
    *maximum = 0;
    *frequency = 0;
    for (int k = 0; k < c.PointCount && c.pX[k] <= limit; ++k) {
        const float m = std::hypot(c.pY[k], c.pZ[k]);
        if (k == 0 || m > *maximum) {
            *maximum = m;
            *frequency = c.pX[k];
        }
    }
}

// Fit error of a branch list against a Zin curve; infinity when it cannot be formed.
float FitError(const CapDatabase* list, const ZinSamples& zin)
{
    SpiceFit fit;
    if (InitSpiceFit(&fit, list, zin) != 0) return INFINITY;
    return OptimizeSpice_calculate_efficiency(&fit);
}

}  // namespace

int LoadWorkFolderCatalogue(const std::string& folder, CapDatabase* catalogue, std::string* reason)
{
    if (catalogue == nullptr) return -1;
    const std::filesystem::path path = std::filesystem::path(folder.empty() ? "." : folder) / kCapCatalogueFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return InitCapDatabase(catalogue) == 0 ? 0 : -1;
    CapDatabase loaded;
    std::string error;
    if (LoadCapDatabase(&loaded, path.c_str(), &error) != 0 || loaded.Count <= 0) {
        if (reason != nullptr) *reason = error.empty() ? path.string() + " holds no capacitors" : error;
        FreeCapDatabase(&loaded);
        return -1;
    }
    SwapCapDatabase(catalogue, &loaded);
    FreeCapDatabase(&loaded);
    return 1;
}

JobOutcome CommandSimulatePortZin(const JobEnvironment& env, uint32_t portId, int* slot)
{
    if (slot != nullptr) *slot = -1;
    if (env.Board == nullptr || env.Diagram == nullptr || env.Settings == nullptr) return Refused("no board is open");
    if (!HasPort(env, portId)) return Refused("the board has no port " + std::to_string(portId));
    JobOutcome outcome = RunAc(env, AC_MODE_ZIN_OF_PORTS, 0, 0);
    if (!outcome.Success) return outcome;
    const int found = FindPortZinCurve(env.Diagram, portId);
    if (found < 0) return Failed(outcome, "the simulation gave no curve " + PortZinCurveName(portId));
    if (slot != nullptr) *slot = found;
    return outcome;
}

JobOutcome CommandOptimizeCaps(const JobEnvironment& env, const OptiCapParam& param, const CapDatabase& catalogue,
                               OptimizeCapsResult* result)
{
    OptimizeCapsResult local;
    OptimizeCapsResult& r = result != nullptr ? *result : local;
    r = OptimizeCapsResult{};
    PdnMessage message;
    if (CheckOptiCapParam(&param, &message) != 0) return Refused(message.Text);
    if (catalogue.Count <= 0) return Refused("the capacitor catalogue is empty");
    JobOutcome outcome = CommandSimulatePortZin(env, param.TargetPort, &r.ZinSlot);
    if (!outcome.Success) return outcome;

    const std::set<uint32_t> before = CapacitorRefs(env.Board);
    if (OptimizeCaps(env.Board, env.Diagram, &param, &catalogue, &message, env.Cancel) != 0)
        return StoppedOrFailed(outcome, env, message.Text.empty() ? "the optimisation was refused" : message.Text);
    // PlaceCapBank appends in bank order, so the new parts come in the order chosen.
    for (Part* p = GetFirstPart(env.Board); p != nullptr; p = GetNextPart(p))
        if (p->Kind == PART_CAP && before.count(PartRecord<Cap>(p)->Ref) == 0) r.Placed.push_back(*PartRecord<Cap>(p));
    r.ResultSlot = r.ZinSlot + 1;
    CurveMaximum(env.Diagram, r.ResultSlot, param.TargetFrequency, &r.MaxImpedance, &r.MaxImpedanceFrequency);
    outcome.Changes |= kChangedParts;
    return outcome;
}

JobOutcome CommandFitSpiceCircuit(const JobEnvironment& env, CapDatabase* list, uint32_t sensitivity,
                                  FitSpiceResult* result)
{
    FitSpiceResult local;
    FitSpiceResult& r = result != nullptr ? *result : local;
    r = FitSpiceResult{};
    if (list == nullptr || list->Count <= 0 || list->Count > kSpiceFitMaxBranches)
        return Refused("the equivalent circuit needs 1 to " + std::to_string(kSpiceFitMaxBranches) + " branches (has " +
                       std::to_string(list == nullptr ? 0 : list->Count) + ")");
    FitSchedule schedule;
    if (GetFitSchedule(sensitivity, &schedule) != 0)
        return Refused("unknown sensitivity " + std::to_string(sensitivity) + " (0, 1 or 2)");
    JobOutcome outcome = CommandSimulatePortZin(env, 0, &r.ZinSlot);
    if (!outcome.Success) return outcome;

    ZinSamples zin;
    CopyDiagramCurve(env.Diagram, r.ZinSlot, &zin);
    r.Points = zin.Size();
    r.ErrorBefore = FitError(list, zin);
    PdnMessage message;
    if (OptimizeSpiceCircuit(env.Board, env.Diagram, list, sensitivity, &message, env.Cancel) != 0)
        return StoppedOrFailed(outcome, env, message.Text.empty() ? "the fit was refused" : message.Text);
    r.ErrorAfter = FitError(list, zin);
    return outcome;
}

JobOutcome CommandVoltageNoiseTime(const JobEnvironment& env, VoltageNoiseTimeParam* param, uint32_t drivePort,
                                   Diagram* timeDiagram)
{
    if (param == nullptr || timeDiagram == nullptr) return Refused("no noise parameters");
    if (env.Board == nullptr || env.Diagram == nullptr || env.Settings == nullptr) return Refused("no board is open");
    PdnMessage message;
    Settings sweep = *env.Settings;
    const int mode = VoltageNoiseSimulateSettings(param, &sweep, &message);
    if (mode < 0) return Refused(message.Text);
    if (mode == AC_MODE_CURRENT_NOISE_TRANSFER && !HasPort(env, drivePort))
        return Refused("the board has no port " + std::to_string(drivePort) + " to inject the current");
    *env.Settings = sweep;
    JobOutcome outcome = RunAc(env, static_cast<uint32_t>(mode), drivePort, 0);
    if (!outcome.Success) return outcome;

    InitVoltageNoiseTimeDiagram(param, timeDiagram);
    if (RecomputeVoltageNoiseTime(param, timeDiagram, env.Diagram, &message) != 0 || !message.Text.empty())
        return Failed(outcome, message.Text.empty() ? "the time signals could not be computed" : message.Text);
    return outcome;
}

JobOutcome CommandSimulateSCapacitor(const JobEnvironment& env, uint32_t portId, uint32_t capRef)
{
    if (env.Board == nullptr || env.SParameters == nullptr) return Refused("no board is open");
    PdnMessage message;
    if (CheckSimulateSCapacitor(env.Board, portId, capRef, &message) != 0) return Refused(message.Text);
    JobOutcome outcome = RunAc(env, AC_MODE_CAPACITOR_SPARAMETERS, portId, capRef);
    if (!outcome.Success) return outcome;
    if (env.SParameters->Points <= 0) return Failed(outcome, "the simulation gave no S-parameters");
    env.SParameters->SelectedPort = portId;
    env.SParameters->SelectedCap = capRef;
    return outcome;
}

int DrawSimulateSCapacitor(const JobEnvironment& env, const Cap& capacitor)
{
    if (env.Diagram == nullptr || env.Settings == nullptr || env.SParameters == nullptr) return -1;
    if (PrepareSimulateSCapacitorDiagram(env.Diagram, env.Settings, env.SParameters) != 0) return -1;
    return SimulateSCapacitorDrawDiagram(env.Diagram, &capacitor, env.SParameters);
}

}  // namespace korvex
