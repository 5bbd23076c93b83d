#include "fakes/FakeNudgeWriter.h"
#include "session/SessionHarness.h"
#include "tavrine/session/FocusThiefList.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

FrontmostPage chatPage() {
    return FrontmostPage{QStringLiteral("Chatter"), QStringLiteral("org.example.Chatter"), 31,
                         QStringLiteral("General channel"), QString()};
}

// A focus-mode session with a list of two distractions and a nudge writer; the judge calls the editor work.
struct FocusHarness {
    FocusHarness() {
        SessionServices services;
        services.nudgeWriter = writer;
        services.focusThieves = FocusThiefList::fromJson(R"({
            "version": 1,
            "browsers": ["firefox"],
            "thieves": [
                {"id": "chat", "name": "Chatter", "apps": ["org.example.Chatter"], "domains": []},
                {"id": "video", "name": "VideoSite", "apps": [], "domains": ["videos.example"]}
            ]
        })");
        h = std::make_unique<SessionHarness>(services);
        QObject::connect(h->session.get(), &FocusSession::pendingNudgeChanged, [this] {
            if (h->session->pendingNudge())
                nudgeTimes.append(h->clock.now());
        });
    }
    FocusSession& session() { return *h->session; }
    // Starts and lets the first pass read the page.
    void start(bool focusMode = true) {
        h->start(30, QStringLiteral("Write the quarterly report"), focusMode);
        ManualClock::pump();
    }

    std::shared_ptr<FakeNudgeWriter> writer = std::make_shared<FakeNudgeWriter>();
    std::unique_ptr<SessionHarness> h;
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

    f.h->advance(7.9);
    EXPECT_TRUE(f.nudgeTimes.isEmpty());
    f.h->advance(0.1);
    ASSERT_EQ(f.nudgeTimes, QList<double>{t0 + 8});
    EXPECT_EQ(f.h->classifier->classifyCount(), 0);
    EXPECT_EQ(f.h->observer->captureCount(), 0);
    // Repeated hits are recorded each pass but announced once.
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit id=chat")), 1);
    EXPECT_EQ(f.session().pendingNudgeThief()->id, QStringLiteral("chat"));
    ASSERT_EQ(f.writer->calls().size(), 1);
    EXPECT_EQ(f.writer->calls()[0].work, QStringLiteral("Chatter"));
    EXPECT_EQ(f.writer->calls()[0].window, QStringLiteral("General channel"));

    // The shell takes the card away without an answer: the next fast nudge comes 30 seconds after this one.
    f.session().dismissNudge();
    f.h->advance(29.9);
    EXPECT_EQ(f.nudgeTimes.size(), 1);
    f.h->advance(0.1);
    EXPECT_EQ(f.nudgeTimes, (QList<double>{t0 + 8, t0 + 38}));
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

    // The judge still calls it a detour: the normal nudge comes 45 seconds after the first hit.
    for (int i = 0; i < 240 && f.nudgeTimes.isEmpty(); ++i)
        f.h->advance(0.25);
    ASSERT_EQ(f.nudgeTimes.size(), 1);
    EXPECT_GE(f.nudgeTimes[0], t0 + 45);
    EXPECT_LT(f.nudgeTimes[0], t0 + 50);
    EXPECT_FALSE(f.session().pendingNudgeThief().has_value());
}

TEST(FocusMode, ASiteOnTheBrowsersPageIsAHitUntilItIsAllowed) {
    FocusHarness f;
    f.h->observer->setPage(FrontmostPage{QStringLiteral("Firefox"), QStringLiteral("firefox"), 5,
                                         QStringLiteral("Funny clips"), QStringLiteral("https://m.videos.example/x")});
    f.start();
    f.h->advance(8);
    ASSERT_TRUE(f.session().pendingNudge());
    EXPECT_EQ(f.session().pendingNudgeThief()->id, QStringLiteral("video"));
    EXPECT_EQ(f.writer->calls().value(0).url, QStringLiteral("https://m.videos.example/x"));
    f.session().grantSessionPass();
    EXPECT_EQ(f.session().status(), QStringLiteral("VideoSite allowed for the rest of this session"));
    EXPECT_EQ(f.session().correctionsCount(), 1);

    // The allowed distraction is no hit any more: the pass goes on to an ordinary capture and judgment.
    f.h->logs.clear();
    f.h->advance(60);
    EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit")), 0);
    EXPECT_EQ(f.session().nudges(), 1);
    EXPECT_GT(f.h->observer->captureCount(), 0);
}

TEST(FocusMode, UnlistedPagesNoPageAndSessionsOutsideFocusModeAreNoHits) {
    for (const bool focusMode : {true, false}) {
        FocusHarness f;
        f.h->observer->setPage(focusMode ? FrontmostPage{QStringLiteral("Editor"), QStringLiteral("org.example.Editor"),
                                                         4242, QStringLiteral("Quarterly report"), QString()}
                                         : chatPage());
        f.start(focusMode);
        f.h->advance(20);
        f.h->observer->setPage(std::nullopt);
        f.h->advance(20);
        EXPECT_EQ(f.h->linesWith(QStringLiteral("Focus thief list hit")), 0) << focusMode;
        EXPECT_TRUE(f.nudgeTimes.isEmpty()) << focusMode;
        EXPECT_EQ(f.session().label(), ActivityRelevance::Relevant) << focusMode;
    }
}
