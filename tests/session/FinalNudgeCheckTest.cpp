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
    const int captures = h.observer->captureCount();
    h.advance(0.01);
    EXPECT_EQ(h.observer->captureCount(), captures + 1);
    EXPECT_EQ(handOffs.count(), 0);

    h.advance(1.6);
    ASSERT_EQ(handOffs.count(), 1);
    const auto& handOff = *h.session->lastNudgeHandOff();
    EXPECT_EQ(handOff.activity, QStringLiteral("Watching cooking videos"));
    EXPECT_EQ(handOff.evidence, usableEvidence());
    EXPECT_EQ(h.checksWith(QStringLiteral("Final nudge check label=unrelated P(yes)=0.1000")),
              QStringList{handOff.checkID});
    EXPECT_EQ(h.checksWith(QStringLiteral("Final nudge check started path=window")), QStringList{handOff.checkID});
    EXPECT_EQ(h.session->lastDriftAt(), 1000.0);
    EXPECT_FALSE(h.session->isPreparingNudge());
}

TEST(FinalNudgeCheck, ARelevantFinalVerdictCancelsTheNudgeAndEndsTheDrift) {
    DriftingSession h;
    h.advance(45);
    h.judge(ActivityRelevance::Relevant, 0.9);
    h.advance(2);
    EXPECT_FALSE(h.session->lastNudgeHandOff().has_value());
    EXPECT_EQ(h.session->status(), QStringLiteral("Back on track \u00b7 nudge cancelled"));
    EXPECT_FALSE(h.session->lastDriftAt().has_value());
    EXPECT_EQ(h.session->lastWorkWindow(), usableEvidence().windowIdentity());
    h.advance(10);
    EXPECT_EQ(h.finalChecksStarted(), 1);
}

// An uncertain or failed final judgment stays quiet, and a fresh check starts with the next tick.
TEST(FinalNudgeCheck, AnUncertainOrFailedFinalVerdictIsCheckedAgain) {
    for (const bool fails : {false, true}) {
        DriftingSession h;
        h.advance(45);
        FakeClassifier::Verdict verdict;
        verdict.label = ActivityRelevance::Uncertain;
        if (fails)
            verdict.error = std::make_exception_ptr(JudgeError());
        h.classifier->setVerdict(verdict);
        h.advance(1.6);
        EXPECT_FALSE(h.session->lastNudgeHandOff().has_value()) << fails;
        if (fails) {
            const auto lines = h.logs.lines();
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                    [](const LogCapture::Line& line) {
                                        return line.level == QLatin1String("warning") &&
                                               line.message.contains(QStringLiteral(
                                                   "Final nudge check failed test.Judge code=7; postponed"));
                                    }),
                      1);
            EXPECT_EQ(h.session->monitoringState(),
                      MonitoringState::checkFailed(
                          QStringLiteral("Couldn\u2019t verify the current activity. The judge fell over")));
        } else {
            EXPECT_EQ(h.session->status(), QStringLiteral("Final check was uncertain \u00b7 staying quiet"));
        }
        h.advance(1.0);
        const QStringList checks = h.checksWith(QStringLiteral("Final nudge check started"));
        ASSERT_EQ(checks.size(), 2) << fails;
        EXPECT_NE(checks[0], checks[1]);
    }
}

TEST(FinalNudgeCheck, AnUnreadableScreenOrAMissingScreenshotPostponesTheNudgeAndSaysWhy) {
    const QString unverified = QStringLiteral("Couldn\u2019t verify the current activity.");
    const QString issue = QStringLiteral("Screen capture failed.");
    const QString fallback = QStringLiteral("Couldn\u2019t capture this window.");
    struct Case {
        bool readable; // false: the capture returns nothing
        bool screenGranted;
        std::optional<QString> issue;
        MonitoringState expected;
        const char* line;
    };
    const char* unreadable = "Final nudge check postponed: current screen unreadable";
    const char* noScreenshot = "Final nudge check postponed: screenshot or fingerprint unavailable";
    for (const Case& c : {Case{false, true, std::nullopt, MonitoringState::unreadable(unverified), unreadable},
                          Case{true, false, issue, MonitoringState::screenRecordingRecommended(), noScreenshot},
                          Case{true, true, issue, MonitoringState::unreadable(issue), noScreenshot},
                          Case{true, true, std::nullopt, MonitoringState::unreadable(fallback), noScreenshot}}) {
        DriftingSession h;
        h.advance(45);
        ActivityEvidence blocked = usableEvidence();
        blocked.imagePNG.reset();
        blocked.imageFingerprint.clear();
        blocked.capturePath = QStringLiteral("screenshot-unavailable");
        blocked.issue = c.issue;
        h.observer->setEvidence(c.readable ? std::optional(blocked) : std::nullopt);
        h.observer->setPermissions(true, c.screenGranted);
        h.session->refreshPermissions();
        h.advance(0.6);
        EXPECT_EQ(h.session->monitoringState(), c.expected) << c.line;
        EXPECT_EQ(h.linesWith(QString::fromLatin1(c.line)), 1);
        EXPECT_FALSE(h.session->lastNudgeHandOff().has_value());
        EXPECT_FALSE(h.session->isPreparingNudge());
    }
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
        if (!pause) {
            EXPECT_EQ(h.session->status(), status);
        }
    }
}
