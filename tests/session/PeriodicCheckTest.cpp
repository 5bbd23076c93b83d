#include "session/SessionHarness.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

// Timing in these tests: the first capture starts with the session (t = 1000) and takes 0.5 s; the worker then
// passes every second at x.5; a judgment takes 1 s.

TEST(PeriodicCheck, AChangedWindowIsCapturedWithoutTheTwelveSecondWait) {
    SessionHarness h;
    h.start();
    h.advance(5);
    ASSERT_EQ(h.observer->captureCount(), 1);
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Budget")));
    h.advance(0.5);
    EXPECT_EQ(h.linesWith(QStringLiteral("Focused window changed; capturing without the 12-second wait")), 1);
    EXPECT_EQ(h.observer->captureCount(), 2);
}

namespace {
// Accessibility is withheld around an activation at `activationAt`, so that the first capture after it starts
// at the worker's pass at 1005.5; a second activation arrives while that capture runs (until 1006.0).
void captureAfterActivation(SessionHarness& h, double activationAt) {
    h.start();
    h.advance(activationAt - 1000);
    h.observer->setPermissions(false, true);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    h.advance(1005.2 - h.clock.now());
    h.observer->setPermissions(true, true);
    h.advance(0.6);
    ASSERT_EQ(h.observer->runningCaptures(), 1);
    emit h.events.applicationActivated(10, QStringLiteral("org.example.Player"));
    h.advance(0.3); // the capture came back at 1006.0
}
} // namespace

TEST(PeriodicCheck, ACaptureStartedUnderTwoSecondsAfterAnActivationIsDroppedWhenAnotherFollows) {
    SessionHarness h;
    captureAfterActivation(h, 1004.0); // the capture starts 1.5 s after the activation
    EXPECT_EQ(h.linesWith(QStringLiteral("Dropped early capture: activity changed while the window settled")), 1);
    h.advance(0.9);
    EXPECT_EQ(h.classifier->classifyCount(), 1);
}

TEST(PeriodicCheck, ACaptureStartedTwoSecondsAfterAnActivationGoesOnAsHistory) {
    SessionHarness h;
    h.judge(ActivityRelevance::Relevant, 0.5); // not confident: nothing is cached, every decision asks the model
    captureAfterActivation(h, 1003.5);         // the capture starts exactly 2.0 s after the activation
    EXPECT_EQ(h.linesWith(QStringLiteral("Dropped early capture")), 0);
    h.advance(1.0);
    EXPECT_EQ(h.classifier->classifyCount(), 2);
    EXPECT_EQ(h.linesWith(QStringLiteral("historical=true")), 1);
}

TEST(PeriodicCheck, UnusableCapturesShowTheIssueAndTurnUnreadableOnTheSecondInARow) {
    SessionHarness h;
    ActivityEvidence hidden = usableEvidence();
    hidden.issue = QStringLiteral("This window is hidden.");
    hidden.imagePNG.reset();
    h.observer->setEvidence(hidden);
    h.start();
    h.advance(1);
    EXPECT_EQ(h.session->status(), QStringLiteral("This window is hidden."));
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::waiting());
    EXPECT_EQ(h.session->diagnostic(), QStringLiteral("Window capture unavailable"));
    EXPECT_EQ(h.lineWith(QStringLiteral("DECISION origin=insufficient-evidence")),
              QStringLiteral("DECISION origin=insufficient-evidence accepted=false ") + hidden.diagnosticLine());
    h.advance(12.5);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::unreadable(QStringLiteral("This window is hidden.")));

    h.observer->setEvidence(usableEvidence());
    h.advance(12.5);
    EXPECT_EQ(h.session->diagnostic(), QStringLiteral("Captured the active window for the judge"));
    h.observer->setEvidence(hidden);
    h.advance(12.5);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::waiting());
    EXPECT_EQ(h.classifier->classifyCount(), 1);
}

TEST(PeriodicCheck, AScreenshotMissingForWantOfPermissionAsksForItAtOnce) {
    SessionHarness h;
    ActivityEvidence blocked = usableEvidence();
    blocked.imagePNG.reset();
    blocked.imageFingerprint.clear();
    blocked.capturePath = QStringLiteral("screenshot-unavailable");
    h.observer->setEvidence(blocked);
    h.observer->setPermissions(true, false);
    h.start();
    h.advance(1);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::screenRecordingRecommended());
    EXPECT_EQ(h.session->status(), QStringLiteral("Couldn\u2019t capture this window \u00b7 staying quiet"));
}

TEST(PeriodicCheck, NothingReadableForgetsTheVerdictAndTriesAgainOnTheNextPass) {
    SessionHarness h;
    h.start();
    h.advance(2);
    ASSERT_EQ(h.session->label(), ActivityRelevance::Relevant);
    h.observer->setEvidence(std::nullopt);
    h.observer->setIdentity(std::nullopt);
    h.advance(12);
    EXPECT_EQ(h.linesWith(QStringLiteral("Capture returned nothing (Tavrine is frontmost or no app is readable)")), 1);
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::waiting());
    h.advance(5);
    // Nothing came back, so the 12-second wait never started: every pass captures.
    EXPECT_GE(h.linesWith(QStringLiteral("Capture returned nothing")), 3);
}

TEST(PeriodicCheck, WithoutAccessibilityNothingIsCaptured) {
    SessionHarness h;
    h.observer->setPermissions(false, true);
    h.start();
    h.advance(3);
    EXPECT_EQ(h.observer->captureCount(), 0);
    EXPECT_EQ(h.session->status(), QStringLiteral("Accessibility permission is needed"));
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::accessibilityRequired());
}

TEST(PeriodicCheck, NewContentClearsTheShownVerdictBeforeItIsJudged) {
    SessionHarness h;
    h.start();
    h.advance(2);
    ASSERT_EQ(h.session->label(), ActivityRelevance::Relevant);
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Quarterly report"),
                                           QStringLiteral("An entirely unrelated recipe for lentil soup")));
    h.advance(11.1); // the capture of 1012.5 came back at 1013.0 and is being judged until 1014.0
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_TRUE(h.session->isJudging());
    h.advance(1.0);
    EXPECT_EQ(h.session->label(), ActivityRelevance::Relevant);
    EXPECT_EQ(h.classifier->classifyCount(), 2);
}

namespace {
ActivityEvidence page(const QString& path, const QString& text) {
    ActivityEvidence evidence = usableEvidence(QStringLiteral("org.example.Browser"), QStringLiteral("Docs"), text);
    evidence.url = QStringLiteral("https://docs.example.com/") + path;
    return evidence;
}
} // namespace

TEST(PeriodicCheck, AnActivationPreviewsAKnownVerdictOnlyWhenTheWindowsVerdictsAgree) {
    SessionHarness h;
    h.classifier->setResponder([](const ActivityEvidence& evidence) {
        FakeClassifier::Verdict verdict;
        const bool report = evidence.url.endsWith(QStringLiteral("report"));
        verdict.label = report ? ActivityRelevance::Relevant : ActivityRelevance::Unrelated;
        verdict.confidence = report ? 0.9 : 0.1;
        return verdict;
    });
    h.observer->setEvidence(page(QStringLiteral("report"), QStringLiteral("Quarterly figures")));
    h.start();
    h.advance(2);
    h.observer->setEvidence(page(QStringLiteral("feed"), QStringLiteral("Celebrity gossip")));
    h.advance(13); // both pages of the one window are now in the cache, with different verdicts
    ASSERT_EQ(h.classifier->classifyCount(), 2);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict")), 0);
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::DriftPending);

    // A window the user allowed is relevant whatever the cache says.
    FocusSessionProbe::grantWindowPass(*h.session, VerdictCache::key(page(QStringLiteral("feed"), {})));
    h.advance(3);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict label=relevant")), 1);
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Relevant);
}

TEST(PeriodicCheck, AVerdictIsPreviewedUntilItIsSixHundredSecondsOld) {
    SessionHarness h;
    h.start(); // the relevant verdict is stored at 1001.5 and answers every later capture from the cache
    h.advance(1600.4 - h.clock.now());
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict label=relevant")), 1);
    h.advance(1601.6 - h.clock.now());
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict")), 1);
}
