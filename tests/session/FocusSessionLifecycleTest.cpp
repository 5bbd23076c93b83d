#include "session/SessionHarness.h"
#include "tavrine/session/SessionServicesFactory.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using namespace tavrine::test;

TEST(FocusSessionGates, IntentionMinutesAndPermissionsBoundTheStart) {
    SessionHarness h;
    FocusSession& s = *h.session;
    s.setIntention(QStringLiteral(" \n\t\u2028 "));
    EXPECT_FALSE(s.canStart());
    // Characters are what a user sees: 400 letters each written with a combining accent still fit.
    s.setIntention(QString(QStringLiteral("e\u0301")).repeated(400));
    EXPECT_TRUE(s.canStart());
    s.setIntention(QString(401, QLatin1Char('a')));
    EXPECT_FALSE(s.canStart());
    // Surrounding blanks count toward the limit but are trimmed at the start.
    s.setIntention(QLatin1Char(' ') + QString(398, QLatin1Char('a')) + QLatin1Char(' '));
    for (int minutes : {0, 181, 1, 180}) {
        s.setMinutes(minutes);
        const bool valid = minutes == 1 || minutes == 180;
        EXPECT_EQ(s.canStart(), valid) << minutes;
        EXPECT_EQ(s.canStartFocusMode(), valid) << minutes;
    }
    s.start(false);
    EXPECT_EQ(s.intention(), QString(398, QLatin1Char('a')));
    EXPECT_EQ(s.remainingText(), QStringLiteral("180:00"));

    // Missing permissions block the start, except in demo mode.
    for (const bool demo : {false, true}) {
        SessionHarness p(demo);
        p.observer->setPermissions(false, false);
        p.session->refreshPermissions();
        p.session->setIntention(QStringLiteral("Plan the week"));
        EXPECT_EQ(p.session->canStart(), demo);
        EXPECT_EQ(p.session->canStartFocusMode(), demo);
    }
}

TEST(FocusSessionStart, AStartWhileASessionIsActiveKeepsTheRunningSession) {
    SessionHarness h;
    h.start(30);
    h.advance(100);
    const auto items = h.session->activityLogItems();
    ASSERT_FALSE(items.isEmpty());
    const double remaining = h.session->remaining();

    h.session->setMinutes(5);
    h.session->start(true);
    EXPECT_EQ(h.linesWith(QStringLiteral("Start ignored: a session is already running")), 1);
    EXPECT_EQ(h.session->activityLogItems(), items);
    EXPECT_EQ(h.session->remaining(), remaining);
    EXPECT_FALSE(h.session->isFocusSession());

    h.session->pause();
    h.session->start(false);
    EXPECT_EQ(h.linesWith(QStringLiteral("Start ignored: a session is already paused")), 1);
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->activityLog().entries.size(), 2);
}

TEST(FocusSessionPause, SleepPausesTheSessionAndTheBreakIncludesTheTimeAsleep) {
    SessionHarness h;
    h.start(30);
    h.advance(100);
    const int captures = h.observer->captureCount();
    emit h.events.willSleep();
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->remaining(), 1700.0);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::paused());
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_GE(h.classifier->resetCount(), 1);

    h.clock.sleepSystem(600);
    h.advance(5);
    // Waking up does not resume, and activations while paused capture nothing.
    emit h.events.applicationActivated(7, QStringLiteral("org.example.Other"));
    h.advance(3);
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->remaining(), 1700.0);
    EXPECT_EQ(h.observer->captureCount(), captures);
    EXPECT_EQ(h.linesWith(QStringLiteral("Activity changed")), 0);

    // Resuming waits for the permissions.
    h.observer->setPermissions(false, true);
    h.session->resume();
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::accessibilityRequired());
    h.observer->setPermissions(true, false);
    h.session->resume();
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::screenRecordingRecommended());
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);

    h.observer->setPermissions(true, true);
    h.session->resume();
    EXPECT_EQ(h.session->phase(), SessionPhase::Running);
    const auto& entries = h.session->activityLog().entries;
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].kind, SessionLogKind::Pause);
    ASSERT_TRUE(entries[1].endedAt.has_value());
    EXPECT_DOUBLE_EQ(*entries[1].endedAt - entries[1].startedAt, 608.0);
    h.advance(10);
    EXPECT_EQ(h.session->remaining(), 1690.0);
    EXPECT_GT(h.observer->captureCount(), captures);

    // Screens asleep and a switched user session pause too.
    for (int which = 0; which < 2; ++which) {
        SessionHarness other;
        other.start();
        if (which == 0)
            emit other.events.screensDidSleep();
        else
            emit other.events.sessionDidResignActive();
        EXPECT_EQ(other.session->phase(), SessionPhase::Paused) << which;
    }
}

namespace {
// A clock whose readings the test can break; sleeps run on the manual clock underneath.
class BrokenClock final : public Clock {
public:
    double now() const override { return nowValue.value_or(manual.now()); }
    double asleep() const override { return asleepValue.value_or(manual.asleep()); }
    QDateTime date() const override { return manual.date(); }
    QCoro::Task<void> sleep(double seconds, CancellationToken token) override {
        return manual.sleep(seconds, std::move(token));
    }

    ManualClock manual;
    std::optional<double> nowValue;
    std::optional<double> asleepValue;
};
} // namespace

// Built with the float-cast-overflow sanitizer, any unguarded conversion of these readings aborts the test.
TEST(FocusSessionClock, NonFiniteReadingsNeverReachAWholeSecondConversion) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double broken : {std::numeric_limits<double>::quiet_NaN(), inf, -inf}) {
        BrokenClock clock;
        MemoryUserDefaults defaults;
        auto observer = std::make_shared<FakeActivityObserver>(clock.manual);
        auto classifier = std::make_shared<FakeClassifier>(clock.manual);
        observer->setEvidence(usableEvidence());
        FakeClassifier::Verdict unrelated;
        unrelated.label = ActivityRelevance::Unrelated;
        classifier->setVerdict(unrelated);
        FocusSessionOptions options;
        options.observer = observer;
        options.classifier = classifier;
        options.clock = &clock;
        options.defaults = &defaults;
        {
            FocusSession session(options);
            session.setIntention(QStringLiteral("Write"));
            session.start(false);
            clock.manual.advance(20);
            ASSERT_TRUE(session.lastDriftAt().has_value());
            clock.nowValue = broken;
            clock.asleepValue = broken;
            clock.manual.advance(2);
            EXPECT_EQ(session.remainingText(), QStringLiteral("00:00"));
            EXPECT_FALSE(session.driftText().isEmpty());

            clock.nowValue.reset();
            session.stop(false);
            session.start(false);
            clock.manual.advance(20);
            clock.nowValue = broken;
            session.pause();
            EXPECT_EQ(session.remainingText(), QStringLiteral("00:00"));
            session.resume();
            clock.manual.advance(3);
            EXPECT_FALSE(session.driftText().isEmpty());
        }
        ManualClock::pump();
    }
}

TEST(FocusSessionServices, ASessionRunsWithoutAnObserverOrAClassifier) {
    ManualClock clock;
    MemoryUserDefaults defaults;
    SessionServicesFactory nothing;
    FocusSessionOptions options;
    options.clock = &clock;
    options.defaults = &defaults;
    options.services = &nothing;
    {
        FocusSession blind(options);
        blind.setIntention(QStringLiteral("Write"));
        blind.start(false);
        clock.advance(5);
        EXPECT_EQ(blind.monitoringState(), MonitoringState::accessibilityRequired());
    }

    auto observer = std::make_shared<FakeActivityObserver>(clock);
    observer->setEvidence(usableEvidence());
    options.observer = observer;
    FocusSession unjudged(options);
    unjudged.setIntention(QStringLiteral("Write"));
    unjudged.start(false);
    clock.advance(2);
    EXPECT_EQ(unjudged.monitoringState(),
              MonitoringState::checkFailed(
                  QStringLiteral("Couldn\u2019t check this activity. No relevance classifier is available.")));
    EXPECT_EQ(unjudged.checks(), 0);
}
