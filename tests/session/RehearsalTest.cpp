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
        h->session->setOnNudge([this] { ++shown; });
        h->session->setOnDismissNudge([this] { ++hidden; });
    }
    FocusSession& session() { return *h->session; }
    bool startRehearsal(int minutes = 30) {
        return session().startRehearsal(QStringLiteral("Design the landing page for my app"), minutes, voice);
    }

    std::shared_ptr<FakeSpeaker> speaker = std::make_shared<FakeSpeaker>();
    std::shared_ptr<FakeSpeaker> voice = std::make_shared<FakeSpeaker>();
    std::unique_ptr<SessionHarness> h;
    int shown = 0;
    int hidden = 0;
};

ActivityEvidence stagedEvidence() {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Stage browser");
    evidence.bundle = QStringLiteral("stage");
    evidence.title = QStringLiteral("Video feed");
    return evidence;
}

} // namespace

TEST(Rehearsal, StartsOnlyWhenNothingElseRunsAndCountsDownToZero) {
    RehearsalHarness r;
    r.h->start();
    EXPECT_FALSE(r.startRehearsal());
    r.session().pause();
    EXPECT_FALSE(r.startRehearsal());
    r.session().stop(false);
    EXPECT_FALSE(r.session().rehearsalIntention().has_value());

    ASSERT_TRUE(r.startRehearsal(1));
    EXPECT_EQ(r.session().rehearsalIntention(), QStringLiteral("Design the landing page for my app"));
    EXPECT_FALSE(r.startRehearsal(5));
    EXPECT_EQ(r.session().remaining(), 60.0);
    EXPECT_EQ(r.session().phase(), SessionPhase::Idle);
    // The session's meter follows the rehearsal's voice.
    EXPECT_EQ(r.voice->meter(), &r.session().nudgeVoice());
    EXPECT_EQ(r.h->linesWith(QStringLiteral("Rehearsal started")), 1);

    r.h->advance(0.999);
    EXPECT_EQ(r.session().remaining(), 60.0);
    r.h->advance(0.001);
    EXPECT_EQ(r.session().remaining(), 59.0);
    r.h->advance(70);
    EXPECT_EQ(r.session().remaining(), 0.0);
    EXPECT_TRUE(r.session().rehearsalIntention().has_value());
    // No capture, no judging, no deadline.
    EXPECT_EQ(r.session().phase(), SessionPhase::Idle);
}

TEST(Rehearsal, TheNudgeIsVoicedByTheRehearsalAndEveryAnswerOnlyClosesIt) {
    RehearsalHarness r;
    int closed = 0;
    ASSERT_TRUE(r.startRehearsal());
    r.session().setOnRehearsalNudgeClosed([&closed] { ++closed; });
    r.session().setRehearsalTint(MenuBarSessionBackground::Unrelated);
    EXPECT_EQ(r.session().menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);

    for (int answer = 0; answer < 4; ++answer) {
        r.session().setRehearsalNudge(stagedEvidence(), QStringLiteral("Back to the landing page."));
        r.session().openNudge(std::nullopt, true);
        ASSERT_TRUE(r.session().pendingNudge().has_value());
        switch (answer) {
        case 0:
            r.session().acknowledgeNudge();
            break;
        case 1:
            r.session().returnToWork();
            break;
        case 2:
            r.session().grantSessionPass();
            break;
        default:
            r.session().pause();
        }
        EXPECT_FALSE(r.session().pendingNudge().has_value()) << answer;
        EXPECT_EQ(closed, answer + 1) << answer;
    }
    EXPECT_EQ(r.voice->requested().size(), 4);
    EXPECT_TRUE(r.speaker->requested().isEmpty());
    EXPECT_TRUE(r.h->observer->returnedTo().isEmpty());
    EXPECT_EQ(r.session().correctionsCount(), 0);
    EXPECT_EQ(r.session().phase(), SessionPhase::Idle);
    EXPECT_EQ(r.session().status(), QStringLiteral("Ready when you are"));
    // The script's tint stays: the engine leaves the menu-bar item to the rehearsal.
    EXPECT_EQ(r.session().menuBarSessionBackground(), MenuBarSessionBackground::Unrelated);
}

TEST(Rehearsal, EndingClosesTheNudgeWithoutTellingTheRehearsal) {
    RehearsalHarness r;
    r.session().endRehearsal();
    EXPECT_EQ(r.h->linesWith(QStringLiteral("Rehearsal ended")), 0);

    int closed = 0;
    ASSERT_TRUE(r.startRehearsal());
    r.session().setOnRehearsalNudgeClosed([&closed] { ++closed; });
    r.session().setRehearsalTint(MenuBarSessionBackground::DriftPending);
    r.session().setRehearsalNudge(stagedEvidence(), QStringLiteral("Back to the landing page."));
    r.session().openNudge();
    r.session().endRehearsal();
    EXPECT_FALSE(r.session().pendingNudge().has_value());
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(r.hidden, 1);
    EXPECT_EQ(r.session().remaining(), 0.0);
    EXPECT_EQ(r.session().menuBarSessionBackground(), MenuBarSessionBackground::None);
    EXPECT_FALSE(r.session().rehearsalIntention().has_value());
    EXPECT_EQ(r.h->linesWith(QStringLiteral("Rehearsal ended")), 1);
    // The countdown is gone, and the script's setters do nothing outside a rehearsal.
    r.h->advance(5);
    EXPECT_EQ(r.session().remaining(), 0.0);
    r.session().setRehearsalNudge(stagedEvidence(), QStringLiteral("x"));
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
    r.session().runDemoDrift();
    EXPECT_FALSE(r.session().pendingNudge().has_value());
    r.h->start();
    r.h->advance(10);
    const double t = r.h->clock.now();
    r.session().runDemoDrift();
    ASSERT_TRUE(r.session().pendingNudge().has_value());
    EXPECT_EQ(r.session().pendingNudge()->app, QStringLiteral("Example browser"));
    EXPECT_EQ(r.session().pendingNudgeReason(),
              QStringLiteral("Scrolling a social feed like the proposal will finish itself. Close it and finish the "
                             "pricing proposal for Acme."));
    EXPECT_EQ(r.session().nudges(), 1);
    EXPECT_EQ(r.speaker->requested(), QStringList{r.session().pendingNudgeReason()});
    EXPECT_EQ(r.session().lastDriftAt(), t);
    const auto& entries = FocusSessionProbe::activityLog(r.session()).entries;
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.last().mergeKey, QStringLiteral("detour|demo|social"));
    EXPECT_EQ(entries.last().phrase, QStringLiteral("Scrolled a social feed"));
    EXPECT_EQ(entries.last().startedAt, t - 300);
    EXPECT_EQ(entries.last().endedAt, t);

    // Each call adds another closed five-minute detour.
    r.session().acknowledgeNudge();
    r.h->advance(400);
    r.session().runDemoDrift();
    EXPECT_EQ(r.session().nudges(), 2);
    int demoEntries = 0;
    for (const SessionLogEntry& entry : entries)
        demoEntries += entry.mergeKey == QLatin1String("detour|demo|social") ? 1 : 0;
    EXPECT_EQ(demoEntries, 2);
    r.session().pause();
    r.session().runDemoDrift();
    EXPECT_EQ(r.session().nudges(), 2);
}
