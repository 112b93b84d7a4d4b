#include "util/large_block.h"

#include <sys/mman.h>

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

}  // namespace korvex
