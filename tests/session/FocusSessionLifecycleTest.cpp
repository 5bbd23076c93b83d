#include "session/SessionHarness.h"
#include "tavrine/session/SessionServicesFactory.h"
#include "tavrine/speech/SpeakNudgesSetting.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using namespace tavrine::test;

TEST(FocusSessionGates, IntentionAndMinutesBoundTheStartButtons) {
    SessionHarness h;
    FocusSession& s = *h.session;
    s.setIntention(QStringLiteral(" \n\t\u2028 "));
    EXPECT_FALSE(s.canStart());
    // Characters are what a user sees: 400 letters each written with a combining accent still fit.
    s.setIntention(QString(QStringLiteral("e\u0301")).repeated(400));
    EXPECT_TRUE(s.canStart());
    s.setIntention(QString(400, QLatin1Char('a')) + QLatin1Char('b'));
    EXPECT_FALSE(s.canStart());
    // Surrounding blanks count toward the limit but are trimmed at the start.
    s.setIntention(QLatin1Char(' ') + QString(398, QLatin1Char('a')) + QLatin1Char(' '));
    EXPECT_TRUE(s.canStart());

    for (int minutes : {0, 181}) {
        s.setMinutes(minutes);
        EXPECT_FALSE(s.canStart()) << minutes;
        EXPECT_FALSE(s.canStartFocusMode()) << minutes;
    }
    for (int minutes : {1, 180}) {
        s.setMinutes(minutes);
        EXPECT_TRUE(s.canStartFocusMode()) << minutes;
    }
    s.start(false);
    EXPECT_EQ(s.intention(), QString(398, QLatin1Char('a')));
    EXPECT_EQ(s.remainingText(), QStringLiteral("180:00"));
}

TEST(FocusSessionGates, PermissionsGateTheStartOutsideDemoMode) {
    SessionHarness h;
    h.observer->setPermissions(false, true);
    h.session->refreshPermissions();
    h.session->setIntention(QStringLiteral("Plan the week"));
    EXPECT_FALSE(h.session->canStartFocusMode());
    EXPECT_FALSE(h.session->canStart());

    SessionHarness demo(true);
    demo.observer->setPermissions(false, false);
    demo.session->refreshPermissions();
    demo.session->setIntention(QStringLiteral("Plan the week"));
    EXPECT_TRUE(demo.session->accessibilityReady());
    EXPECT_TRUE(demo.session->screenReady());
    EXPECT_TRUE(demo.session->canStart());
}

TEST(FocusSessionGates, PermissionChangesAreLoggedOnceAndBlockARunningSession) {
    SessionHarness h;
    h.start();
    h.logs.clear();
    h.observer->setPermissions(false, true);
    h.session->refreshPermissions();
    h.session->refreshPermissions();
    EXPECT_EQ(h.focusLines(), QStringList{QStringLiteral("Permissions accessibility=false screen=true")});
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::accessibilityRequired());
}

TEST(FocusSessionStart, AStartWhileASessionIsActiveKeepsTheRunningSession) {
    SessionHarness h;
    h.start(30);
    h.advance(100);
    ASSERT_FALSE(h.session->activityLogItems().isEmpty());
    const auto items = h.session->activityLogItems();
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
    EXPECT_EQ(FocusSessionProbe::activityLog(*h.session).entries.size(), 2);
}

TEST(FocusSessionCountdown, TheDisplayChangesOnTheWholeSecondAndTheSessionCompletesAtZero) {
    SessionHarness h;
    QSignalSpy remainingChanges(h.session.get(), &FocusSession::remainingChanged);
    h.start(1);
    EXPECT_EQ(h.session->remainingText(), QStringLiteral("01:00"));
    remainingChanges.clear();
    h.advance(0.999);
    EXPECT_EQ(h.session->remainingText(), QStringLiteral("01:00"));
    EXPECT_EQ(remainingChanges.count(), 0); // the ticker sleeps until the text changes, it does not poll
    h.advance(0.001);
    EXPECT_EQ(h.session->remainingText(), QStringLiteral("00:59"));
    h.advance(58.8);
    EXPECT_EQ(h.session->remainingText(), QStringLiteral("00:01"));
    EXPECT_EQ(h.session->phase(), SessionPhase::Running);
    h.advance(0.2);
    EXPECT_EQ(h.session->phase(), SessionPhase::Finished);
    EXPECT_EQ(h.session->remaining(), 0.0);
    EXPECT_EQ(h.session->remainingText(), QStringLiteral("00:00"));
    EXPECT_EQ(h.session->status(), QStringLiteral("Session complete. Nice work."));
    EXPECT_EQ(h.linesWith(QStringLiteral("Session stopped completed=true")), 1);
}

TEST(FocusSessionPause, SleepPausesTheSessionAndTheBreakIncludesTheTimeAsleep) {
    SessionHarness h;
    h.start(30);
    h.advance(100);
    const int captures = h.observer->captureCount();
    emit h.events.willSleep();
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->remaining(), 1700.0);
    EXPECT_EQ(h.session->status(), QStringLiteral("On a break \u00b7 monitoring paused"));
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::paused());
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_GE(h.classifier->resetCount(), 1);

    h.clock.sleepSystem(600);
    h.advance(5);
    // Waking up does not resume: the countdown stands still and nothing is captured.
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->remaining(), 1700.0);
    EXPECT_EQ(h.observer->captureCount(), captures);
    EXPECT_EQ(h.session->driftText(), QStringLiteral("No drift yet"));

    h.observer->setPermissions(false, true);
    h.session->resume();
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::accessibilityRequired());
    h.observer->setPermissions(true, false);
    h.session->resume();
    EXPECT_EQ(h.session->phase(), SessionPhase::Paused);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::screenRecordingRecommended());

    h.observer->setPermissions(true, true);
    h.session->resume();
    EXPECT_EQ(h.session->phase(), SessionPhase::Running);
    EXPECT_EQ(h.session->status(), QStringLiteral("Watching for context"));
    const auto& entries = FocusSessionProbe::activityLog(*h.session).entries;
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].kind, SessionLogKind::Pause);
    ASSERT_TRUE(entries[1].endedAt.has_value());
    EXPECT_DOUBLE_EQ(*entries[1].endedAt - entries[1].startedAt, 605.0);
    h.advance(10);
    EXPECT_EQ(h.session->remaining(), 1690.0);
    EXPECT_GT(h.observer->captureCount(), captures);
}

TEST(FocusSessionPause, ScreensAsleepAndASwitchedSessionPauseToo) {
    for (int which = 0; which < 2; ++which) {
        SessionHarness h;
        h.start();
        h.advance(3);
        if (which == 0)
            emit h.events.screensDidSleep();
        else
            emit h.events.sessionDidResignActive();
        EXPECT_EQ(h.session->phase(), SessionPhase::Paused) << which;
    }
}

TEST(FocusSessionPause, ActivationsOutsideARunningSessionChangeNothing) {
    SessionHarness h;
    emit h.events.applicationActivated(7, QStringLiteral("org.example.Other"));
    h.start();
    h.advance(3);
    h.session->pause();
    const int captures = h.observer->captureCount();
    h.logs.clear();
    emit h.events.applicationActivated(7, QStringLiteral("org.example.Other"));
    h.advance(3);
    EXPECT_EQ(h.linesWith(QStringLiteral("Activity changed")), 0);
    EXPECT_EQ(h.observer->captureCount(), captures);
}

TEST(FocusSessionDefaults, SpeakNudgesStartsFromTheDefaultsAndEveryAssignmentIsWritten) {
    ManualClock clock;
    MemoryUserDefaults defaults;
    FocusSessionOptions options;
    options.clock = &clock;
    options.defaults = &defaults;
    EXPECT_TRUE(FocusSession(options).speakNudges());

    defaults.setBool(speakNudgesKey, false);
    FocusSession session(options);
    EXPECT_FALSE(session.speakNudges());
    defaults.remove(speakNudgesKey);
    QSignalSpy changes(&session, &FocusSession::speakNudgesChanged);
    session.setSpeakNudges(false);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(defaults.boolValue(speakNudgesKey), false);
    session.setSpeakNudges(true);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(defaults.boolValue(speakNudgesKey), true);
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
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double broken : {nan, inf, -inf}) {
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
        EXPECT_FALSE(blind.accessibilityReady());
        blind.setIntention(QStringLiteral("Write"));
        blind.start(false);
        clock.advance(5);
        EXPECT_EQ(blind.status(), QStringLiteral("Accessibility permission is needed"));
        EXPECT_EQ(blind.monitoringState(), MonitoringState::accessibilityRequired());
    }

    auto observer = std::make_shared<FakeActivityObserver>(clock);
    observer->setEvidence(usableEvidence());
    options.observer = observer;
    LogCapture logs;
    FocusSession unjudged(options);
    unjudged.setIntention(QStringLiteral("Write"));
    unjudged.start(false);
    clock.advance(2);
    EXPECT_EQ(unjudged.monitoringState(),
              MonitoringState::checkFailed(QStringLiteral("Couldn\u2019t check this activity.")));
    EXPECT_EQ(logs.messages(QStringLiteral("Focus")).filter(QStringLiteral("Inference failed")).size(), 1);
    EXPECT_EQ(unjudged.checks(), 0);
}
