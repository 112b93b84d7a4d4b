#include "util/large_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <new>

namespace korvex {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kPage = 4096;
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

#if defined(__SANITIZE_ADDRESS__)
#define KORVEX_KEEP_LARGE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEX_KEEP_LARGE_BLOCKS 0
#endif
#endif
#ifndef KORVEX_KEEP_LARGE_BLOCKS
#define KORVEX_KEEP_LARGE_BLOCKS 1
#endif

#if KORVEX_KEEP_LARGE_BLOCKS
// Large blocks are mappings of their own, whole huge pages. A freed one keeps its pages, up to
// kKeptBytes in all, and the next large block is carved from it (cleared) before any fresh
// mapping is made. The first touch of a fresh page is what costs on a virtual machine, and a
// job frees its loading and meshing buffers just before it makes its result rasters.
constexpr std::size_t kKeptBytes = std::size_t(256) << 20;

class LargeBlocks {
public:
    void* Allocate(std::size_t bytes)
    {
        if (bytes > std::numeric_limits<std::size_t>::max() / 2) return nullptr;
        const std::size_t size = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        char* block = TakeKept(size);
        if (block != nullptr) {
            std::memset(block, 0, bytes);  // as a fresh mapping would be
            return block;
        }
        block = MapFresh(size);
        if (block == nullptr) return nullptr;
        try {
            const std::lock_guard<std::mutex> lock(mutex_);
            live_.emplace(block, size);
        } catch (const std::bad_alloc&) {
            ::munmap(block, size);
            return nullptr;
        }
        return block;
    }

    // False when the block is not one of ours.
    bool Free(void* memory) noexcept
    {
        char* block = static_cast<char*>(memory);
        std::unique_lock<std::mutex> lock(mutex_);
        const auto it = live_.find(block);
        if (it == live_.end()) return false;
        const std::size_t size = it->second;
        live_.erase(it);
        if (keptBytes_ + size <= kKeptBytes && Keep(block, size)) return true;
        lock.unlock();
        ::munmap(block, size);
        return true;
    }

    std::size_t KeptBytes()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return keptBytes_;
    }

    void ReleaseKept() noexcept
    {
        std::map<char*, std::size_t> kept;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            kept.swap(kept_);
            keptBytes_ = 0;
        }
        for (const auto& [block, size] : kept) ::munmap(block, size);
    }

private:
    // The front of the smallest kept region that holds `size` bytes, null when none does.
    char* TakeKept(std::size_t size)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto best = kept_.end();
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->second >= size && (best == kept_.end() || it->second < best->second)) best = it;
        if (best == kept_.end()) return nullptr;
        char* block = best->first;
        const std::size_t regionBytes = best->second;
        try {
            live_.emplace(block, size);
            if (regionBytes > size) kept_.emplace(block + size, regionBytes - size);
        } catch (const std::bad_alloc&) {
            live_.erase(block);
            return nullptr;
        }
        kept_.erase(best);
        keptBytes_ -= size;
        return block;
    }

    // Adds a freed block to the kept regions, merged with its neighbours; false when the
    // bookkeeping is out of memory. Called with the lock held.
    bool Keep(char* block, std::size_t size) noexcept
    {
        std::map<char*, std::size_t>::iterator it;
        try {
            it = kept_.emplace(block, size).first;
        } catch (const std::bad_alloc&) {
            return false;
        }
        keptBytes_ += size;
        const auto next = std::next(it);
        if (next != kept_.end() && block + size == next->first) {
            it->second += next->second;
            kept_.erase(next);
        }
        if (it != kept_.begin()) {
            const auto previous = std::prev(it);
            if (previous->first + previous->second == block) {
                previous->second += it->second;
                kept_.erase(it);
            }
        }
        return true;
    }

    static char* MapFresh(std::size_t size)
    {
        // One huge page more than asked for, so the block can start on a huge-page boundary.
        void* mapped = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return nullptr;
        char* start = static_cast<char*>(mapped);
        char* block = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) &
                                              ~std::uintptr_t(kHugePage - 1));
        if (block > start) ::munmap(start, static_cast<std::size_t>(block - start));
        char* end = start + size + kHugePage;
        if (end > block + size) ::munmap(block + size, static_cast<std::size_t>(end - (block + size)));
        // Advice only: without huge pages the block works the same, just slower to touch.
        ::madvise(block, size, MADV_HUGEPAGE);
        return block;
    }

    std::mutex mutex_;
    std::map<char*, std::size_t> live_;  // handed out: start and size
    std::map<char*, std::size_t> kept_;  // freed with their pages; adjacent ones merged
    std::size_t keptBytes_ = 0;
};

LargeBlocks& Blocks()
{
    static LargeBlocks* blocks = new LargeBlocks;  // never destroyed: blocks may be freed at exit
    return *blocks;
}
#endif

}  // namespace

void* AllocateLarge(std::size_t bytes)
{
    if (bytes < kHugePage) return std::calloc(bytes == 0 ? 1 : bytes, 1);
#if KORVEX_KEEP_LARGE_BLOCKS
    return Blocks().Allocate(bytes);
#else
    // Under the address sanitizer every block stays a heap block, bounds-checked, and is
    // cleared like the kept ones.
    void* memory = nullptr;
    if (posix_memalign(&memory, kHugePage, bytes) != 0) return nullptr;
    madvise(memory, bytes, MADV_HUGEPAGE);
    std::memset(memory, 0, bytes);
    return memory;
#endif
}

void FreeLarge(void* memory) noexcept
{
    if (memory == nullptr) return;
#if KORVEX_KEEP_LARGE_BLOCKS
    if (Blocks().Free(memory)) return;
#endif
    std::free(memory);
}

std::size_t KeptLargeBlockBytes() noexcept
{
#if KORVEX_KEEP_LARGE_BLOCKS
    return Blocks().KeptBytes();
#else
    return 0;
#endif
}

void ReleaseKeptLargeBlocks() noexcept
{
#if KORVEX_KEEP_LARGE_BLOCKS
    Blocks().ReleaseKept();
#endif
}

bool PrefaultPages(void* memory, std::size_t bytes) noexcept
{
    if (memory == nullptr || bytes == 0) return true;
    // Whole pages around the block, which keep their contents.
    const auto first = reinterpret_cast<std::uintptr_t>(memory) & ~(kPage - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(memory) + bytes + kPage - 1) & ~(kPage - 1);
    return madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0;
}

void FaultInForWriting(void* memory, std::size_t bytes) noexcept
{
    if (PrefaultPages(memory, bytes)) return;
    // Older kernels: touch every page, writing back what it holds.
    auto* begin = static_cast<char*>(memory);
    char* end = begin + bytes;
    auto touch = [](char* p) {
        volatile char* v = p;
        *v = *v;
    };
    for (char* p = begin; p < end; p += kPage) touch(p);
    touch(end - 1);
}

BlockArena::~BlockArena()
{
    for (void* block : blocks_) FreeLarge(block);
}

void* BlockArena::Take(std::size_t bytes)
{
    if (next_ == nullptr || std::size_t(end_ - next_) < bytes) {
        const std::size_t size = std::max(blockBytes_, bytes);
        void* block = AllocateLarge(size);
        if (block == nullptr) return nullptr;
        try {
            blocks_.push_back(block);
        } catch (const std::bad_alloc&) {
            FreeLarge(block);
            return nullptr;
        }
        next_ = static_cast<char*>(block);
        end_ = next_ + size;
        blockBytes_ = std::min(blockBytes_ * 2, std::size_t(64) << 20);
    }
    void* record = next_;
    next_ += bytes;
    return record;
}

}  // namespace korvex
