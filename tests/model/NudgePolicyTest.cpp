#include "tavrine/model/NudgePolicy.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double t0 = 1000;

NudgePolicy freshAt(double t) {
    NudgePolicy policy;
    policy.restart(t, false);
    return policy;
}
} // namespace

TEST(NudgePolicy, FreshClockIsNeverDueWithoutDrift) {
    NudgePolicy policy = freshAt(t0);
    EXPECT_FALSE(policy.isDue(t0 + 1e6));
    EXPECT_TRUE(policy.record(ActivityRelevance::Uncertain, t0 + 100));
    policy.touch(t0 + 200);
    EXPECT_FALSE(policy.isDue(t0 + 1e6));
}

TEST(NudgePolicy, NormalLaneThresholdAndCooldownAreInclusive) {
    NudgePolicy policy = freshAt(t0);
    ASSERT_TRUE(policy.record(ActivityRelevance::Unrelated, t0));
    EXPECT_FALSE(policy.isDue(t0 + 44.9));
    EXPECT_TRUE(policy.isDue(t0 + 45));
    policy.lastNudge = t0 + 45;
    EXPECT_FALSE(policy.isDue(t0 + 104.9));
    EXPECT_TRUE(policy.isDue(t0 + 105));
    // A second unrelated verdict does not move the drift start; an uncertain one keeps the drift on schedule.
    policy = freshAt(t0);
    policy.record(ActivityRelevance::Unrelated, t0);
    EXPECT_TRUE(policy.record(ActivityRelevance::Unrelated, t0 + 30));
    EXPECT_TRUE(policy.record(ActivityRelevance::Uncertain, t0 + 40));
    EXPECT_EQ(policy.driftStartedAt, t0);
    EXPECT_EQ(policy.latestUnrelatedAt, t0 + 30);
    EXPECT_TRUE(policy.isDue(t0 + 45));
    // A relevant verdict ends the drift.
    EXPECT_TRUE(policy.record(ActivityRelevance::Relevant, t0 + 50));
    EXPECT_FALSE(policy.driftStartedAt || policy.latestUnrelatedAt || policy.listHitAt);
    EXPECT_FALSE(policy.isDue(t0 + 500));
}

TEST(NudgePolicy, FastLaneUsesItsOwnThresholdAndCooldown) {
    NudgePolicy policy = freshAt(t0);
    policy.recordListHit(t0);
    EXPECT_FALSE(policy.isDue(t0 + 7.9));
    EXPECT_TRUE(policy.isDue(t0 + 8));
    policy.lastNudge = t0 + 8;
    EXPECT_FALSE(policy.isDue(t0 + 37.9));
    EXPECT_TRUE(policy.isDue(t0 + 38)) << "the fast cooldown, though the normal lane would still wait";
    // A second hit keeps the first hit's time.
    policy.recordListHit(t0 + 20);
    EXPECT_EQ(policy.listHitAt, t0);
    EXPECT_EQ(policy.latestUnrelatedAt, t0 + 20);

    // A hit inside the fast cooldown falls through to the normal lane, which waits for its own cooldown.
    policy = freshAt(t0);
    policy.record(ActivityRelevance::Unrelated, t0);
    policy.lastNudge = t0 + 50;
    policy.recordListHit(t0 + 60);
    EXPECT_FALSE(policy.isDue(t0 + 79.9));
    EXPECT_TRUE(policy.isDue(t0 + 80));
    // Asked before the hit, only the normal lane decides.
    policy = freshAt(t0);
    policy.record(ActivityRelevance::Unrelated, t0);
    policy.recordListHit(t0 + 100);
    EXPECT_TRUE(policy.isDue(t0 + 50));
    EXPECT_FALSE(policy.isDue(t0 + 44));
    // The fast lane counts from the hit, not from the drift start.
    policy = freshAt(t0);
    policy.record(ActivityRelevance::Unrelated, t0);
    policy.recordListHit(t0 + 30);
    EXPECT_FALSE(policy.isDue(t0 + 37.9));
    EXPECT_TRUE(policy.isDue(t0 + 38));
    // A list hit earlier than the asked time never counts backwards.
    EXPECT_FALSE(freshAt(t0).isDue(t0 - 100));
}

TEST(NudgePolicy, EqualTimesAndOrder) {
    NudgePolicy policy = freshAt(t0);
    ASSERT_TRUE(policy.record(ActivityRelevance::Unrelated, t0 + 10));
    // At the same time: relevant and uncertain are taken, unrelated is refused.
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, t0 + 10));
    EXPECT_TRUE(policy.record(ActivityRelevance::Uncertain, t0 + 10));
    EXPECT_TRUE(policy.record(ActivityRelevance::Relevant, t0 + 10));
    EXPECT_FALSE(policy.driftStartedAt);
    // Earlier than the last observation: refused whatever the label.
    EXPECT_FALSE(policy.record(ActivityRelevance::Relevant, t0 + 9));
    // A list hit at the same time is ignored; a touch at the same time is taken, an earlier one is not.
    policy.recordListHit(t0 + 10);
    EXPECT_FALSE(policy.listHitAt);
    policy.touch(t0 + 10);
    EXPECT_EQ(policy.lastObservedAt, t0 + 10);
    policy.touch(t0 + 5);
    EXPECT_EQ(policy.lastObservedAt, t0 + 10);
    // A touch moves the observation time on without touching the drift.
    policy.touch(t0 + 20);
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, t0 + 15));
    EXPECT_FALSE(policy.driftStartedAt);
}

TEST(NudgePolicy, ObservationsBeforeStartAreIgnored) {
    NudgePolicy policy = freshAt(t0);
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, t0 - 0.001));
    policy.recordListHit(t0 - 1);
    policy.touch(t0 - 1);
    EXPECT_FALSE(policy.driftStartedAt || policy.listHitAt || policy.lastObservedAt);
    EXPECT_TRUE(policy.record(ActivityRelevance::Unrelated, t0)) << "the start itself counts";
}

TEST(NudgePolicy, RestartKeepsThresholdsAndObservedRefusesThatInstant) {
    NudgePolicy policy = freshAt(t0);
    policy.recordListHit(t0 + 1);
    policy.lastNudge = t0 + 9;
    policy.restart(t0 + 60, true);
    EXPECT_EQ(policy.startedAt, t0 + 60);
    EXPECT_FALSE(policy.driftStartedAt || policy.latestUnrelatedAt || policy.listHitAt || policy.lastNudge);
    EXPECT_EQ(policy.threshold, 45);
    EXPECT_EQ(policy.fastCooldown, 30);
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, t0 + 60));
    EXPECT_TRUE(policy.record(ActivityRelevance::Relevant, t0 + 60));
    policy.restart(t0 + 70, false);
    EXPECT_FALSE(policy.lastObservedAt);
    EXPECT_TRUE(policy.record(ActivityRelevance::Unrelated, t0 + 70));
}

TEST(NudgePolicy, NotANumberIsRefusedByEveryGuard) {
    NudgePolicy policy = freshAt(t0);
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, notANumber));
    policy.recordListHit(notANumber);
    policy.touch(notANumber);
    EXPECT_FALSE(policy.driftStartedAt || policy.listHitAt || policy.lastObservedAt);

    policy.recordListHit(t0);
    EXPECT_FALSE(policy.isDue(notANumber)) << "no lane may treat a time that is not a number as due";
    policy.lastNudge = notANumber;
    EXPECT_FALSE(policy.isDue(t0 + 1000));
    EXPECT_FALSE(policy.record(ActivityRelevance::Unrelated, notANumber));
    policy.touch(notANumber);
    EXPECT_EQ(policy.lastObservedAt, t0);
}
