#include "session/SessionHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

// Every judgment says unrelated with P(yes) 0.1 unless a test says otherwise: the drift starts with the first
// capture at 1000 and a nudge is due at 1045. Later captures (1012.5, 1025, 1037.5) are answered from the cache,
// so nothing is being judged at 1045, where the ticker starts the final check: its capture ends at 1045.5 and
// its judgment at 1046.5.
namespace {
struct DriftingSession : SessionHarness {
    DriftingSession() {
        judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching cooking videos"));
        start();
    }
    int finalChecksStarted() const { return linesWith(QStringLiteral("Final nudge check started path=window")); }
};
} // namespace

TEST(FinalNudgeCheck, ADriftOfFortyFiveSecondsIsCheckedOnceMoreAndHandedToTheNudge) {
    DriftingSession h;
    QSignalSpy handOffs(h.session.get(), &FocusSession::nudgeHandedOff);
    h.advance(44.99);
    EXPECT_EQ(h.session->driftText(), QStringLiteral("00:44 observed drift"));
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);
    const int captures = h.observer->captureCount();
    h.advance(0.01);
    EXPECT_EQ(h.observer->captureCount(), captures + 1);
    EXPECT_TRUE(FocusSessionProbe::isPreparingNudge(*h.session));
    EXPECT_EQ(handOffs.count(), 0);

    h.advance(1.6);
    ASSERT_EQ(handOffs.count(), 1);
    const auto& handOff = *h.session->lastNudgeHandOff();
    EXPECT_EQ(handOff.activity, QStringLiteral("Watching cooking videos"));
    EXPECT_EQ(handOff.evidence, usableEvidence());
    EXPECT_EQ(handOff.intention, QStringLiteral("Write the quarterly report"));
    EXPECT_EQ(h.checksWith(QStringLiteral("Final nudge check label=unrelated P(yes)=0.1000")),
              QStringList{handOff.checkID});
    EXPECT_EQ(h.checksWith(QStringLiteral("Final nudge check started path=window")), QStringList{handOff.checkID});
    EXPECT_EQ(h.session->label(), ActivityRelevance::Unrelated);
    EXPECT_EQ(h.session->lastDriftAt(), 1000.0);
    EXPECT_FALSE(FocusSessionProbe::isPreparingNudge(*h.session));
    EXPECT_EQ(h.classifier->lastIntention(), QStringLiteral("Write the quarterly report"));
}

TEST(FinalNudgeCheck, ARelevantFinalVerdictCancelsTheNudgeAndEndsTheDrift) {
    DriftingSession h;
    h.advance(45);
    h.judge(ActivityRelevance::Relevant, 0.9);
    h.advance(2);
    EXPECT_FALSE(h.session->lastNudgeHandOff().has_value());
    EXPECT_EQ(h.session->status(), QStringLiteral("Back on track \u00b7 nudge cancelled"));
    EXPECT_FALSE(h.session->lastDriftAt().has_value());
    EXPECT_EQ(h.session->driftText(), QStringLiteral("No drift yet"));
    EXPECT_EQ(h.session->lastWorkWindow(), usableEvidence().windowIdentity());
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Relevant);
    h.advance(10);
    EXPECT_EQ(h.finalChecksStarted(), 1);
}

TEST(FinalNudgeCheck, AnUncertainFinalVerdictStaysQuietAndIsCheckedAgain) {
    DriftingSession h;
    h.advance(45);
    h.judge(ActivityRelevance::Uncertain, std::nullopt);
    h.advance(1.6);
    EXPECT_EQ(h.session->status(), QStringLiteral("Final check was uncertain \u00b7 staying quiet"));
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);
    EXPECT_FALSE(h.session->lastNudgeHandOff().has_value());
    h.advance(1.0);
    EXPECT_EQ(h.finalChecksStarted(), 2);
}

TEST(FinalNudgeCheck, AnUnreadableScreenPostponesTheNudge) {
    DriftingSession h;
    h.advance(45);
    const QString status = h.session->status();
    h.observer->setEvidence(std::nullopt);
    h.advance(0.6);
    EXPECT_EQ(h.linesWith(QStringLiteral("Final nudge check postponed: current screen unreadable")), 1);
    EXPECT_EQ(h.session->monitoringState(),
              MonitoringState::unreadable(QStringLiteral("Couldn\u2019t verify the current activity.")));
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_EQ(h.session->status(), status);
    EXPECT_FALSE(FocusSessionProbe::isPreparingNudge(*h.session));
    EXPECT_TRUE(FocusSessionProbe::policy(*h.session).isDue(h.clock.now()));
}

TEST(FinalNudgeCheck, AMissingScreenshotPostponesTheNudgeAndSaysWhy) {
    struct Case {
        bool screenGranted;
        std::optional<QString> issue;
        MonitoringState expected;
    };
    const QString issue = QStringLiteral("Screen capture failed.");
    const QString fallback = QStringLiteral("Couldn\u2019t capture this window.");
    for (const Case& c : {Case{false, issue, MonitoringState::screenRecordingRecommended()},
                          Case{true, issue, MonitoringState::unreadable(issue)},
                          Case{true, std::nullopt, MonitoringState::unreadable(fallback)}}) {
        DriftingSession h;
        h.advance(45);
        ActivityEvidence blocked = usableEvidence();
        blocked.imagePNG.reset();
        blocked.imageFingerprint.clear();
        blocked.capturePath = QStringLiteral("screenshot-unavailable");
        blocked.issue = c.issue;
        h.observer->setEvidence(blocked);
        h.observer->setPermissions(true, c.screenGranted);
        h.session->refreshPermissions();
        h.advance(0.6);
        EXPECT_EQ(h.session->monitoringState(), c.expected);
        EXPECT_EQ(h.session->status(), c.issue.value_or(fallback));
        EXPECT_EQ(h.linesWith(QStringLiteral("Final nudge check postponed: screenshot or fingerprint unavailable")), 1);
    }
}

TEST(FinalNudgeCheck, AFailedJudgmentPostponesTheNudgeUntilTheNextTick) {
    DriftingSession h;
    h.advance(45);
    FakeClassifier::Verdict failing;
    failing.error = std::make_exception_ptr(JudgeError());
    h.classifier->setVerdict(failing);
    h.advance(1.6);
    const auto lines = h.logs.lines();
    const auto failed = std::find_if(lines.begin(), lines.end(), [](const LogCapture::Line& line) {
        return line.message.contains(QStringLiteral("Final nudge check failed test.Judge code=7; postponed"));
    });
    ASSERT_NE(failed, lines.end());
    EXPECT_EQ(failed->level, QStringLiteral("warning"));
    EXPECT_EQ(h.session->monitoringState(),
              MonitoringState::checkFailed(QStringLiteral("Couldn\u2019t verify the current activity.")));
    h.advance(1.0);
    const QStringList checks = h.checksWith(QStringLiteral("Final nudge check started"));
    ASSERT_EQ(checks.size(), 2);
    EXPECT_NE(checks[0], checks[1]);
}

TEST(FinalNudgeCheck, AJudgmentInFlightHoldsTheFinalCheckBackUntilItIsDecided) {
    DriftingSession h;
    h.advance(37);
    // New words at the capture of 1037.5: the model is asked, and it answers only when released.
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Quarterly report"),
                                           QStringLiteral("Lentil soup with cumin and lemon")));
    h.classifier->setHoldJudgments(true);
    h.advance(12);
    EXPECT_EQ(h.finalChecksStarted(), 0);
    h.classifier->setHoldJudgments(false);
    h.classifier->releaseJudgments();
    h.advance(0.6);
    EXPECT_EQ(h.finalChecksStarted(), 1);
}

TEST(FinalNudgeCheck, AnEditedIntentionOrAPauseDropsTheFinalVerdictQuietly) {
    for (const bool pause : {false, true}) {
        DriftingSession h;
        h.advance(45.6); // the final judgment is under way
        const QString status = h.session->status();
        if (pause)
            h.session->pause();
        else
            h.session->setIntention(QStringLiteral("Plan the offsite"));
        h.advance(1.0); // the judgment came back at 1046.5; the next check starts with the tick at 1047
        EXPECT_FALSE(h.session->lastNudgeHandOff().has_value()) << pause;
        EXPECT_EQ(h.linesWith(QStringLiteral("Final nudge check label=")), 0) << pause;
        EXPECT_FALSE(FocusSessionProbe::isPreparingNudge(*h.session)) << pause;
        if (!pause) {
            EXPECT_EQ(h.session->label(), ActivityRelevance::Unrelated);
            EXPECT_EQ(h.session->status(), status);
        }
    }
}
