#include "session/SessionHarness.h"
#include "tavrine/session/VerdictCache.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(ObservationQueue, AnUncertainVerdictIsNeitherLoggedNorCached) {
    SessionHarness h;
    h.judge(ActivityRelevance::Uncertain, 0.95);
    h.start();
    h.advance(14);
    EXPECT_EQ(h.classifier->classifyCount(), 2);
    EXPECT_EQ(h.session->status(), QStringLiteral("Not enough context to judge \u00b7 staying quiet"));
    EXPECT_TRUE(h.session->activityLog().entries.isEmpty());
    EXPECT_FALSE(h.session->lastDriftAt().has_value());
}

TEST(ObservationQueue, SnapshotsWaitingBehindAJudgmentAreCoalescedToTheNewest) {
    SessionHarness h;
    h.classifier->setHoldJudgments(true);
    h.start();
    h.advance(1);
    for (const char* text : {"second draft", "third draft", "fourth draft"}) {
        h.observer->setEvidence(
            usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Quarterly report"), text));
        h.advance(12.5);
    }
    EXPECT_EQ(h.session->discardedChecks(), 2);
    const QStringList observed = h.checksWith(QStringLiteral("Observation path=window"));
    ASSERT_EQ(observed.size(), 4);
    EXPECT_EQ(h.checksWith(QStringLiteral("Coalesced an older pending observation")), observed.mid(2));
    EXPECT_EQ(h.session->monitoringState(), MonitoringState::checking());

    h.classifier->setHoldJudgments(false);
    h.classifier->releaseJudgments();
    h.advance(1.1);
    EXPECT_EQ(h.classifier->classifyCount(), 2);
    EXPECT_EQ(h.classifier->lastEvidence()->text, QStringLiteral("fourth draft"));
    EXPECT_EQ(h.session->checks(), 2);
}

TEST(ObservationQueue, AWindowPassComesBeforeTheCacheAndTheCacheBeforeTheModel) {
    SessionHarness h;
    h.judge(ActivityRelevance::Unrelated, 0.1);
    h.start();
    h.advance(14);
    EXPECT_EQ(h.lineWith(QStringLiteral("DECISION label=")),
              QStringLiteral("DECISION label=unrelated origin=model accepted=true latency=1.0 historical=false "
                             "driftSeconds=1 policy=drift-v4 P(yes)=0.1000"));
    EXPECT_EQ(h.classifier->preparedIntentions(), QStringList{QStringLiteral("Write the quarterly report")});
    EXPECT_EQ(h.classifier->classifyCount(), 1);
    EXPECT_EQ(h.linesWith(QStringLiteral("Decision origin=verdict-cache")), 1);

    h.session->steps().grantWindowPass(VerdictCache::key(usableEvidence()));
    h.advance(12.5);
    EXPECT_EQ(h.linesWith(QStringLiteral("DECISION label=relevant origin=session-correction accepted=true")), 1);
    EXPECT_EQ(h.session->label(), ActivityRelevance::Relevant);

    // Other words in another window are no pass and no cache hit.
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Player"), QStringLiteral("Trailer")));
    h.advance(2);
    EXPECT_EQ(h.classifier->classifyCount(), 2);
}

TEST(ObservationQueue, TheEvaluationKeptForLaterCapturesHoldsNoScreenshotPixels) {
    SessionHarness h;
    h.start();
    h.advance(2);
    ASSERT_EQ(h.classifier->classifyCount(), 1);
    QImage screenshot(64, 48, QImage::Format_RGB32);
    screenshot.fill(Qt::white);
    ActivityEvidence captured = usableEvidence();
    captured.imagePNG = PngBytes::encoding(screenshot);
    h.observer->setEvidence(captured);
    captured.imagePNG.reset();
    h.advance(12.5); // the same content, answered from the cache: the latest evaluation now
    EXPECT_EQ(h.linesWith(QStringLiteral("Decision origin=verdict-cache")), 1);
    h.observer->setEvidence(usableEvidence());
    EXPECT_EQ(h.session->label(), ActivityRelevance::Relevant);
    EXPECT_TRUE(screenshot.isDetached());
}

TEST(ObservationQueue, AHistoricalVerdictMovesTheDriftClockAndCacheButNotWhatIsShown) {
    SessionHarness h;
    h.judge(ActivityRelevance::Unrelated, 0.1);
    h.classifier->setHoldJudgments(true);
    h.start();
    h.advance(1.2);
    emit h.events.applicationActivated(9, QStringLiteral("org.example.Browser"));
    const QString status = h.session->status();
    h.classifier->setHoldJudgments(false);
    h.classifier->releaseJudgments();
    h.advance(0.4); // the judgment of the capture from before the activation comes back at 1001.5

    EXPECT_EQ(h.linesWith(QStringLiteral("historical=true")), 1);
    EXPECT_EQ(h.session->lastDriftAt(), 1000.0);
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_EQ(h.session->status(), status);
    EXPECT_TRUE(h.session->activityLog().entries.isEmpty());

    h.advance(1.2); // the settle check's capture of the same screen (1002.2 to 1002.7) is answered from the cache
    EXPECT_EQ(h.linesWith(QStringLiteral("Decision origin=verdict-cache")), 1);
    EXPECT_EQ(h.classifier->classifyCount(), 1);
    EXPECT_EQ(h.session->label(), ActivityRelevance::Unrelated);
    EXPECT_EQ(h.session->activityLog().entries.size(), 1);
}

TEST(ObservationQueue, StoppingDuringAJudgmentDropsItAndStartsNoFinalCheck) {
    SessionHarness h;
    h.judge(ActivityRelevance::Unrelated, 0.1);
    h.classifier->setHoldJudgments(true);
    h.start();
    h.advance(2);
    ASSERT_TRUE(h.session->isJudging());
    h.session->stop(false);
    EXPECT_FALSE(h.session->isJudging());
    h.advance(0);
    EXPECT_EQ(h.linesWith(QStringLiteral("Evaluation cancelled because the focus session ended")), 1);
    h.classifier->releaseJudgments();
    h.advance(60);
    EXPECT_EQ(h.session->checks(), 0);
    EXPECT_EQ(h.linesWith(QStringLiteral("accepted=true")), 0);
    EXPECT_EQ(h.linesWith(QStringLiteral("Final nudge check")), 0);
    EXPECT_EQ(h.session->phase(), SessionPhase::Idle);
}

TEST(ObservationQueue, AFailedJudgmentIsReportedAndForgetsTheVerdict) {
    SessionHarness h;
    h.session->setLogScreenContent(true);
    h.start();
    h.advance(2);
    ASSERT_EQ(h.session->label(), ActivityRelevance::Relevant);
    FakeClassifier::Verdict failing;
    failing.error = std::make_exception_ptr(JudgeError());
    h.classifier->setVerdict(failing);
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Budget")));
    h.advance(2.5);
    EXPECT_FALSE(h.session->label().has_value());
    EXPECT_EQ(h.linesWith(QStringLiteral("Inference failed test.Judge code=7")), 1);
    EXPECT_EQ(h.linesWith(QStringLiteral("Inference failed test.Judge code=7: The judge fell over")), 1);
    EXPECT_EQ(h.session->monitoringState(),
              MonitoringState::checkFailed(QStringLiteral("Couldn\u2019t check this activity. The judge fell over")));
    EXPECT_EQ(h.session->diagnostic(), QStringLiteral("Inference failed (test.Judge code=7 The judge fell over)"));
    EXPECT_EQ(h.session->checks(), 1);
    EXPECT_EQ(h.logs.messages(QStringLiteral("Evidence")).filter(QStringLiteral("kind=judge-error chars=")).size(), 1);

    // The failure stays told while later observations are being checked, and the green of the verdict before it
    // is gone; the next answer ends it.
    EXPECT_TRUE(h.session->lastCheckFailed());
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::None);
    h.classifier->setHoldJudgments(true);
    h.observer->setEvidence(usableEvidence(QStringLiteral("org.example.Editor"), QStringLiteral("Forecast")));
    h.advance(2.5);
    ASSERT_EQ(h.session->monitoringState(), MonitoringState::checking());
    EXPECT_TRUE(h.session->lastCheckFailed());
    h.classifier->setVerdict({});
    h.classifier->releaseJudgments();
    h.advance(1);
    EXPECT_FALSE(h.session->lastCheckFailed());
    EXPECT_EQ(h.session->menuBarSessionBackground(), MenuBarSessionBackground::Relevant);
}

TEST(ObservationQueue, ScreenContentReachesTheDiagnosticsLogOnlyWhenAllowed) {
    for (const bool allowed : {false, true}) {
        SessionHarness h;
        ActivityEvidence evidence = usableEvidence();
        evidence.header = QStringLiteral("Editor \u2014 Quarterly report");
        h.observer->setEvidence(evidence);
        h.session->setLogScreenContent(allowed);
        h.start();
        h.advance(2);
        const QStringList dumps = h.logs.messages(QStringLiteral("Evidence"));
        for (const char* kind : {"kind=context chars=", "kind=ax-header chars=", "kind=judge-output chars="})
            EXPECT_EQ(dumps.filter(QString::fromLatin1(kind)).size(), allowed ? 1 : 0) << kind;
        const QString context = dumps.filter(QStringLiteral("kind=context part=1/1")).value(0);
        EXPECT_EQ(context.contains(QStringLiteral("app=Editor\\nbundle=org.example.Editor\\nwindow=Quarterly "
                                                  "report\\nurl=\\nmethod=Window capture")),
                  allowed);
    }
}
