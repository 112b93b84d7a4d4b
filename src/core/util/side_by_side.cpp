#include "util/side_by_side.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace korvex {

struct SideTask::State {
    std::function<void()> work;
    std::thread thread;
    bool done = false;
};

SideTask::SideTask(std::function<void()> work) : state_(std::make_unique<State>())
{
    state_->work = std::move(work);
    try {
        state_->thread = std::thread([state = state_.get()] { state->work(); });
    } catch (const std::system_error&) {
        // No thread to be had: the work runs at Wait instead.
    }
}

SideTask::~SideTask()
{
    Wait();
}

void SideTask::Wait()
{
    if (state_->done) return;
    if (state_->thread.joinable())
        state_->thread.join();
    else
        state_->work();
    state_->done = true;
}

void RunSideBySide(const std::function<void()>& aside, const std::function<void()>& here)
{
    SideTask task(aside);
    here();
    task.Wait();
}

void ShareOutSideBySide(const std::function<void()>& first, size_t count, const std::function<void(size_t)>& work)
{
    std::atomic<size_t> next{0};
    const auto takePieces = [&] {
        for (size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < count;) work(k);
    };
    RunSideBySide(
        [&] {
            first();
            takePieces();
        },
        takePieces);
}

}  // namespace korvex
