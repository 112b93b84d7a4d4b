#include "project/project.h"

#include "board/cap_list.h"
#include "board/citi_file.h"
#include "board/project_file.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "board/voltage_noise_param.h"
#include "diagram/diagram.h"
#include "jobs/job_runner.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_job.h"
#include "netlist/element_counters.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/job_observer.h"

namespace korvex {

struct Project::Records {
    std::string Path;
    bool Compressed = true;
    bool Modified = false;
    SimMatrix Board;
    Mesh MeshRecord;
    Settings SettingsRecord = DefaultSettings();
    Diagram DiagramRecord;
    SPARAM ImportedSParameters;
    SimulateSCapacitorData SParameters;
    CapDatabase Caps;
    CapDatabase CapCatalogue;
    VoltageNoiseTimeParam NoiseParam;
    ElementCounters Counters;
    AcJobRecords AcJobs;

    Records() { InitSimulationMatrix(&Board); }
    ~Records()
    {
        FreeCapDatabase(&Caps);
        FreeCapDatabase(&CapCatalogue);
        FreeSimulateSCapacitor(&SParameters);
    }
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;

    ProjectSections Sections() { return ProjectSections{&Caps, &NoiseParam}; }
};

namespace {
// What a project file keeps of a job's results.
constexpr unsigned kChangesStoredInFile =
    kChangedElectricalResults | kChangedThermalResults | kChangedZinResults | kChangedParts;
}  // namespace

Project::Project() : records_(std::make_unique<Records>()) {}
Project::~Project() = default;
Project::Project(Project&& other) noexcept = default;
Project& Project::operator=(Project&& other) noexcept = default;

Status Project::Open(const std::string& path)
{
    Records& r = *records_;
    const Status read = ReadProject(path.c_str(), &r.Board, true, r.Sections());
    if (!read) return read;
    // The mesh and the capacitor S-parameters belonged to the former board.
    FreeMesh(&r.MeshRecord);
    FreeSimulateSCapacitor(&r.SParameters);
    r.Path = path;
    r.Compressed = IsCompressedProject(path.c_str());
    r.Modified = false;
    return Status::Ok();
}

void Project::Create(const std::string& path, bool compressed)
{
    records_->Path = path;
    records_->Compressed = compressed;
    records_->Modified = true;
}

Status Project::Save()
{
    Records& r = *records_;
    if (r.Path.empty()) return Status::Refused("the project has no file name yet");
    const Status written = WriteProject(r.Path.c_str(), &r.Board, r.Compressed, r.Sections());
    if (written) r.Modified = false;
    return written;
}

Status Project::SaveAs(const std::string& path, bool compressed)
{
    Records& r = *records_;
    const Status written = WriteProject(path.c_str(), &r.Board, compressed, r.Sections());
    if (!written) return written;
    r.Path = path;
    r.Compressed = compressed;
    r.Modified = false;
    return written;
}

const std::string& Project::Path() const { return records_->Path; }
bool Project::IsCompressed() const { return records_->Compressed; }
bool Project::IsModified() const { return records_->Modified; }
void Project::MarkModified() { records_->Modified = true; }

SimMatrix& Project::Board() { return records_->Board; }
const SimMatrix& Project::Board() const { return records_->Board; }
Mesh& Project::MeshRecord() { return records_->MeshRecord; }
Settings& Project::SettingsRecord() { return records_->SettingsRecord; }
Diagram& Project::DiagramRecord() { return records_->DiagramRecord; }
SPARAM& Project::ImportedSParameters() { return records_->ImportedSParameters; }
SimulateSCapacitorData& Project::SParameters() { return records_->SParameters; }
CapDatabase& Project::Caps() { return records_->Caps; }
CapDatabase& Project::CapCatalogue() { return records_->CapCatalogue; }
VoltageNoiseTimeParam& Project::NoiseParam() { return records_->NoiseParam; }
ElementCounters& Project::Counters() { return records_->Counters; }
AcJob* Project::AcJobForMode(uint32_t mode) { return records_->AcJobs.ForMode(mode); }

JobEnvironment Project::Environment()
{
    Records& r = *records_;
    JobEnvironment env;
    env.Board = &r.Board;
    env.Mesh = &r.MeshRecord;
    env.Settings = &r.SettingsRecord;
    env.Diagram = &r.DiagramRecord;
    env.SParameters = &r.SParameters;
    env.Counters = &r.Counters;
    return env;
}

void Project::NoteJobChanges(unsigned changes)
{
    if ((changes & kChangesStoredInFile) != 0) records_->Modified = true;
}

Status Project::ApplyResults(JobRunner& runner, const JobOutcome& outcome)
{
    if (runner.ApplyResults(Environment()) != 0)
        return Status::Refused("the results no longer fit the board or mesh");
    NoteJobChanges(outcome.Changes);
    return Status::Ok();
}

}  // namespace korvex
