#include "fakes/FakeActivityObserver.h"
#include "fakes/FakeMakerApi.h"
#include "fakes/FakeSpeaker.h"
#include "fakes/FakeWorkspaceEvents.h"
#include "session/SessionHarness.h"
#include "support/TestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/services/HistoryIntentWriter.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevRelevanceClassifier.h"
#include "tavrine/services/LocalJobExpander.h"
#include "tavrine/services/LocalNudgeWriter.h"
#include "tavrine/services/RecapPhraseWriter.h"
#include "tavrine/services/TavrineAPIClient.h"
#include "tavrine/session/FocusSession.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

ActivityEvidence window(const QString& app, const QString& bundle, quint32 id, const QString& title, const QString& url,
                        const QString& text) {
    ActivityEvidence evidence;
    evidence.app = app;
    evidence.bundle = bundle;
    evidence.pid = qint32(id);
    evidence.windowID = id;
    evidence.title = title;
    evidence.url = url;
    evidence.text = text;
    evidence.source = QStringLiteral("Window capture");
    evidence.capturePath = QStringLiteral("window+ocr");
    evidence.imageFingerprint = QString::number(id).repeated(16);
    evidence.imagePNG = QByteArray("png");
    return evidence;
}

const ActivityEvidence editor =
    window(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"), 11, QStringLiteral("Quarterly report draft"),
           QString(), QStringLiteral("Quarterly report: revenue grew in the third quarter"));
const ActivityEvidence videos = window(
    QStringLiteral("Firefox"), QStringLiteral("firefox"), 22, QStringLiteral("Funny cat clips"),
    QStringLiteral("https://videos.example/watch"), QStringLiteral("Funny cat clips compilation, autoplay next"));
const ActivityEvidence news =
    window(QStringLiteral("Firefox"), QStringLiteral("firefox"), 22, QStringLiteral("Morning headlines"),
           QStringLiteral("https://news.example/today"), QStringLiteral("Morning headlines: markets, weather, sports"));

// The whole engine on virtual time, with the real judge and writers talking to the fake maker's API on loopback.
class SessionEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(api.listen());
        api.setCannedReplies(true);
        const QUrl base = api.baseURL();
        auto client = TavrineAPIClient::create([] { return std::optional<QString>(QStringLiteral("token")); },
                                               []() -> QCoro::Task<void> { co_return; }, [base] { return base; });
        SessionHistory::Options store;
        store.folder = folder.path();
        history = std::make_shared<SessionHistory>(store);
        speaker->setSpeechEnabled(false);
        observer->setEvidence(editor);

        FocusSessionOptions options;
        options.observer = observer;
        options.classifier = std::make_shared<JevRelevanceClassifier>(std::make_shared<JevClient>(client),
                                                                      std::make_shared<LocalJobExpander>(client));
        options.nudgeWriter = std::make_shared<LocalNudgeWriter>(client);
        options.recapWriter = std::make_shared<RecapPhraseWriter>(client);
        options.intentWriter = std::make_shared<HistoryIntentWriter>(client);
        options.speaker = speaker;
        options.history = history;
        options.clock = &clock;
        options.defaults = &defaults;
        options.workspaceEvents = &events;
        session = std::make_unique<FocusSession>(options);
        session->setOnNudge([this] { ++shown; });
    }
    void TearDown() override {
        session.reset();
        ManualClock::pump();
    }

    // Lets `seconds` virtual seconds pass one by one, each time waiting for the judge and the nudge writer to
    // get their answers from the loopback API; stops early once `until` holds.
    void run(int seconds, const std::function<bool()>& until = {}) {
        for (int i = 0; i < seconds && !(until && until()); ++i) {
            clock.advance(1);
            waitUntil([this] { return !session->isJudging() && !preparing(); }, 5);
        }
    }
    bool preparing() const { return session->isPreparingNudge(); }
    void switchTo(const ActivityEvidence& evidence) {
        observer->setEvidence(evidence);
        emit events.applicationActivated(evidence.pid, evidence.bundle);
    }
    bool nudged() const { return session->pendingNudge().has_value(); }

    ManualClock clock{1000.0};
    MemoryUserDefaults defaults;
    FakeWorkspaceEvents events;
    FakeMakerApi api;
    QTemporaryDir folder;
    std::shared_ptr<SessionHistory> history;
    std::shared_ptr<FakeActivityObserver> observer = std::make_shared<FakeActivityObserver>(clock);
    std::shared_ptr<FakeSpeaker> speaker = std::make_shared<FakeSpeaker>();
    std::unique_ptr<FocusSession> session;
    int shown = 0;
};

} // namespace

TEST_F(SessionEndToEnd, ASessionDriftsIsNudgedTakesEachAnswerAndLandsInTheHistoryWithItsPhrases) {
    session->setIntention(QStringLiteral("Write the quarterly report"));
    session->setMinutes(30);
    session->start(false);
    run(20);
    EXPECT_EQ(session->label(), ActivityRelevance::Relevant);
    ASSERT_EQ(session->lastWorkWindow(), editor.windowIdentity());

    // A drift to videos: nudged with the writer's sentence; "Get back to work" raises the editor.
    switchTo(videos);
    run(90, [this] { return nudged(); });
    ASSERT_TRUE(nudged());
    EXPECT_EQ(session->pendingNudgeReason(), QStringLiteral("Firefox can wait. Back to Write the quarterly report."));
    EXPECT_EQ(shown, 1);
    session->returnToWork();
    EXPECT_EQ(observer->returnedTo(), QList<ActivityWindowIdentity>{editor.windowIdentity()});
    switchTo(editor);
    run(20);

    // Back to the videos: "This is relevant" allows that page for the rest of the session.
    switchTo(videos);
    run(90, [this] { return nudged(); });
    ASSERT_TRUE(nudged());
    session->grantSessionPass();
    EXPECT_EQ(session->status(), QStringLiteral("This window is allowed for the rest of this session"));
    run(30);
    EXPECT_EQ(session->label(), ActivityRelevance::Relevant);
    EXPECT_FALSE(nudged());

    // Headlines on the same window: a new drift, and "Take a break".
    switchTo(news);
    run(90, [this] { return nudged(); });
    ASSERT_TRUE(nudged());
    session->pause();
    EXPECT_EQ(session->phase(), SessionPhase::Paused);
    EXPECT_FALSE(nudged());
    run(60);
    session->resume();
    switchTo(editor);
    run(60);
    EXPECT_EQ(session->nudges(), 3);

    session->stop(false);
    ASSERT_TRUE(session->summary().has_value());
    // The recap and history lines arrive in the background and reach the summary on screen.
    const auto written = [this] {
        const SessionSummary& summary = *session->summary();
        const bool recap = std::any_of(summary.topDetours.begin(), summary.topDetours.end(), [](const auto& detour) {
            return detour.phrase == QLatin1String("Wandered over to videos.example");
        });
        const bool intents =
            std::any_of(summary.timeline.segments.begin(), summary.timeline.segments.end(),
                        [](const auto& segment) { return segment.intent == QLatin1String("Worked in Editor"); });
        return recap && intents;
    };
    ASSERT_TRUE(waitUntil(written, 10));

    // What is on disk, read by a store of its own.
    SessionHistory::Options options;
    options.folder = folder.path();
    SessionHistory reread(options);
    const QList<StoredSession> stored = reread.allSessions();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].intention, QStringLiteral("Write the quarterly report"));
    EXPECT_EQ(stored[0].detours, session->summary()->detours);
    QStringList detourPhrases;
    QStringList intents;
    for (const StoredSegment& segment : stored[0].segments) {
        if (segment.kind == QLatin1String("detour"))
            detourPhrases << segment.phrase;
        intents << segment.intent;
    }
    EXPECT_TRUE(detourPhrases.contains(QStringLiteral("Wandered over to videos.example")))
        << detourPhrases.join('|').toStdString();
    EXPECT_TRUE(intents.contains(QStringLiteral("Worked in Editor"))) << intents.join('|').toStdString();
    EXPECT_TRUE(intents.contains(QStringLiteral("Took a detour in Firefox"))) << intents.join('|').toStdString();
    EXPECT_EQ(api.requests(QStringLiteral("recap")).size(), 1);
    EXPECT_EQ(api.requests(QStringLiteral("history")).size(), 1);
    EXPECT_EQ(api.requests(QStringLiteral("nudge")).size(), 3);
}
