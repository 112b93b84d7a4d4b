#pragma once
// One open project: the board with its parts, the mesh over it, the settings,
// the diagram, the S-parameters (imported and of the board's capacitors), the
// capacitor catalogue and the project's capacitor list, the noise-tool
// parameters, the netlist element counters and the AC job records. It reads
// and writes the project file and remembers whether anything changed since.
//
// Owns everything it holds: not copyable, movable (the records stay where they
// are, so references and job environments taken before a move stay valid and
// now belong to the moved-to project), freed when destroyed.
#include <memory>
#include <string>

#include "jobs/job_outcome.h"
#include "jobs/simulation_job.h"
#include "util/status.h"

namespace korvex {

// The board, mesh, settings, diagram, S-parameter, counter and AC job records
// are declared with JobEnvironment.
struct SPARAM;
struct CapDatabase;
struct VoltageNoiseTimeParam;
class JobRunner;

class Project {
public:
    // A new project: an empty board record, no mesh, the default settings,
    // empty lists. It has no path until Create, Open or SaveAs gives one.
    Project();
    ~Project();
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;
    // A moved-from project may only be destroyed or assigned to.
    Project(Project&& other) noexcept;
    Project& operator=(Project&& other) noexcept;

    // Reads PATH (plain or compressed): board, parts, capacitor list and, in
    // compressed files, the noise parameters. The mesh and capacitor
    // S-parameters of the former board are dropped. A refusal says why and
    // leaves the project as it was.
    Status Open(const std::string& path);
    // Names the file a new project is saved to (nothing is written yet).
    void Create(const std::string& path, bool compressed);
    // Writes the project to its file in its format, replacing it safely (a
    // failed save keeps the former file).
    Status Save();
    // Writes to PATH in the given format and makes it the project's file.
    Status SaveAs(const std::string& path, bool compressed);

    const std::string& Path() const;
    bool IsCompressed() const;
    // True once anything changed since the last Open or Save: changes made
    // through MarkModified and results applied from a job that the file stores.
    bool IsModified() const;
    void MarkModified();

    SimMatrix& Board();
    const SimMatrix& Board() const;
    Mesh& MeshRecord();
    Settings& SettingsRecord();
    Diagram& DiagramRecord();
    SPARAM& ImportedSParameters();            // a CITI file's two-port data
    SimulateSCapacitorData& SParameters();    // of the board's capacitors
    CapDatabase& Caps();                      // the list stored in the project file
    CapDatabase& CapCatalogue();              // the capacitor catalogue
    VoltageNoiseTimeParam& NoiseParam();
    ElementCounters& Counters();
    // The job record of an AC command (null for an unknown mode).
    AcJob* AcJobForMode(uint32_t mode);

    // The records a job works on; the caller adds work folder, simulator,
    // observer and cancel token.
    JobEnvironment Environment();
    // Records that a job's results were swapped in: results the file stores
    // (rasters, part values) make the project modified.
    void NoteJobChanges(unsigned changes);
    // Swaps in the results of RUNNER's ended job (on the owner's thread) and
    // notes OUTCOME's changes; refused when they no longer fit the records.
    Status ApplyResults(JobRunner& runner, const JobOutcome& outcome);

private:
    struct Records;
    std::unique_ptr<Records> records_;
};

}  // namespace korvex
