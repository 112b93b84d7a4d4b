#include "util/large_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace korvex {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kPage = 4096;
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

}  // namespace

void* AllocateLarge(std::size_t bytes)
{
    if (bytes < kHugePage) return std::malloc(bytes == 0 ? 1 : bytes);
    void* memory = nullptr;
    if (posix_memalign(&memory, kHugePage, bytes) != 0) return nullptr;
    // Advice only: without huge pages the block works the same, just slower to touch.
    madvise(memory, bytes, MADV_HUGEPAGE);
    return memory;
}

void FreeLarge(void* memory) noexcept
{
    std::free(memory);
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
