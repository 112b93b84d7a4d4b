#include "huge_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace korvex::sim {

const char* hugePagesState()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=1")) return "on (glibc.malloc.hugetlb=1)";
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb=2")) return "on (glibc.malloc.hugetlb=2)";
    return "off (start with GLIBC_TUNABLES=glibc.malloc.hugetlb=1 to enable)";
}

void prefaultForWriting(const void* data, std::size_t bytes)
{
    constexpr std::uintptr_t kPage = 4096, kHugePage = std::uintptr_t(2) << 20;
    if (bytes < (std::size_t(256) << 10)) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t hugeFirst = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t hugeLast = (start + bytes) & ~(kHugePage - 1);
    if (hugeLast > hugeFirst) madvise(reinterpret_cast<void*>(hugeFirst), hugeLast - hugeFirst, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    // The pages around the block's ends belong to the same allocation or to the heap: mapping
    // them in writes nothing.
    const std::uintptr_t first = start & ~(kPage - 1);
    const std::uintptr_t last = (start + bytes + kPage - 1) & ~(kPage - 1);
    madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

}  // namespace korvex::sim
