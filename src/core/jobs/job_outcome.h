#pragma once
// What a finished job hands its owner: whether it succeeded, why not, the
// simulator log's tail, what it changed, and the results it read, held apart
// from the live records until the owner swaps them in on its own thread.
#include <memory>
#include <string>

namespace korvex {

struct JobEnvironment;

// Results of a job kept in records of their own (scratch rasters, a copy of
// the mesh's nodes, a diagram, part values). The worker only fills them; the
// owner calls Apply once, on its own thread, while no job runs.
class JobResults {
public:
    virtual ~JobResults() = default;
    // Swaps the results into env's records (board rasters, mesh nodes, parts,
    // diagram, S-parameters). 0, or -1 when env no longer fits them (another
    // mesh), which changes nothing.
    virtual int Apply(const JobEnvironment& env) = 0;
};

struct JobOutcome {
    bool Success = false;
    unsigned Changes = 0;       // JobChange bits of what was mapped (or will be, once applied)
    std::string Reason;         // one line when the job failed, was refused or cancelled
    std::string LogTail;        // end of the simulator's log after a failed run
    std::string SimulatorLog;   // path of the simulator's log
    bool Cancelled = false;     // stopped by a cancel request; nothing was changed
    std::string Caption;        // the caption of a refusal the desktop shows in a message box
    // Results still to be swapped in (null when there are none or they were applied).
    std::shared_ptr<JobResults> Results;
};

}  // namespace korvex
