// Work shared out between the two cores: every piece runs once, whichever core takes it.
#include "util/side_by_side.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace korvex;

TEST(ShareOutSideBySide, EveryPieceRunsOnceAfterTheFirstTaskOnItsCore)
{
    for (const size_t count : {size_t(0), size_t(1), size_t(1000)}) {
        std::vector<std::atomic<int>> runs(count);
        std::atomic<bool> firstDone{false};
        std::atomic<int> helperPiecesBeforeFirst{0};
        const std::thread::id caller = std::this_thread::get_id();
        ShareOutSideBySide([&] { firstDone = true; }, count, [&](size_t k) {
            if (std::this_thread::get_id() != caller && !firstDone) ++helperPiecesBeforeFirst;
            ++runs[k];
        });
        EXPECT_TRUE(firstDone);
        EXPECT_EQ(helperPiecesBeforeFirst, 0);
        for (size_t k = 0; k < count; ++k) EXPECT_EQ(runs[k], 1) << "piece " << k << " of " << count;
    }
}
