#pragma once
// Runs one job at a time on a worker thread that can be cancelled and joined.
//
//   runner.Start(env, [](const JobEnvironment& e) { return CommandSimulateElectrical(e); });
//   ... observer->Finished(outcome) arrives on the worker thread ...
//   runner.ApplyResults(env);   // on the owner's thread: the one swap
//
// The worker gets a copy of the environment with the runner's cancel token
// and DeferResults set, so it only reads the board, mesh and diagram and
// leaves its results in the outcome. Finished gets the whole outcome (the
// desktop queues it to its user-interface thread). The job slot stays taken
// until the worker has ended, Finished has returned and the results have been
// applied or discarded, so no second job reads the records while they change.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "jobs/job_outcome.h"
#include "jobs/simulation_job.h"
#include "util/cancel_token.h"

namespace korvex {

class JobObserver;

// Only one job runs in the process at a time. A JobSlot holds the right to run
// one while it lives; Acquired() is false when another job holds it.
class JobSlot {
public:
    JobSlot();
    ~JobSlot();
    JobSlot(const JobSlot&) = delete;
    JobSlot& operator=(const JobSlot&) = delete;
    bool Acquired() const { return acquired_; }

private:
    bool acquired_;
};

// True while a job holds the process's slot.
bool IsJobSlotTaken();

class JobRunner {
public:
    using Work = std::function<JobOutcome(const JobEnvironment&)>;

    // `observer` (may be null) gets the job's log lines and progress and, last,
    // Finished with the outcome, all on the worker thread.
    explicit JobRunner(JobObserver* observer = nullptr);
    // Cancels a running job, waits for it and discards results not applied.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Starts `work` on a worker thread. False with *reason (nothing started)
    // while this or another runner's job runs or waits for its results to be
    // applied.
    bool Start(const JobEnvironment& env, Work work, std::string* reason = nullptr);
    // Asks the running job to stop: a running simulator's process group is
    // killed, the loops stop at their next check. Returns at once.
    void Cancel();
    // Waits until the worker has ended and Finished has returned; the outcome
    // (without its results, which ApplyResults takes). Immediate when idle.
    JobOutcome Join();
    // Waits at most `milliseconds`; true when the worker has ended.
    bool WaitFor(int milliseconds);
    // True from Start until the results are applied or discarded.
    bool IsRunning() const;
    // After the worker ended: swaps the results into env's records on the
    // calling (owner's) thread and frees the slot. 0, also when there were
    // none; -1 while the worker still runs or when they no longer fit env.
    int ApplyResults(const JobEnvironment& env);
    // After the worker ended: drops the results and frees the slot.
    void DiscardResults();

private:
    void Run(JobEnvironment env, Work work);
    void Release();

    JobObserver* observer_;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::thread worker_;
    std::unique_ptr<CancelToken> cancel_;  // one per job
    std::unique_ptr<JobSlot> slot_;
    bool running_ = false;  // the worker has not yet returned from Finished
    JobOutcome outcome_;
};

}  // namespace korvex
