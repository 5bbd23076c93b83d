#include "session/SessionHarness.h"
#include "tavrine/session/VerdictCache.h"

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

// Accessibility is withheld around an activation, so that the first capture after it starts at the worker's pass
// at 1005.5; a second activation arrives while that capture runs (until 1006.0). A capture that started under
// 2 s after the first activation is dropped; one that started 2 s or more after it goes on as history.
TEST(PeriodicCheck, ACaptureStartedTwoSecondsAfterAnActivationSurvivesTheNextActivation) {
    for (const double activationAt : {1004.0, 1003.5}) {
        const bool dropped = activationAt == 1004.0;
        SessionHarness h;
        h.judge(ActivityRelevance::Relevant, 0.5); // not confident: nothing is cached, every decision asks the model
        h.start();
        h.advance(activationAt - 1000);
        h.observer->setPermissions(false, true);
        emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
        h.advance(1005.2 - h.clock.now());
        h.observer->setPermissions(true, true);
        h.advance(0.6);
        ASSERT_EQ(h.observer->runningCaptures(), 1);
        emit h.events.applicationActivated(10, QStringLiteral("org.example.Player"));
        h.advance(1.3); // the capture came back at 1006.0
        EXPECT_EQ(h.linesWith(QStringLiteral("Dropped early capture: activity changed while the window settled")),
                  dropped ? 1 : 0)
            << activationAt;
        EXPECT_EQ(h.classifier->classifyCount(), dropped ? 1 : 2) << activationAt;
        EXPECT_EQ(h.linesWith(QStringLiteral("historical=true")), dropped ? 0 : 1) << activationAt;
    }
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
    EXPECT_EQ(h.lineWith(QStringLiteral("DECISION origin=insufficient-evidence")),
              QStringLiteral("DECISION origin=insufficient-evidence accepted=false ") + hidden.diagnosticLine());
    h.advance(12.5);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::unreadable(QStringLiteral("This window is hidden.")));

    // A usable capture in between starts the count over.
    h.observer->setEvidence(usableEvidence());
    h.advance(12.5);
    h.observer->setEvidence(hidden);
    h.advance(12.5);
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::waiting());
    EXPECT_EQ(h.classifier->classifyCount(), 1);

    // A screenshot missing for want of permission asks for it at once.
    SessionHarness blocked;
    ActivityEvidence noScreenshot = usableEvidence();
    noScreenshot.imagePNG.reset();
    noScreenshot.imageFingerprint.clear();
    noScreenshot.capturePath = QStringLiteral("screenshot-unavailable");
    blocked.observer->setEvidence(noScreenshot);
    blocked.observer->setPermissions(true, false);
    blocked.start();
    blocked.advance(1);
    EXPECT_EQ(blocked.session->monitoringState(), MonitoringState::screenRecordingRecommended());
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
    h.advance(5);
    // Nothing came back, so the 12-second wait never started: every pass captures.
    EXPECT_GE(h.linesWith(QStringLiteral("Capture returned nothing")), 3);
}

TEST(PeriodicCheck, AnActivationPreviewsAKnownVerdictOnlyWhenTheWindowsVerdictsAgree) {
    SessionHarness h;
    const auto page = [](const QString& path) {
        ActivityEvidence evidence = usableEvidence(QStringLiteral("org.example.Browser"), QStringLiteral("Docs"), path);
        evidence.url = QStringLiteral("https://docs.example.com/") + path;
        return evidence;
    };
    h.classifier->setResponder([](const ActivityEvidence& evidence) {
        const bool report = evidence.url.endsWith(QStringLiteral("report"));
        FakeClassifier::Verdict verdict;
        verdict.label = report ? ActivityRelevance::Relevant : ActivityRelevance::Unrelated;
        verdict.confidence = report ? 0.9 : 0.1;
        return verdict;
    });
    h.observer->setEvidence(page(QStringLiteral("report")));
    h.start();
    h.advance(2);
    h.observer->setEvidence(page(QStringLiteral("feed")));
    h.advance(13); // both pages of the one window are now in the cache, with different verdicts
    ASSERT_EQ(h.classifier->classifyCount(), 2);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict")), 0);
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::DriftPending);

    // A window the user allowed is relevant whatever the cache says.
    h.session->steps().grantWindowPass(VerdictCache::key(page(QStringLiteral("feed"))));
    h.advance(3);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    EXPECT_EQ(h.linesWith(QStringLiteral("Previewing known verdict label=relevant")), 1);
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Relevant);
}
