#include "tavrine/onboarding/PosterScrubber.h"

#include "tavrine/core/ManualClock.h"

#include <gtest/gtest.h>

namespace tavrine {
namespace {

TEST(PosterProgress, CreepsFrom22To72PercentOverTwoMinutes) {
    const std::pair<double, double> cases[] = {{0, 0.22}, {60, 0.47}, {120, 0.72}, {600, 0.72}, {-5, 0.22}};
    for (const auto& [elapsed, progress] : cases)
        EXPECT_DOUBLE_EQ(posterProgress(elapsed), progress) << elapsed;
}

TEST(PosterScrubber, FollowsTheClockInTicksAndStopsWhenDone) {
    ManualClock clock;
    PosterScrubber scrubber(clock, false);
    int changes = 0;
    QObject::connect(&scrubber, &PosterScrubber::progressChanged, [&] { ++changes; });
    EXPECT_DOUBLE_EQ(scrubber.progress(), 0.22);
    clock.advance(0.049);
    EXPECT_EQ(changes, 0) << "ticks are at least 50 ms apart";
    clock.advance(0.001);
    EXPECT_EQ(changes, 1);
    clock.advance(60 - 0.05);
    EXPECT_NEAR(scrubber.progress(), 0.47, 1e-9);
    clock.advance(60);
    EXPECT_NEAR(scrubber.progress(), 0.72, 1e-9);
    EXPECT_FALSE(scrubber.isTicking()) << "a finished scrubber costs nothing";
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

TEST(PosterScrubber, StandsStillUnderReduceMotion) {
    ManualClock clock;
    PosterScrubber still(clock, true);
    clock.advance(60);
    EXPECT_DOUBLE_EQ(still.progress(), 0.22);
    EXPECT_FALSE(still.isTicking());

    PosterScrubber turned(clock, false);
    clock.advance(30);
    turned.setReduceMotion(true);
    const double frozen = turned.progress();
    clock.advance(30);
    ManualClock::pump();
    EXPECT_DOUBLE_EQ(turned.progress(), frozen);
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

TEST(PosterScrubber, DestroyedWhileTickingLeavesNothingBehind) {
    ManualClock clock;
    {
        PosterScrubber scrubber(clock, false);
        clock.advance(1);
    }
    ManualClock::pump();
    clock.advance(1);
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

} // namespace
} // namespace tavrine
