#include "frame/job_controller.h"

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

// Runs on the worker thread; everything it emits is queued to the controller's thread.
class JobController::Observer : public JobObserver {
public:
    Observer(JobController* owner, const Mesh* mesh) : owner_(owner), mesh_(mesh) {}
    void Progress(std::string_view stage, double fraction) override
    {
        emit owner_->Progress(QString::fromUtf8(stage.data(), static_cast<qsizetype>(stage.size())), fraction);
    }
    void Repaint() override
    {
        // The worker is the one changing the mesh, so reading it here is safe.
        if (mesh_ != nullptr) emit owner_->MeshSnapshot(MeshRectangles(*mesh_));
    }

private:
    JobController* owner_;
    const Mesh* mesh_;
};

JobController::JobController(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<JobOutcome>();
    qRegisterMetaType<std::vector<MeshRect>>();
}

JobController::~JobController()
{
    Wait();
}

bool JobController::Start(const QString& name, JobEnvironment env, Work work)
{
    if (running_) return false;
    Wait();  // joins the thread of the previous job
    running_ = true;
    cancel_ = false;
    observer_ = std::make_unique<Observer>(this, env.Mesh);
    env.Observer = observer_.get();
    emit Started(name);
    worker_ = std::thread([this, name, env, work = std::move(work)] {
        const JobOutcome outcome = work(env);
        QMetaObject::invokeMethod(this, [this, name, outcome] { Done(name, outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void JobController::Done(const QString& name, const JobOutcome& outcome)
{
    if (worker_.joinable()) worker_.join();
    running_ = false;
    emit Finished(name, outcome, cancel_);
}

void JobController::Cancel()
{
    if (running_) cancel_ = true;
}

void JobController::Wait()
{
    if (worker_.joinable()) worker_.join();
}

}  // namespace korvex::gui
