#pragma once
// Runs one simulation job at a time on a worker thread and reports to the
// user-interface thread through queued signals: progress, log lines, mesh
// snapshots while a mesh is built, and the whole outcome at the end.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "jobs/simulation_job.h"
#include "mesh/mesh_model.h"
#include "util/job_observer.h"

namespace korvex::gui {

class JobController : public QObject {
    Q_OBJECT
public:
    explicit JobController(QObject* parent = nullptr);
    ~JobController() override;

    bool IsRunning() const { return running_; }
    using Work = std::function<JobOutcome(const JobEnvironment&)>;
    // Starts `work` on a worker thread with `env` (its observer set to this
    // controller's); false (nothing started) while a job runs. At every
    // repaint the worker sends a snapshot of env's mesh.
    bool Start(const QString& name, JobEnvironment env, Work work);
    // Asks the running job to stop; its results are not mapped.
    void Cancel();
    // Blocks until the worker has ended (quitting); Finished is still delivered.
    void Wait();
    bool CancelRequested() const { return cancel_; }

signals:
    void Started(const QString& name);
    void Progress(const QString& stage, double fraction);
    void MeshSnapshot(const std::vector<MeshRect>& nodes);
    void Finished(const QString& name, const JobOutcome& outcome, bool cancelled);

private:
    class Observer;
    void Done(const QString& name, const JobOutcome& outcome);

    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::thread worker_;
    std::unique_ptr<Observer> observer_;
};

// The rectangles of every node, in list order.
std::vector<MeshRect> MeshRectangles(const Mesh& mesh);

}  // namespace korvex::gui

