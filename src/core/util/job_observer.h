#pragma once
// How long-running core work (mesh creation, simulation jobs, optimisers)
// reports to its front end: the GUI turns these calls into signals, the
// command line into terminal output, tests record them. Every method may be
// called from a worker thread.
#include <string_view>

namespace korvex {

struct JobOutcome;
struct Mesh;

// What a finished piece of work changed, so the front end knows what to redraw.
enum JobChange : unsigned {
    kChangedNothing = 0,
    kChangedMesh = 1u << 0,
    kChangedElectricalResults = 1u << 1,
    kChangedThermalResults = 1u << 2,
    kChangedZinResults = 1u << 3,
    kChangedDiagram = 1u << 4,
    kChangedParts = 1u << 5,
    kChangedCapacitorSParameters = 1u << 6,
};

class JobObserver {
public:
    virtual ~JobObserver() = default;
    // One line of the job's own log (the debug log gets it too).
    virtual void LogLine(std::string_view) {}
    // Progress within a named stage; fraction in [0, 1] or negative when unknown.
    virtual void Progress(std::string_view /*stage*/, double /*fraction*/) {}
    // The board or mesh was changed in a way that should be repainted now
    // (e.g. after each mesh stage).
    virtual void Repaint() {}
    // While a mesh is built (apart from the board's mesh, which stays shown):
    // the partial mesh, right after each Repaint. Read it during the call only
    // (it is the worker's), e.g. to copy the node rectangles for the window.
    virtual void PartialMesh(const Mesh& /*mesh*/) {}
    // The job has ended (jobs/job_outcome.h): success, cancelled, the reason,
    // the simulator log's tail and what its results change once the owner has
    // applied them (JobRunner::ApplyResults, on the owner's thread). Called
    // last, from the worker thread; the job slot is freed after it returns.
    virtual void Finished(const JobOutcome& /*outcome*/) {}
};

}  // namespace korvex
