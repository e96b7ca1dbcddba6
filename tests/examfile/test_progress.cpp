// SPDX-License-Identifier: GPL-3.0-or-later
// How far a job has come, as the terminal's line and the window's bar show
// it.
#include "examfile/Progress.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Watched final : ia::Progress {
    bool show() override { return true; }
};

TEST(ProgressShare, RoundsDownWithinTheStageAndNeverOverflows) {
    constexpr long long kMax = std::numeric_limits<long long>::max();
    struct Case {
        long long done, total;
        long long percent, perThousand;
    } cases[] = {
        {0, 0, 0, 0}, // a stage of unknown length
        {7, 0, 0, 0},
        {7, -3, 0, 0},
        {0, 10, 0, 0},
        {1, 3, 33, 333},
        {2, 3, 66, 666}, // rounded down, never up to what is not done
        {29, 100, 29, 290},
        {99, 100, 99, 990}, // not 0 until the very end
        {999, 1000, 99, 999},
        {100, 100, 100, 1000},
        {150, 100, 100, 1000}, // a count past the total
        {-5, 100, 0, 0},       // a step below 0
        {kMax, kMax, 100, 1000},
        {kMax / 2, kMax, 49, 499}, // done × 100 would overflow
        {kMax - 1, kMax, 99, 999},
        {3'000'000'000LL, 4'000'000'000LL, 75, 750},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.done) + " of " + std::to_string(c.total));
        EXPECT_EQ(ia::ShareDone(c.done, c.total, 100), c.percent);
        EXPECT_EQ(ia::ShareDone(c.done, c.total, 1000), c.perThousand);
        // The terminal's line shows the percentage of the stage in hand.
        Watched progress;
        progress.stage("งาน", c.total);
        progress.step(c.done);
        EXPECT_EQ(progress.percent(), c.percent);
    }
}

} // namespace
