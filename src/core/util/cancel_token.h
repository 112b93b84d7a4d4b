#pragma once
// A request to stop long-running work, set from any thread (a Cancel button,
// a signal handler's watcher, a test) and checked by the work at points where
// stopping leaves everything consistent.
#include <atomic>

namespace korvex {

class CancelToken {
public:
    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled_{false};
};

// True when a token is given and cancelled; work without a token runs to the end.
inline bool Cancelled(const CancelToken* token)
{
    return token != nullptr && token->IsCancelled();
}

}  // namespace korvex
