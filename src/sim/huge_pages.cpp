#include "huge_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace korvex::sim {

namespace {

constexpr std::uintptr_t kPage = 4096, kHugePage = std::uintptr_t(2) << 20;

// Maps pages in for writing. MADV_POPULATE_WRITE never changes what memory holds, so it may run
// while another thread fills the same block; on memory freed meanwhile it fails and does nothing.
void populate(std::uintptr_t first, std::uintptr_t last)
{
#ifdef MADV_POPULATE_WRITE
    madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)first;
    (void)last;
#endif
}

// Clearing fresh pages costs the kernel about as much as filling them costs the simulator, and
// the simulator's reading and set-up run on one core. A thread of its own maps the blocks in on
// the other core, from each block's end backwards, while the thread that asked fills it from the
// start: they meet in the middle.
class PageMapper {
public:
    void submit(std::uintptr_t first, std::uintptr_t last)
    {
        if (::getpid() != owner_) {  // a forked child has no mapper thread
            populate(first, last);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
            queue_.push_back({first, last});
        }
        wake_.notify_one();
    }
    ~PageMapper()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

private:
    struct Range {
        std::uintptr_t first, last;
    };
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            const Range range = queue_.front();
            queue_.pop_front();
            lock.unlock();
            for (std::uintptr_t end = range.last; end > range.first && !stopping_;) {
                const std::uintptr_t begin = end - std::min(end - range.first, kHugePage);
                populate(begin, end);
                end = begin;
            }
            lock.lock();
        }
    }

    const pid_t owner_ = ::getpid();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Range> queue_;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

}  // namespace

const char* hugePagesState()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=1")) return "on (glibc.malloc.hugetlb=1)";
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=2")) return "on (glibc.malloc.hugetlb=2)";
    return "off (start with GLIBC_TUNABLES=glibc.malloc.hugetlb=1 to enable)";
}

void prefaultForWriting(const void* data, std::size_t bytes)
{
    if (bytes < (std::size_t(256) << 10)) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t hugeFirst = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t hugeLast = (start + bytes) & ~(kHugePage - 1);
    if (hugeLast > hugeFirst) madvise(reinterpret_cast<void*>(hugeFirst), hugeLast - hugeFirst, MADV_HUGEPAGE);
    // The pages around the block's ends belong to the same allocation or to the heap: mapping
    // them in writes nothing.
    const std::uintptr_t first = start & ~(kPage - 1);
    const std::uintptr_t last = (start + bytes + kPage - 1) & ~(kPage - 1);
    static PageMapper mapper;
    mapper.submit(first, last);
}

}  // namespace korvex::sim
