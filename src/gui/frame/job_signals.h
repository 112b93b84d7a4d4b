#pragma once
// The core's job runner seen from the user-interface thread: the worker's
// progress, partial meshes and end arrive as queued signals, and the results
// are swapped into the board's records here, on this object's thread, before
// Finished is emitted. Cancel stops the job (a running simulator's process
// group is killed); a cancelled or failed job changes nothing.
#include <QObject>
#include <QString>
#include <vector>

#include "jobs/job_runner.h"
#include "mesh/mesh_model.h"
#include "util/job_observer.h"

namespace korvex::gui {

class JobSignals : public QObject {
    Q_OBJECT
public:
    explicit JobSignals(QObject* parent = nullptr);
    // Cancels a running job and waits for it; its results are dropped
    // without Finished.
    ~JobSignals() override;

    // True from Start until the job's end has been handled here (the runner
    // frees its slot earlier, on the worker, when there is nothing to apply).
    bool IsRunning() const { return waiting_ || runner_.IsRunning(); }
    // Starts `work` on the runner with `env` (its observer set to this object);
    // the results are applied to env's records. False (nothing started) while
    // a job runs.
    bool Start(const QString& name, const JobEnvironment& env, JobRunner::Work work);
    // Asks the running job to stop; returns at once, Finished follows.
    void Cancel();
    // Waits for the worker to end, then handles its end at once (results
    // applied, Finished emitted) instead of through the queue.
    void Wait();
    // Quitting: cancels, then waits; the results are dropped.
    void CancelAndWait();

signals:
    void Started(const QString& name);
    void Progress(const QString& stage, double fraction);
    void MeshSnapshot(const std::vector<MeshRect>& nodes);
    // On this object's thread, after the results were applied (outcome.Changes
    // is 0 when nothing was). `cancelled`: stopped at the user's request.
    void Finished(const QString& name, const JobOutcome& outcome, bool cancelled);

private:
    // Turns the worker's calls into queued signals.
    class Observer : public JobObserver {
    public:
        explicit Observer(JobSignals* owner) : owner_(owner) {}
        void Progress(std::string_view stage, double fraction) override;
        void PartialMesh(const Mesh& mesh) override;
        void Finished(const JobOutcome& outcome) override;

    private:
        JobSignals* owner_;
    };

    void Complete(JobOutcome outcome);

    Observer observer_{this};
    JobRunner runner_{&observer_};
    JobEnvironment env_;
    QString name_;
    bool cancelRequested_ = false;
    bool waiting_ = false;  // a job was started and Complete has not run yet
};

// The rectangles of every node, in list order.
std::vector<MeshRect> MeshRectangles(const Mesh& mesh);

}  // namespace korvex::gui
