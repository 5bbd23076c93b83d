#include "fakes/FakeNudgeWriter.h"
#include "fakes/FakeSpeaker.h"
#include "session/SessionHarness.h"
#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

// A session whose judge calls everything a detour, with a nudge writer and a speaker.
struct NudgeHarness {
    explicit NudgeHarness(bool withWriter = true) {
        SessionServices services;
        if (withWriter)
            services.nudgeWriter = writer;
        services.speaker = speaker;
        h = std::make_unique<SessionHarness>(services);
        h->session->setOnNudge([this] { ++shown; });
        h->session->setOnDismissNudge([this] { ++hidden; });
        QObject::connect(h->session.get(), &FocusSession::pendingNudgeChanged, [this] {
            if (h->session->pendingNudge())
                nudgedAt = h->clock.now();
        });
        h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching videos"));
    }
    FocusSession& session() { return *h->session; }
    // Lets the session drift until a nudge is open, in small steps so that the test stands close to its moment.
    void driftIntoNudge(bool start = true) {
        if (start)
            h->start();
        for (int i = 0; i < 480 && !session().pendingNudge(); ++i)
            h->advance(0.25);
        ASSERT_TRUE(session().pendingNudge().has_value());
    }

    std::shared_ptr<FakeNudgeWriter> writer = std::make_shared<FakeNudgeWriter>();
    std::shared_ptr<FakeSpeaker> speaker = std::make_shared<FakeSpeaker>();
    std::unique_ptr<SessionHarness> h;
    int shown = 0;
    int hidden = 0;
    double nudgedAt = 0; // when the latest nudge was set up (and its wait for the voice began)
};

} // namespace

TEST(NudgeWriting, AWrittenNudgeShowsItsTextAndSpeaksItsSpeech) {
    NudgeHarness n;
    n.writer->setAnswer(WrittenNudge{QStringLiteral("Videos can wait."), QStringLiteral("Videos can wait, really."),
                                     QStringLiteral("nudge-v7"), QStringLiteral("m"), QStringLiteral("d")});
    n.speaker->setSpeechEnabled(false);
    n.driftIntoNudge();
    EXPECT_EQ(n.session().pendingNudgeReason(), QStringLiteral("Videos can wait."));
    ASSERT_EQ(n.writer->calls().size(), 1);
    EXPECT_EQ(n.writer->calls()[0].work, QStringLiteral("Watching videos"));
    EXPECT_EQ(n.writer->calls()[0].window, QStringLiteral("Quarterly report"));
    // The speech text is what is spoken; with speech off no voice starts and the card opens at once.
    EXPECT_EQ(n.speaker->requested(), QStringList{QStringLiteral("Videos can wait, really.")});
    EXPECT_EQ(n.shown, 1);
    EXPECT_EQ(
        n.h->linesWith(QStringLiteral("Nudge shown after final unrelated check copyOrigin=model prompt=nudge-v7")), 1);

    // The open nudge holds back further checks and nudges.
    const int classified = n.h->classifier->classifyCount();
    n.h->advance(120);
    EXPECT_EQ(n.h->classifier->classifyCount(), classified);
    EXPECT_EQ(n.session().nudges(), 1);
}

TEST(NudgeWriting, WriterFailuresFallBackToTheFixedWording) {
    const QString fallback =
        QStringLiteral("Nice detour: Watching videos. Drop it and get back to Write the quarterly report.");
    struct Case {
        std::exception_ptr error;
        bool withWriter;
        const char* line;
    };
    for (const Case& c : {Case{std::make_exception_ptr(NudgeWriterError::rejected(QStringLiteral("too long"))), true,
                               "Nudge copy rejected: invalid format too long; using fallback"},
                          Case{std::make_exception_ptr(NudgeWriterError::httpStatus(429, QStringLiteral("slow down"))),
                               true, "Nudge writing failed openAIHTTP429; using fallback"},
                          Case{nullptr, false, "copyOrigin=fallback prompt="}}) {
        NudgeHarness n(c.withWriter);
        n.writer->setError(c.error);
        n.driftIntoNudge();
        EXPECT_EQ(n.session().pendingNudgeReason(), fallback) << c.line;
        EXPECT_EQ(n.speaker->requested(), QStringList{fallback}) << c.line;
        EXPECT_EQ(n.h->linesWith(QString::fromLatin1(c.line)), 1) << c.line;
    }
}

TEST(NudgeWriting, ANudgeThatWentStaleWhileBeingWrittenIsDropped) {
    // Paused, the intention edited, or the drift ended while the writer works: no nudge, and no count.
    for (int variant = 0; variant < 3; ++variant) {
        NudgeHarness n;
        n.writer->setHold(true);
        n.h->start();
        for (int i = 0; i < 120 && n.writer->running() == 0; ++i)
            n.h->advance(1);
        ASSERT_EQ(n.writer->running(), 1) << variant;
        if (variant == 0)
            n.session().pause();
        else if (variant == 1)
            n.session().setIntention(QStringLiteral("Something else"));
        else
            n.session().acknowledgeNudge();
        n.writer->release();
        ManualClock::pump();
        EXPECT_FALSE(n.session().pendingNudge().has_value()) << variant;
        EXPECT_EQ(n.session().nudges(), 0) << variant;
        EXPECT_EQ(n.shown, 0) << variant;
        EXPECT_FALSE(n.session().isPreparingNudge()) << variant;
    }
}

TEST(NudgeVoice, TheCardWaitsForTheVoiceAtMostTwoSeconds) {
    // A voice that never starts in time: the card opens two seconds after the nudge, exactly once.
    {
        NudgeHarness n(false);
        n.driftIntoNudge();
        n.h->advance(n.nudgedAt + 1.999 - n.h->clock.now());
        EXPECT_EQ(n.shown, 0);
        n.h->advance(0.001);
        EXPECT_EQ(n.shown, 1);
        EXPECT_EQ(n.h->linesWith(QStringLiteral("Nudge opened before a late voice waited=2.0")), 1);
        n.speaker->failVoice(); // the late voice changes nothing
        n.h->advance(5);
        EXPECT_EQ(n.shown, 1);
    }
    // A voice that fails half a second in opens the card then.
    {
        NudgeHarness n(false);
        n.driftIntoNudge();
        n.h->advance(n.nudgedAt + 0.5 - n.h->clock.now());
        EXPECT_EQ(n.shown, 0);
        n.speaker->failVoice();
        EXPECT_EQ(n.shown, 1);
        EXPECT_EQ(n.h->linesWith(QStringLiteral("Nudge opened after the voice failed waited=0.5")), 1);
        n.h->advance(5);
        EXPECT_EQ(n.shown, 1);
    }
    // A nudge closed while it waits for its voice never opens.
    NudgeHarness n(false);
    n.driftIntoNudge();
    n.session().acknowledgeNudge();
    n.h->advance(5);
    EXPECT_EQ(n.shown, 0);
}

TEST(NudgeAnswers, BackToWorkRaisesTheLastWorkWindowAndRestartsTheDrift) {
    NudgeHarness n;
    n.h->judge(ActivityRelevance::Relevant);
    n.h->start();
    n.h->advance(3);
    ASSERT_TRUE(n.session().lastWorkWindow().has_value());
    const ActivityWindowIdentity work = *n.session().lastWorkWindow();
    n.h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching videos"));
    n.h->observer->setEvidence(usableEvidence(QStringLiteral("org.example.Videos"), QStringLiteral("Cat videos")));
    n.driftIntoNudge(false);

    const double answeredAt = n.h->clock.now();
    n.session().returnToWork();
    EXPECT_EQ(n.h->observer->returnedTo(), QList<ActivityWindowIdentity>{work});
    EXPECT_FALSE(n.session().pendingNudge());
    EXPECT_EQ(n.hidden, 1);
    // Still on the detour: the next nudge needs a whole new drift, not just the cooldown.
    n.driftIntoNudge(false);
    EXPECT_EQ(n.session().nudges(), 2);
    EXPECT_GE(n.h->clock.now() - answeredAt, 45.0);

    // Without a work window nothing is raised, but the nudge closes all the same.
    NudgeHarness fresh;
    fresh.driftIntoNudge();
    fresh.session().returnToWork();
    EXPECT_TRUE(fresh.h->observer->returnedTo().isEmpty());
    EXPECT_FALSE(fresh.session().pendingNudge());
}

TEST(NudgeAnswers, ThisIsRelevantAllowsTheWindowForTheRestOfTheSession) {
    NudgeHarness n;
    n.driftIntoNudge();
    FocusSession& s = n.session();
    const ActivityEvidence nudged = *s.pendingNudge();
    s.grantSessionPass();
    EXPECT_FALSE(s.pendingNudge());
    EXPECT_EQ(s.lastWorkWindow(), nudged.windowIdentity());
    // The detour the nudge was about counts as work now.
    EXPECT_EQ(s.activityLog().entries.last().kind, SessionLogKind::Related);

    // The window is now judged by its pass, never again by the judge or its cached verdict.
    const int classified = n.h->classifier->classifyCount();
    n.h->logs.clear();
    n.h->advance(120);
    EXPECT_EQ(n.h->classifier->classifyCount(), classified);
    EXPECT_EQ(n.h->linesWith(QStringLiteral("Decision origin=verdict-cache")), 0);
    EXPECT_EQ(s.nudges(), 1);

    // The same window on another page is another pass: it is judged (and nudged about) again.
    ActivityEvidence otherPage = nudged;
    otherPage.url = QStringLiteral("https://example.org/other");
    n.h->observer->setEvidence(otherPage);
    n.driftIntoNudge(false);
    s.grantSessionPass();
    EXPECT_EQ(s.correctionsCount(), 2);
    // Without an open nudge the answer does nothing.
    s.grantSessionPass();
    EXPECT_EQ(s.correctionsCount(), 2);
}
