#include "fakes/FakeSpeaker.h"
#include "session/SessionHarness.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

// A session with a speaker of its own, and the rehearsal's recorded voice beside it.
struct RehearsalHarness {
    explicit RehearsalHarness(bool demo = false) {
        SessionServices services;
        services.speaker = speaker;
        h = std::make_unique<SessionHarness>(services, demo);
        h->session->setOnDismissNudge([this] { ++hidden; });
        h->session->setOnRehearsalNudgeClosed([this] { ++closed; });
    }
    FocusSession& session() { return *h->session; }
    bool startRehearsal(int minutes = 30) {
        return session().startRehearsal(QStringLiteral("Design the landing page for my app"), minutes, voice);
    }
    void openStagedNudge() {
        ActivityEvidence staged;
        staged.app = QStringLiteral("Stage browser");
        staged.bundle = QStringLiteral("stage");
        session().setRehearsalNudge(staged, QStringLiteral("Back to the landing page."));
        session().openNudge(std::nullopt, true);
    }

    std::shared_ptr<FakeSpeaker> speaker = std::make_shared<FakeSpeaker>();
    std::shared_ptr<FakeSpeaker> voice = std::make_shared<FakeSpeaker>();
    std::unique_ptr<SessionHarness> h;
    int hidden = 0;
    int closed = 0;
};

} // namespace

TEST(Rehearsal, StartsOnlyWhenNothingElseRunsAndCountsDownWithoutWatching) {
    RehearsalHarness r;
    r.h->start();
    EXPECT_FALSE(r.startRehearsal());
    r.session().pause();
    EXPECT_FALSE(r.startRehearsal());
    r.session().stop(false);

    ASSERT_TRUE(r.startRehearsal(1));
    EXPECT_FALSE(r.startRehearsal(5));
    // The session's meter follows the rehearsal's voice.
    EXPECT_EQ(r.voice->meter(), &r.session().nudgeVoice());
    const int captures = r.h->observer->captureCount();
    r.h->advance(1);
    EXPECT_EQ(r.session().remaining(), 59.0);
    r.h->advance(70);
    EXPECT_EQ(r.session().remaining(), 0.0);
    EXPECT_EQ(r.session().phase(), SessionPhase::Idle);
    EXPECT_EQ(r.h->observer->captureCount(), captures);
}

TEST(Rehearsal, EveryAnswerOnlyClosesTheNudgeAndEndingClosesItQuietly) {
    RehearsalHarness r;
    ASSERT_TRUE(r.startRehearsal());
    r.session().setRehearsalTint(MenuBarSessionBackground::Unrelated);
    for (int answer = 0; answer < 4; ++answer) {
        r.openStagedNudge();
        ASSERT_TRUE(r.session().pendingNudge().has_value());
        if (answer == 0)
            r.session().acknowledgeNudge();
        else if (answer == 1)
            r.session().returnToWork();
        else if (answer == 2)
            r.session().grantSessionPass();
        else
            r.session().pause();
        EXPECT_FALSE(r.session().pendingNudge().has_value()) << answer;
        EXPECT_EQ(r.closed, answer + 1) << answer;
    }
    EXPECT_EQ(r.voice->requested().size(), 4);
    EXPECT_TRUE(r.speaker->requested().isEmpty());
    EXPECT_TRUE(r.h->observer->returnedTo().isEmpty());
    EXPECT_EQ(r.session().correctionsCount(), 0);
    EXPECT_EQ(r.session().phase(), SessionPhase::Idle);
    // The script's tint stays: the engine leaves the menu-bar item to the rehearsal.
    EXPECT_EQ(r.session().menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);

    // Ending closes the nudge without telling the rehearsal; the script's setters then do nothing.
    r.openStagedNudge();
    const int hidden = r.hidden;
    r.session().endRehearsal();
    EXPECT_FALSE(r.session().pendingNudge().has_value());
    EXPECT_EQ(r.closed, 4);
    EXPECT_EQ(r.hidden, hidden + 1);
    r.h->advance(5);
    EXPECT_EQ(r.session().remaining(), 0.0);
    r.openStagedNudge();
    r.session().setRehearsalTint(MenuBarSessionBackground::Unrelated);
    EXPECT_FALSE(r.session().pendingNudge().has_value());
    EXPECT_EQ(r.session().menuBarSessionBackground(), MenuBarSessionBackground::None);
}

TEST(DemoDrift, FabricatesAFiveMinuteDetourAndItsNudgeInARunningDemoSession) {
    RehearsalHarness plain;
    plain.h->start();
    plain.session().runDemoDrift();
    EXPECT_FALSE(plain.session().pendingNudge().has_value());

    RehearsalHarness r(true);
    r.h->start();
    r.h->advance(10);
    const double t = r.h->clock.now();
    r.session().runDemoDrift();
    ASSERT_TRUE(r.session().pendingNudge().has_value());
    EXPECT_EQ(r.speaker->requested(), QStringList{r.session().pendingNudgeReason()});
    EXPECT_EQ(r.session().lastDriftAt(), t);
    const auto& entries = r.session().activityLog().entries;
    EXPECT_EQ(entries.last().mergeKey, QStringLiteral("detour|demo|social"));
    EXPECT_EQ(entries.last().startedAt, t - 300);
    EXPECT_EQ(entries.last().endedAt, t);

    // Each call adds another closed five-minute detour; a paused session gets none.
    r.session().acknowledgeNudge();
    r.h->advance(400);
    r.session().runDemoDrift();
    EXPECT_EQ(r.session().nudges(), 2);
    r.session().pause();
    r.session().runDemoDrift();
    EXPECT_EQ(r.session().nudges(), 2);
    // Demo mode neither captures nor judges.
    EXPECT_EQ(r.h->observer->captureCount(), 0);
}
