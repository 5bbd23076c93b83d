#include "fakes/FakeNudgeWriter.h"
#include "session/SessionHarness.h"
#include "tavrine/session/FocusThiefList.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

FocusThiefList thieves() {
    return FocusThiefList::fromJson(R"({
        "version": 1,
        "browsers": ["firefox"],
        "thieves": [
            {"id": "chat", "name": "Chatter", "apps": ["org.example.Chatter"], "domains": []},
            {"id": "video", "name": "VideoSite", "apps": [], "domains": ["videos.example"]}
        ]
    })");
}

FrontmostPage chatPage() {
    return FrontmostPage{QStringLiteral("Chatter"), QStringLiteral("org.example.Chatter"), 31,
                         QStringLiteral("General channel"), QString()};
}

FrontmostPage editorPage() {
    return FrontmostPage{QStringLiteral("Editor"), QStringLiteral("org.example.Editor"), 4242,
                         QStringLiteral("Quarterly report"), QString()};
}

// A focus-mode session with the list above and a nudge writer; the judge calls the editor work.
struct FocusHarness {
    FocusHarness() {
        SessionServices services;
        services.nudgeWriter = writer;
        services.focusThieves = thieves();
        h = std::make_unique<SessionHarness>(services);
        h->session->setOnNudge([this] { ++shown; });
        QObject::connect(h->session.get(), &FocusSession::pendingNudgeChanged, [this] {
            if (h->session->pendingNudge())
                nudgeTimes.append(h->clock.now());
        });
    }
    FocusSession& session() { return *h->session; }
    // Starts and lets the first pass read the page.
    void start() {
        h->start(30, QStringLiteral("Write the quarterly report"), true);
        ManualClock::pump();
    }

    std::shared_ptr<FakeNudgeWriter> writer = std::make_shared<FakeNudgeWriter>();
    std::unique_ptr<SessionHarness> h;
    int shown = 0;
    QList<double> nudgeTimes;
};

} // namespace

TEST(FocusMode, AListedDistractionIsNudgedAfterEightSecondsWithoutTheJudge) {
    FocusHarness f;
    f.h->observer->setPage(chatPage());
    const double t0 = f.h->clock.now();
    f.start();
    EXPECT_EQ(f.session().status(), QStringLiteral("Chatter steals focus \u00b7 giving you a moment"));
    EXPECT_EQ(f.session().label(), ActivityRelevance::Unrelated);
    EXPECT_EQ(f.session().source(), QStringLiteral("Focus thief list"));
    EXPECT_EQ(f.session().observedApp(), QStringLiteral("Chatter"));
    EXPECT_EQ(f.session().menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);

    f.h->advance(7.9);
    EXPECT_TRUE(f.nudgeTimes.isEmpty());
    f.h->advance(0.1);
    ASSERT_EQ(f.nudgeTimes, QList<double>{t0 + 8});
    EXPECT_EQ(f.h->classifier->classifyCount(), 0);
    EXPECT_EQ(f.h->observer->captureCount(), 0);
    // Repeated hits are recorded each pass but announced once.
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit id=chat")), 1);
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Fast-lane nudge check list hit id=chat")), 1);
    ASSERT_TRUE(f.session().pendingNudgeThief().has_value());
    EXPECT_EQ(f.session().pendingNudgeThief()->id, QStringLiteral("chat"));
    EXPECT_EQ(f.session().pendingNudge()->source, QStringLiteral("Focus thief list"));
    ASSERT_EQ(f.writer->calls().size(), 1);
    EXPECT_EQ(f.writer->calls()[0].work, QStringLiteral("Chatter"));
    EXPECT_EQ(f.writer->calls()[0].window, QStringLiteral("General channel"));
    EXPECT_EQ(f.writer->calls()[0].subject, QString());

    // The shell takes the card away without an answer: the next fast nudge comes 30 seconds after this one.
    f.session().dismissNudge();
    f.h->advance(29.9);
    EXPECT_EQ(f.nudgeTimes.size(), 1);
    f.h->advance(0.1);
    EXPECT_EQ(f.nudgeTimes, (QList<double>{t0 + 8, t0 + 38}));
    EXPECT_EQ(f.session().nudges(), 2);
}

TEST(FocusMode, LeavingTheDistractionCancelsTheFastNudgeButNotTheDrift) {
    FocusHarness f;
    f.h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Reading the news"));
    f.h->observer->setPage(chatPage());
    const double t0 = f.h->clock.now();
    f.start();
    f.h->advance(3);
    // Off to another, unlisted detour before the fast lane runs out.
    f.h->observer->setPage(FrontmostPage{QStringLiteral("News"), QStringLiteral("org.example.News"), 9,
                                         QStringLiteral("Headlines"), QString()});
    f.h->observer->setEvidence(usableEvidence(QStringLiteral("org.example.News"), QStringLiteral("Headlines")));
    f.h->advance(5);
    EXPECT_TRUE(f.nudgeTimes.isEmpty());
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Fast-lane nudge cancelled: frontmost is no longer a list hit")), 1);
    EXPECT_EQ(f.session().status(), QStringLiteral("Left the detour \u00b7 nudge cancelled"));

    // The judge still calls it a detour: the normal nudge comes 45 seconds after the first hit.
    for (int i = 0; i < 240 && f.nudgeTimes.isEmpty(); ++i)
        f.h->advance(0.25);
    ASSERT_EQ(f.nudgeTimes.size(), 1);
    EXPECT_GE(f.nudgeTimes[0], t0 + 45);
    EXPECT_LT(f.nudgeTimes[0], t0 + 50);
    EXPECT_FALSE(f.session().pendingNudgeThief().has_value());
}

TEST(FocusMode, AllowedDistractionsAndUnlistedWindowsAreNoHits) {
    FocusHarness f;
    f.h->observer->setPage(chatPage());
    f.start();
    f.h->advance(8);
    ASSERT_TRUE(f.session().pendingNudge());
    f.session().grantSessionPass();
    EXPECT_EQ(f.session().status(), QStringLiteral("Chatter allowed for the rest of this session"));
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Session pass granted id=chat")), 1);
    EXPECT_EQ(f.session().correctionsCount(), 1);

    // The allowed distraction is no hit any more: the pass goes on to an ordinary capture and judgment.
    f.h->logs.clear();
    f.h->advance(60);
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit")), 0);
    EXPECT_EQ(f.session().nudges(), 1);
    EXPECT_GT(f.h->observer->captureCount(), 0);

    // A page that is on no list, and no page at all, are no hits either.
    FocusHarness g;
    g.h->observer->setPage(editorPage());
    g.start();
    g.h->advance(20);
    g.h->observer->setPage(std::nullopt);
    g.h->advance(20);
    EXPECT_EQ(g.h->linesWith(QStringLiteral("Focus thief list hit")), 0);
    EXPECT_TRUE(g.nudgeTimes.isEmpty());
    EXPECT_EQ(g.session().label(), ActivityRelevance::Relevant);
}

TEST(FocusMode, ASiteIsMatchedOnTheBrowsersPage) {
    FocusHarness f;
    f.h->observer->setPage(FrontmostPage{QStringLiteral("Firefox"), QStringLiteral("firefox"), 5,
                                         QStringLiteral("Funny clips"), QStringLiteral("https://m.videos.example/x")});
    f.start();
    f.h->advance(8);
    ASSERT_TRUE(f.session().pendingNudge());
    EXPECT_EQ(f.session().pendingNudgeThief()->id, QStringLiteral("video"));
    EXPECT_EQ(f.session().pendingNudge()->url, QStringLiteral("https://m.videos.example/x"));
    ASSERT_EQ(f.writer->calls().size(), 1);
    EXPECT_EQ(f.writer->calls()[0].url, QStringLiteral("https://m.videos.example/x"));
    // "This is relevant" on it allows the distraction and the page's window key.
    f.session().grantSessionPass();
    EXPECT_EQ(f.session().status(), QStringLiteral("VideoSite allowed for the rest of this session"));
}

TEST(FocusMode, TheListIsOnlyReadInFocusMode) {
    FocusHarness f;
    f.h->observer->setPage(chatPage());
    f.h->start(30, QStringLiteral("Write the quarterly report"), false);
    f.h->advance(30);
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit")), 0);
    EXPECT_TRUE(f.nudgeTimes.isEmpty());
}
