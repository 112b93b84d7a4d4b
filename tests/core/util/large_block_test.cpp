#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "util/large_block.h"

using namespace korvex;

namespace {
constexpr size_t kMiB = size_t(1) << 20;

bool AllZero(const char* p, size_t bytes)
{
    return std::all_of(p, p + bytes, [](char c) { return c == 0; });
}

// Large blocks are kept for reuse except under the address sanitizer, which bounds-checks
// heap blocks instead.
bool BlocksAreKept()
{
    ReleaseKeptLargeBlocks();
    void* probe = AllocateLarge(2 * kMiB);
    FreeLarge(probe);
    const bool kept = KeptLargeBlockBytes() == 2 * kMiB;
    ReleaseKeptLargeBlocks();
    return kept;
}
}  // namespace

TEST(LargeBlocks, FreedBlocksComeBackClearedMergeAndAreKeptUpTo256MiB)
{
    if (!BlocksAreKept()) GTEST_SKIP() << "large blocks are heap blocks in this build";
    // 9 MiB take five whole huge pages (10 MiB).
    auto* first = static_cast<char*>(AllocateLarge(9 * kMiB));
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(AllZero(first, 9 * kMiB));
    std::memset(first, 0xAB, 9 * kMiB);
    FreeLarge(first);
    EXPECT_EQ(KeptLargeBlockBytes(), 10 * kMiB);

    // Carved from the front of the kept region, cleared although the pages held 0xAB.
    auto* a = static_cast<char*>(AllocateLarge(3 * kMiB));  // 4 MiB
    EXPECT_EQ(a, first);
    EXPECT_TRUE(AllZero(a, 3 * kMiB));
    EXPECT_EQ(KeptLargeBlockBytes(), 6 * kMiB);
    auto* b = static_cast<char*>(AllocateLarge(6 * kMiB));
    EXPECT_EQ(b, first + 4 * kMiB);
    EXPECT_TRUE(AllZero(b, 6 * kMiB));
    EXPECT_EQ(KeptLargeBlockBytes(), 0u);

    // Freed in either order, the two halves become one region again.
    FreeLarge(b);
    FreeLarge(a);
    EXPECT_EQ(KeptLargeBlockBytes(), 10 * kMiB);
    auto* whole = static_cast<char*>(AllocateLarge(10 * kMiB));
    EXPECT_EQ(whole, first);
    FreeLarge(whole);
    ReleaseKeptLargeBlocks();
    EXPECT_EQ(KeptLargeBlockBytes(), 0u);

    // At most 256 MiB are kept. Never touched, so only address space.
    void* big = AllocateLarge(200 * kMiB);
    void* more = AllocateLarge(100 * kMiB);
    ASSERT_NE(big, nullptr);
    ASSERT_NE(more, nullptr);
    FreeLarge(big);
    FreeLarge(more);  // would pass 256 MiB: unmapped
    EXPECT_EQ(KeptLargeBlockBytes(), 200 * kMiB);
    ReleaseKeptLargeBlocks();

    FreeLarge(std::malloc(100));  // small blocks and nullptr go to free
    FreeLarge(nullptr);
    void* small = AllocateLarge(1000);
    ASSERT_NE(small, nullptr);
    FreeLarge(small);
    EXPECT_EQ(KeptLargeBlockBytes(), 0u);
}

TEST(LargeBlocks, TwoThreadsAllocatingAndFreeingGetClearedBlocksOfTheirOwn)
{
    auto work = [](char fill, bool* ok) {
        for (int i = 0; i < 40; ++i) {
            const size_t bytes = (2 + i % 3) * kMiB + 123;
            auto* p = static_cast<char*>(AllocateLarge(bytes));
            if (p == nullptr || p[0] != 0 || p[bytes / 2] != 0 || p[bytes - 1] != 0) *ok = false;
            if (p == nullptr) return;
            p[0] = p[bytes / 2] = p[bytes - 1] = fill;
            std::this_thread::yield();
            if (p[0] != fill || p[bytes / 2] != fill || p[bytes - 1] != fill) *ok = false;
            FreeLarge(p);
        }
    };
    bool okA = true, okB = true;
    std::thread other(work, 'a', &okA);
    work('b', &okB);
    other.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    ReleaseKeptLargeBlocks();
}
