#include "jobs/job_runner.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <exception>

#include "util/job_observer.h"

namespace korvex {

namespace {
std::atomic<bool> gJobSlotTaken{false};
}  // namespace

JobSlot::JobSlot()
{
    bool expected = false;
    acquired_ = gJobSlotTaken.compare_exchange_strong(expected, true);
}

JobSlot::~JobSlot()
{
    if (acquired_) gJobSlotTaken = false;
}

bool IsJobSlotTaken()
{
    return gJobSlotTaken;
}

JobRunner::JobRunner(JobObserver* observer) : observer_(observer) {}

JobRunner::~JobRunner()
{
    Cancel();
    Join();
    DiscardResults();
    if (worker_.joinable()) worker_.join();
}

bool JobRunner::Start(const JobEnvironment& env, Work work, std::string* reason)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (slot_ != nullptr) {
        if (reason != nullptr)
            *reason = running_ ? "a job is running" : "the results of the last job have not been applied yet";
        return false;
    }
    auto slot = std::make_unique<JobSlot>();
    if (!slot->Acquired()) {
        if (reason != nullptr) *reason = "another simulation is running";
        return false;
    }
    // The previous worker has returned (its slot is free); collect its thread.
    if (worker_.joinable()) worker_.join();
    slot_ = std::move(slot);
    cancel_ = std::make_unique<CancelToken>();
    running_ = true;
    outcome_ = JobOutcome{};
    JobEnvironment jobEnv = env;
    jobEnv.Cancel = cancel_.get();
    jobEnv.DeferResults = true;
    if (jobEnv.Observer == nullptr) jobEnv.Observer = observer_;
    try {
        worker_ = std::thread(&JobRunner::Run, this, std::move(jobEnv), std::move(work));
    } catch (const std::system_error& e) {
        running_ = false;
        slot_.reset();
        if (reason != nullptr) *reason = std::string("could not start the job thread: ") + e.what();
        return false;
    }
    return true;
}

void JobRunner::Run(JobEnvironment env, Work work)
{
    JobOutcome outcome;
    try {
        outcome = work(env);
    } catch (const std::exception& e) {
        outcome = JobOutcome{};
        outcome.Reason = std::string("the job failed: ") + e.what();
    }
    // A job that failed or was stopped leaves nothing to swap in.
    if (!outcome.Success) outcome.Results.reset();
    JobOutcome told = outcome;
    told.Results.reset();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outcome_ = std::move(outcome);
    }
    if (env.Observer != nullptr) env.Observer->Finished(told);
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    if (outcome_.Results == nullptr) slot_.reset();
    ended_.notify_all();
}

void JobRunner::Cancel()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ && cancel_ != nullptr) cancel_->Cancel();
}

JobOutcome JobRunner::Join()
{
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return !running_; });
    JobOutcome outcome = outcome_;
    outcome.Results.reset();
    return outcome;
}

bool JobRunner::WaitFor(int milliseconds)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return !running_; });
}

bool JobRunner::IsRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return slot_ != nullptr;
}

int JobRunner::ApplyResults(const JobEnvironment& env)
{
    std::shared_ptr<JobResults> results;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) return -1;
        results = std::move(outcome_.Results);
    }
    const int status = results != nullptr ? results->Apply(env) : 0;
    Release();
    return status;
}

void JobRunner::DiscardResults()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) return;
        outcome_.Results.reset();
    }
    Release();
}

void JobRunner::Release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return;
    slot_.reset();
}

}  // namespace korvex
