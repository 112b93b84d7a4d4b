#include "frame/job_signals.h"

#include <QMetaObject>

namespace korvex::gui {

std::vector<MeshRect> MeshRectangles(const Mesh& mesh)
{
    std::vector<MeshRect> rects;
    rects.reserve(mesh.NodeCount);
    for (const MeshNode* node = GetFirstNode(&mesh); node != nullptr; node = GetNextNode(node))
        rects.push_back(GetRect(node));
    return rects;
}

JobSignals::JobSignals(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<JobOutcome>();
    qRegisterMetaType<std::vector<MeshRect>>();
}

JobSignals::~JobSignals()
{
    // No signals from here: the receivers may be half destroyed.
    if (runner_.IsRunning()) runner_.Cancel();
    runner_.Join();
    runner_.DiscardResults();
}

bool JobSignals::Start(const QString& name, const JobEnvironment& env, JobRunner::Work work)
{
    if (waiting_) return false;  // the last job's end has not been handled yet
    JobEnvironment jobEnv = env;
    jobEnv.Observer = &observer_;
    cancelRequested_ = false;
    if (!runner_.Start(jobEnv, std::move(work))) return false;
    env_ = env;
    name_ = name;
    waiting_ = true;
    emit Started(name);
    return true;
}

void JobSignals::Cancel()
{
    if (!IsRunning()) return;
    cancelRequested_ = true;
    runner_.Cancel();
}

void JobSignals::Wait()
{
    if (waiting_) Complete(runner_.Join());
}

void JobSignals::CancelAndWait()
{
    Cancel();
    Wait();
}

void JobSignals::Observer::Progress(std::string_view stage, double fraction)
{
    emit owner_->Progress(QString::fromUtf8(stage.data(), static_cast<qsizetype>(stage.size())), fraction);
}

void JobSignals::Observer::PartialMesh(const Mesh& mesh)
{
    // The mesh is the worker's and only valid during this call: copy it.
    emit owner_->MeshSnapshot(MeshRectangles(mesh));
}

void JobSignals::Observer::Finished(const JobOutcome& outcome)
{
    JobSignals* owner = owner_;
    QMetaObject::invokeMethod(owner, [owner, outcome] { owner->Complete(outcome); }, Qt::QueuedConnection);
}

void JobSignals::Complete(JobOutcome outcome)
{
    if (!waiting_) return;  // already handled by Wait
    waiting_ = false;
    runner_.Join();  // the worker returns right after Finished
    const bool cancelled = outcome.Cancelled || cancelRequested_;
    if (outcome.Success && !cancelled) {
        if (runner_.ApplyResults(env_) != 0) {
            outcome.Success = false;
            outcome.Changes = kChangedNothing;
            outcome.Reason = "the results no longer fit the board";
        }
    } else {
        runner_.DiscardResults();
        outcome.Changes = kChangedNothing;
    }
    emit Finished(name_, outcome, cancelled);
}

}  // namespace korvex::gui
