#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "fakes/FakeSpeaker.h"
#include "session/SessionHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;
using Beat = OnboardingRehearsal::Beat;

namespace {

// A real session on virtual time and a rehearsal on the same clock, with what reaches the screen recorded.
struct Stage {
    explicit Stage(bool voiced = false) {
        if (voiced)
            rehearsal = std::make_unique<OnboardingRehearsal>(h.clock, [this] { return voice; });
        else
            rehearsal = std::make_unique<OnboardingRehearsal>(h.clock);
        h.session->setOnNudge([this] { shownReasons << h.session->pendingNudgeReason(); });
        QObject::connect(h.session.get(), &FocusSession::menuBarSessionBackgroundChanged,
                         [this] { tints.push_back(h.session->menuBarSessionBackground()); });
        rehearsal->setOnBeat([this](Beat beat) { beats.push_back(beat); });
    }
    bool start() {
        return rehearsal->start(h.session.get(), [this] { ++ends; });
    }
    // Plays until `beat` begins, answering every beat before it as the user would.
    void playTo(Beat beat) {
        h.advance(0);
        for (int guard = 0; rehearsal->beat() != beat && guard < 100; ++guard) {
            rehearsal->answerNext();
            rehearsal->answerVideoActivated();
            if (rehearsal->beat() == Beat::Nudged)
                h.session->dismissNudge();
            h.advance(rehearsal->beat() == Beat::Drifting ? OnboardingRehearsal::driftHold : 0.04);
        }
        ASSERT_EQ(rehearsal->beat(), beat);
    }

    SessionHarness h;
    std::shared_ptr<FakeSpeaker> voice = std::make_shared<FakeSpeaker>();
    std::unique_ptr<OnboardingRehearsal> rehearsal;
    QStringList shownReasons;
    std::vector<MenuBarSessionBackground> tints;
    std::vector<Beat> beats;
    int ends = 0;
};

} // namespace

class UnansweredRun : public ::testing::TestWithParam<double> {};

TEST_P(UnansweredRun, WalksEveryBeatOnItsHoldsAndEndsTheSessionsRehearsal) {
    const double pace = GetParam();
    Stage s;
    s.rehearsal->setPace(pace);
    ASSERT_TRUE(s.start());
    // The first beat comes after start returned.
    EXPECT_TRUE(s.rehearsal->entered().isEmpty());
    EXPECT_EQ(s.h.session->rehearsalIntention(), OnboardingRehearsal::intention);
    s.h.advance(0);
    ASSERT_EQ(s.rehearsal->entered().size(), 1);
    const double total = 1085 * pace;
    s.h.advance(total - 0.01);
    EXPECT_EQ(s.ends, 0);
    EXPECT_TRUE(s.rehearsal->isRunning());
    s.h.advance(0.02);
    EXPECT_EQ(s.ends, 1);
    EXPECT_FALSE(s.rehearsal->isRunning());

    const QList<OnboardingRehearsal::Entry> entered = s.rehearsal->entered();
    ASSERT_EQ(entered.size(), 7);
    const double holds[] = {180, 180, 5, 180, 180, 180};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(entered[i].beat, Beat(i));
        EXPECT_NEAR(entered[i + 1].at - entered[i].at, holds[i] * pace, 1e-6) << i;
    }
    EXPECT_EQ(s.beats, (std::vector<Beat>{Beat::Working, Beat::Tempted, Beat::Drifting, Beat::Nudged, Beat::Returned,
                                          Beat::Researching, Beat::Finished}));
    EXPECT_EQ(s.tints, (std::vector<MenuBarSessionBackground>{
                           MenuBarSessionBackground::Relevant, MenuBarSessionBackground::Unrelated,
                           MenuBarSessionBackground::Relevant, MenuBarSessionBackground::None}));
    ASSERT_EQ(s.shownReasons, QStringList{OnboardingRehearsal::nudgeText});
    EXPECT_EQ(s.rehearsal->beat(), Beat::Finished);
    EXPECT_FALSE(s.h.session->rehearsalIntention().has_value());
    EXPECT_FALSE(s.h.session->pendingNudge().has_value());
}

INSTANTIATE_TEST_SUITE_P(Paces, UnansweredRun, ::testing::Values(1.0, 0.35));

TEST(OnboardingRehearsal, EachAnswerEndsOnlyTheBeatsItBelongsTo) {
    struct Case {
        Beat beat;
        bool next;
        bool video;
    };
    const Case cases[] = {{Beat::Working, true, false}, {Beat::Tempted, false, true},  {Beat::Drifting, false, false},
                          {Beat::Nudged, false, false}, {Beat::Returned, true, false}, {Beat::Researching, true, false},
                          {Beat::Finished, true, false}};
    for (const Case& c : cases) {
        for (int source = 0; source < 2; ++source) {
            Stage s;
            ASSERT_TRUE(s.start());
            s.playTo(c.beat);
            if (source == 0)
                s.rehearsal->answerNext();
            else
                s.rehearsal->answerVideoActivated();
            EXPECT_EQ(s.rehearsal->answered(), source == 0 ? c.next : c.video) << int(c.beat) << " " << source;
        }
    }
}

TEST(OnboardingRehearsal, DriftingIgnoresAnswersAndTheNudgeIsAnsweredByItsClose) {
    Stage s;
    ASSERT_TRUE(s.start());
    s.playTo(Beat::Drifting);
    const double began = s.h.clock.now();
    s.rehearsal->answerNext();
    s.h.advance(4.9);
    EXPECT_EQ(s.rehearsal->beat(), Beat::Drifting);
    s.h.advance(0.1);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Nudged);
    EXPECT_DOUBLE_EQ(s.h.clock.now() - began, 5.0);
    EXPECT_FALSE(s.rehearsal->answered());
    ASSERT_TRUE(s.h.session->pendingNudge().has_value());
    EXPECT_EQ(s.h.session->pendingNudge()->app, QStringLiteral("Rehearsal"));
    // "Get back to work" closes the nudge, and its close answers the beat.
    s.h.session->dismissNudge();
    s.h.advance(0.04);
    EXPECT_EQ(s.rehearsal->beat(), Beat::Returned);
}

TEST(OnboardingRehearsal, ReturnedClosesAnOpenNudgeAndStillWaitsForItsOwnAnswer) {
    Stage s;
    ASSERT_TRUE(s.start());
    s.playTo(Beat::Nudged);
    s.h.advance(180);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Returned);
    EXPECT_FALSE(s.h.session->pendingNudge().has_value());
    EXPECT_FALSE(s.rehearsal->answered());
    s.h.advance(179);
    EXPECT_EQ(s.rehearsal->beat(), Beat::Returned);
    s.rehearsal->answerNext();
    s.h.advance(0.04);
    EXPECT_EQ(s.rehearsal->beat(), Beat::Researching);
}

TEST(OnboardingRehearsal, SkipWhileNudgedEndsOnceWithoutAnswering) {
    Stage s(true);
    ASSERT_TRUE(s.start());
    s.playTo(Beat::Nudged);
    ASSERT_TRUE(s.h.session->pendingNudge().has_value());
    s.rehearsal->skip();
    EXPECT_FALSE(s.rehearsal->answered());
    EXPECT_EQ(s.ends, 1);
    EXPECT_FALSE(s.h.session->rehearsalIntention().has_value());
    EXPECT_FALSE(s.h.session->pendingNudge().has_value());
    s.rehearsal->skip();
    s.rehearsal->finish();
    s.h.advance(400);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.rehearsal->entered().size(), 4);
    EXPECT_EQ(s.rehearsal->beat(), Beat::Nudged);
    // The voice was the rehearsal's, and it stopped with the nudge.
    EXPECT_EQ(s.voice->requested(), QStringList{OnboardingRehearsal::nudgeText});
    EXPECT_GE(s.voice->stops(), 1);
}

TEST(OnboardingRehearsal, SecondAndRefusedStartsChangeNothing) {
    Stage s;
    ASSERT_TRUE(s.start());
    s.h.advance(0);
    int other = 0;
    EXPECT_FALSE(s.rehearsal->start(s.h.session.get(), [&] { ++other; }));
    EXPECT_EQ(s.rehearsal->entered().size(), 1);
    s.rehearsal->skip();
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(other, 0);

    // A real session refuses the rehearsal: the model keeps its beat and entries.
    Stage busy;
    busy.h.start();
    const QList<OnboardingRehearsal::Entry> before = busy.rehearsal->entered();
    EXPECT_FALSE(busy.start());
    EXPECT_FALSE(busy.rehearsal->isRunning());
    EXPECT_EQ(busy.rehearsal->entered(), before);
    EXPECT_FALSE(busy.h.session->rehearsalIntention().has_value());
}

// The recorded voice is read ahead for the next start, once, and a start takes it whether made ahead or not.
TEST(OnboardingRehearsal, ASpeakerMadeAheadServesTheNextStartOnly) {
    SessionHarness h;
    QList<std::shared_ptr<FakeSpeaker>> made;
    OnboardingRehearsal rehearsal(h.clock, [&] {
        made << std::make_shared<FakeSpeaker>();
        return made.last();
    });
    rehearsal.prepareSpeaker();
    rehearsal.prepareSpeaker();
    ASSERT_EQ(made.size(), 1);
    // A refused start keeps it.
    h.start();
    EXPECT_FALSE(rehearsal.start(h.session.get(), [] {}));
    h.session->stop(false);
    EXPECT_EQ(made.size(), 1);
    ASSERT_TRUE(rehearsal.start(h.session.get(), [] {}));
    EXPECT_EQ(made.size(), 1);
    rehearsal.skip();
    // A start with none made ahead makes its own.
    ASSERT_TRUE(rehearsal.start(h.session.get(), [] {}));
    EXPECT_EQ(made.size(), 2);
    rehearsal.skip();
}

TEST(OnboardingRehearsal, OutOfRehearsalModeTheScriptWritesNothing) {
    Stage s;
    ASSERT_TRUE(s.start());
    s.h.advance(0);
    s.h.session->endRehearsal();
    s.tints.clear();
    s.h.advance(1085);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.beats.size(), 7u);
    EXPECT_TRUE(s.tints.empty());
    EXPECT_TRUE(s.shownReasons.isEmpty());
    EXPECT_FALSE(s.h.session->pendingNudge().has_value());
    EXPECT_EQ(s.h.session->pendingNudgeReason(), QString());
}

TEST(OnboardingRehearsal, EqualWritesStaySilent) {
    Stage s;
    QSignalSpy beats(s.rehearsal.get(), &OnboardingRehearsal::beatChanged);
    QSignalSpy drifts(s.rehearsal.get(), &OnboardingRehearsal::driftStartedChanged);
    ASSERT_TRUE(s.start());
    s.h.advance(1085);
    EXPECT_EQ(beats.count(), 6);
    EXPECT_EQ(drifts.count(), 1);
    // Again: back to working, then the same six changes; the new drift has a new time.
    ASSERT_TRUE(s.start());
    s.h.advance(1085);
    EXPECT_EQ(beats.count(), 13);
    EXPECT_EQ(drifts.count(), 2);
}

TEST(OnboardingRehearsal, EntriesKeepContinuousTimeWhenTheDateJumpsBack) {
    Stage s;
    ASSERT_TRUE(s.start());
    s.playTo(Beat::Tempted);
    s.h.clock.shiftDate(-3600);
    s.h.clock.sleepSystem(30);
    s.rehearsal->answerVideoActivated();
    s.h.advance(0.04);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Drifting);
    const auto& entered = s.rehearsal->entered();
    // The computer's nap counts, the hour set back does not.
    EXPECT_NEAR(entered[2].at - entered[1].at, 30.04, 1e-6);
    EXPECT_LT(entered[2].date, entered[1].date);
}

TEST(OnboardingRehearsal, BeatsFromRawValues) {
    EXPECT_EQ(OnboardingRehearsal::beatFromRaw(0), Beat::Working);
    EXPECT_EQ(OnboardingRehearsal::beatFromRaw(6), Beat::Finished);
    EXPECT_EQ(OnboardingRehearsal::beatFromRaw(7), std::nullopt);
    EXPECT_EQ(OnboardingRehearsal::beatFromRaw(-1), std::nullopt);
}
