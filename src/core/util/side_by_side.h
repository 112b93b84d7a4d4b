#pragma once
// Two pieces of independent work on the machine's two cores: one on a helper
// thread, the other on the calling thread. Where no thread can be started the
// two simply run one after the other, so callers get the same results either
// way; work that shares data must only read what the other one writes, never
// the same bytes.
#include <cstddef>
#include <functional>
#include <memory>

namespace korvex {

// Runs `aside` on a helper thread and `here` on the caller, and returns when
// both are done. Exceptions must not leave either function.
void RunSideBySide(const std::function<void()>& aside, const std::function<void()>& here);

// Runs `first` on a helper thread, which then joins the caller in running work(0) to
// work(count - 1), each once, in the order they are taken from a shared counter: whichever
// core is free takes the next piece. Returns when all are done.
void ShareOutSideBySide(const std::function<void()>& first, size_t count, const std::function<void(size_t)>& work);

// Work started on a helper thread now and waited for later (or on the caller at
// the first Wait, when no thread could be started). The destructor waits too.
class SideTask {
public:
    explicit SideTask(std::function<void()> work);
    ~SideTask();
    SideTask(const SideTask&) = delete;
    SideTask& operator=(const SideTask&) = delete;
    void Wait();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace korvex
