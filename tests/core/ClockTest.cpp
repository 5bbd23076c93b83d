#include "support/TestSupport.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/ManualClock.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace tavrine;

namespace {
QCoro::Task<void> tick(Clock* clock, CancellationToken token, std::vector<double>* seen, int count) {
    for (int i = 0; i < count; ++i) {
        co_await clock->sleep(1.0, token);
        seen->push_back(clock->now());
    }
}
} // namespace

TEST(ManualClock, WakesEachSleeperAtItsOwnDeadline) {
    ManualClock clock(100.0);
    std::vector<double> seen;
    auto outcome = test::start(tick(&clock, {}, &seen, 5));
    clock.advance(3.5);
    EXPECT_EQ(seen, (std::vector<double>{101, 102, 103}));
    EXPECT_DOUBLE_EQ(clock.now(), 103.5);
    clock.advance(10);
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_TRUE(outcome->finished);
    EXPECT_FALSE(outcome->error);
}

TEST(ManualClock, ResumesThroughTheQueueNotInsideAdvanceCaller) {
    ManualClock clock;
    bool resumed = false;
    auto body = [](Clock* c, bool* flag) -> QCoro::Task<void> {
        co_await c->sleep(0);
        *flag = true;
    };
    auto outcome = test::start(body(&clock, &resumed));
    EXPECT_FALSE(resumed); // a zero sleep still suspends
    clock.advance(0);
    EXPECT_TRUE(resumed);
}

TEST(ManualClock, CancellationWakesASleepAtOnce) {
    ManualClock clock;
    CancellationSource source;
    std::vector<double> seen;
    auto outcome = test::start(tick(&clock, source.token(), &seen, 100));
    clock.advance(2);
    source.cancel();
    ManualClock::pump();
    EXPECT_TRUE(outcome->finished);
    EXPECT_THROW(test::rethrow(*outcome), CancelledError);
    EXPECT_EQ(clock.pendingSleepers(), 0);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(ManualClock, AlreadyCancelledTokenThrowsWithoutSleeping) {
    ManualClock clock;
    CancellationSource source;
    source.cancel();
    auto outcome = test::start(clock.sleep(5, source.token()));
    EXPECT_TRUE(outcome->finished);
    EXPECT_THROW(test::rethrow(*outcome), CancelledError);
}

TEST(ManualClock, DestroyingTheClockFinishesEveryPendingSleep) {
    auto clock = std::make_unique<ManualClock>();
    std::vector<double> seen;
    auto outcome = test::start(tick(clock.get(), {}, &seen, 10));
    clock.reset();
    ManualClock::pump();
    EXPECT_TRUE(outcome->finished);
    EXPECT_THROW(test::rethrow(*outcome), CancelledError);
}

TEST(ManualClock, CancellingAfterTheClockIsGoneIsHarmless) {
    auto clock = std::make_unique<ManualClock>();
    CancellationSource source;
    auto outcome = test::start(clock->sleep(10, source.token()));
    clock.reset();
    source.cancel();
    ManualClock::pump();
    EXPECT_TRUE(outcome->finished);
}

TEST(ManualClock, SystemSleepMovesAsleepAndDateButNotNow) {
    ManualClock clock(50.0);
    const QDateTime before = clock.date();
    clock.sleepSystem(600);
    EXPECT_DOUBLE_EQ(clock.now(), 50.0);
    EXPECT_DOUBLE_EQ(clock.asleep(), 600.0);
    EXPECT_EQ(before.secsTo(clock.date()), 600);
    clock.advance(30);
    EXPECT_EQ(before.secsTo(clock.date()), 630);
}

TEST(ManualClock, NonFiniteLengthsAreIgnored) {
    ManualClock clock(10.0);
    clock.advance(std::nan(""));
    clock.advance(-5);
    clock.sleepSystem(std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(clock.now(), 10.0);
    EXPECT_DOUBLE_EQ(clock.asleep(), 0.0);
    auto outcome = test::start(clock.sleep(std::nan("")));
    clock.advance(0);
    EXPECT_TRUE(outcome->finished);
    EXPECT_FALSE(outcome->error);
}

TEST(SystemClock, SleepsInRealTimeAndCancelsEarly) {
    auto& clock = Clock::system();
    EXPECT_GE(clock.asleep(), 0.0);
    const double start = clock.now();
    auto done = test::run(clock.sleep(0.05));
    EXPECT_TRUE(done.finished);
    EXPECT_GE(clock.now() - start, 0.045);

    CancellationSource source;
    auto outcome = test::start(clock.sleep(30, source.token()));
    const double before = clock.now();
    source.cancel();
    test::waitUntil([&] { return outcome->finished; }, 2);
    EXPECT_TRUE(outcome->finished);
    EXPECT_LT(clock.now() - before, 1.0);
    EXPECT_THROW(test::rethrow(*outcome), CancelledError);
}
