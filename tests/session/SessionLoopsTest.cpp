#include "tavrine/session/SessionLoops.h"
#include "session/SessionHarness.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using namespace tavrine::test;

TEST(SessionLoops, TheTickerSleepsUntilTheRemainingTimePassesTheNextWholeSecond) {
    struct Case {
        bool running;
        double remaining;
        double delay;
    };
    for (const Case& c :
         {Case{true, 10.4, 0.4}, Case{true, 10.0, 1.0}, Case{true, 10.0005, 0.001}, Case{true, 0.0, 0.05},
          Case{true, -3.0, 0.05}, Case{false, 10.4, 1.0}, Case{true, std::numeric_limits<double>::quiet_NaN(), 1.0}})
        EXPECT_NEAR(SessionLoops::tickerDelay(c.running, c.remaining), c.delay, 1e-9) << c.remaining;
}

TEST(SessionLoops, AThirtyMinuteSessionCapturesEveryTwelveAndAHalfSecondsAndCompletes) {
    SessionHarness h;
    h.start(30);
    h.advance(1800);
    EXPECT_EQ(h.session->phase(), SessionPhase::Finished);
    // A capture takes 0.5 s and the worker sleeps 1 s after each pass, so the pass that reaches exactly 12.0 s
    // after the last capture lands 12.5 s after the previous one. A gate that excluded 12.0 would capture
    // every 13.5 s (134 captures), one that ignored it every 1.5 s.
    EXPECT_NEAR(h.observer->captureCount(), 1800 / 12.5, 2);
    // The same content is answered from the verdict cache for 600 s after each model verdict (stored at 1.5 s,
    // 614 s and 1226 s into the session).
    EXPECT_EQ(h.classifier->classifyCount(), 3);
    EXPECT_EQ(h.session->checks(), h.observer->captureCount());
}

TEST(SessionLoops, AnActivationCapturesOneSecondLaterAndABurstLeadsToOneCheck) {
    SessionHarness h;
    h.start();
    h.advance(3);
    ASSERT_EQ(h.observer->captureCount(), 1);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Activity changed; keeping active evaluation and awaiting fresh evidence")),
              1);
    h.advance(0.9);
    EXPECT_EQ(h.observer->captureCount(), 1);
    h.advance(0.2);
    EXPECT_EQ(h.observer->captureCount(), 2);

    h.advance(5);
    for (int i = 0; i < 5; ++i) {
        emit h.events.applicationActivated(10 + i, QStringLiteral("org.example.Browser"));
        h.advance(0.3);
    }
    EXPECT_EQ(h.observer->captureCount(), 2);
    h.advance(1.0);
    EXPECT_EQ(h.observer->captureCount(), 3);
    h.advance(5);
    EXPECT_EQ(h.observer->captureCount(), 3);
}

TEST(SessionLoops, DestroyingASessionEndsEveryTaskItWaitsIn) {
    SessionHarness h;
    h.observer->setHoldCaptures(true);
    h.start();
    h.advance(1);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    ASSERT_EQ(h.observer->runningCaptures(), 1);
    h.session.reset();
    ManualClock::pump();
    EXPECT_EQ(h.clock.pendingSleepers(), 0);
    EXPECT_EQ(h.observer->runningCaptures(), 0);
    h.advance(10); // nothing left to resume into the destroyed session
}
