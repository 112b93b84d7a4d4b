#include "util/large_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

namespace korvex {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;

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
