#include "tavrine/core/ManualClock.h"
#include "tavrine/history/SessionTimeline.h"
#include "tavrine/onboarding/CoachCopy.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/nudge/NudgeMotion.h"
#include "tavrine/onboarding/Scenery.h"
#include "tavrine/onboarding/SceneryStates.h"

#include <QEasingCurve>
#include <QSignalSpy>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using namespace tavrine::onboarding;
using B = RehearsalBeat;
using E = CoachElement;

namespace {

SessionTimeline::Segment segment(SessionTimeline::Kind kind, double start, double end) {
    SessionTimeline::Segment s;
    s.kind = kind;
    s.start = start;
    s.end = end;
    s.phrase = QStringLiteral("Designed the landing page");
    return s;
}

} // namespace

TEST(CoachCopy, ContentOfEveryBeat) {
    struct Row {
        B beat;
        const char16_t* title;
        E element;
        const char* button;
        const char16_t* prompt;
    };
    const Row rows[] = {
        {B::Working, u"This is you, at work", E::nextButton, "Next", u""},
        {B::Tempted, u"Now get distracted", E::prompt, "", u"Click the video to play it"},
        {B::Drifting, u"The tray icon turned red", E::driftCounter, "", u""},
        {B::Nudged, u"This is a nudge", E::prompt, "", u"Click \u201CGet back to work\u201D on the nudge"},
        {B::Returned, u"Back on task", E::nextButton, "Next", u""},
        {B::Researching, u"Same site, different video", E::nextButton, "Next", u""},
        {B::Finished, u"That\u2019s Tavrine", E::nextButton, "Continue", u""},
    };
    for (const Row& row : rows) {
        const CoachContent c = coachContent(row.beat);
        SCOPED_TRACE(static_cast<int>(row.beat));
        EXPECT_EQ(c.title, QString::fromUtf16(row.title));
        EXPECT_EQ(c.element, row.element);
        EXPECT_EQ(c.buttonTitle, QString::fromLatin1(row.button));
        EXPECT_EQ(c.prompt, QString::fromUtf16(row.prompt));
        EXPECT_FALSE(coachBody(row.beat).isEmpty());
    }
}

// Only the working body knows where the tray is.
TEST(CoachCopy, OnlyTheWorkingBodyNamesTheTraysEdge) {
    EXPECT_TRUE(coachBody(B::Working).startsWith(QStringLiteral("Look at the top of the screen.")));
    EXPECT_TRUE(coachBody(B::Working, Qt::BottomEdge).startsWith(QStringLiteral("Look at the bottom of the screen.")));
    EXPECT_EQ(coachBody(B::Returned, Qt::BottomEdge), coachBody(B::Returned));
}

TEST(CoachCopy, DriftCountFollowsTheClock) {
    struct Row {
        double t, pace;
        int count;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {2.25, 1, 22}, {-1, 1, 0}, {nan, 1, 0}, {1, 0, 45}, {1, -2, 45}, {10, 1, 45}, {4.5, 1, 45},
        {4.49, 1, 44}, {0, 1, 0}, {1.575, 0.35, 45}, {1, nan, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.t << " pace " << row.pace);
        EXPECT_EQ(driftCount(driftFraction(100, 100 + row.t, row.pace)), row.count);
    }
    EXPECT_EQ(driftCounterText(22), QStringLiteral("22 of 45 seconds \u00B7 sped up"));
}

TEST(CoachCopy, CounterRunsGiveEachDigitItsCell) {
    const QVariantList runs = textRuns(QStringLiteral("12 of 45 s"));
    QStringList texts;
    int digits = 0;
    for (const QVariant& run : runs) {
        texts << run.toMap().value("text").toString();
        digits += run.toMap().value("digit").toBool();
    }
    EXPECT_EQ(texts, (QStringList{"1", "2", " of ", "4", "5", " s"}));
    EXPECT_EQ(digits, 4);
}

TEST(CoachCopy, StoryBars) {
    auto fills = [](B beat, bool running, double progress) {
        QList<double> out;
        for (int bar = 0; bar < rehearsalBeatCount; ++bar)
            out << storyBarFill(bar, beat, running, progress);
        return out;
    };
    EXPECT_EQ(fills(B::Working, false, 0), (QList<double>{1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fills(B::Finished, false, 0), (QList<double>{1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(fills(B::Drifting, true, 0.5), (QList<double>{1, 1, 0.5, 0, 0, 0, 0}));
    // Drifting without a start: the current bar is whole.
    EXPECT_EQ(fills(B::Drifting, false, 0.5), (QList<double>{1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(storyStepLabel(B::Working), QStringLiteral("Step 1 of 7"));
    EXPECT_EQ(storyStepLabel(B::Finished), QStringLiteral("Step 7 of 7"));
}

TEST(CoachCopy, TimelineShowsOnlyWithActivity) {
    using K = SessionTimeline::Kind;
    const SessionTimeline empty;
    const SessionTimeline gaps{{segment(K::Gap, 0, 5)}, 5};
    const SessionTimeline run = normaliseTimeline(
        {segment(K::Related, 0, 4), segment(K::Detour, 4, 9), segment(K::Related, 9, 12)}, 12);
    EXPECT_FALSE(showsTimeline(B::Finished, true, empty));
    EXPECT_FALSE(showsTimeline(B::Finished, true, gaps));
    EXPECT_TRUE(showsTimeline(B::Finished, true, run));
    EXPECT_FALSE(showsTimeline(B::Finished, false, run));
    EXPECT_FALSE(showsTimeline(B::Researching, true, run));
}

// Qt 6.4 gives a BezierSpline easing room for ten segments and writes past it on the first animation with more,
// inside Qt where the sanitizer does not look: the release build then aborted in malloc on the next beat change.
// The curves the scenery animates with stay within ten and still trace their motion.
TEST(Scenery, EasingCurvesFitQtsSplineAndTraceTheirMotion) {
    constexpr nudge::SpringMotion spring{0.6, 0.84};
    const double settling = spring.settlingTime();
    EXPECT_NEAR(Scenery::beatSpringDuration(), settling * 1000, 1);
    struct Row {
        const char* name;
        QVariantList curve;
        std::function<double(double)> motion;
        double tolerance;
    };
    const Row rows[] = {
        {"beat spring", Scenery::beatSpringCurve(), [&](double x) { return spring.valueAt(x * settling); }, 0.003},
        {"ease in-out", Scenery::easeInOut(), [](double x) { return nudge::kEaseInOut.valueAt(x); }, 0.001},
        {"ease out", Scenery::easeOut(), [](double x) { return nudge::kEaseOut.valueAt(x); }, 0.001},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.curve.isEmpty());
        ASSERT_EQ(row.curve.size() % 6, 0);
        ASSERT_LE(row.curve.size() / 6, Scenery::maxBezierSegments);
        EXPECT_DOUBLE_EQ(row.curve.at(row.curve.size() - 2).toDouble(), 1.0);
        EXPECT_DOUBLE_EQ(row.curve.last().toDouble(), 1.0);
        // Built the way QML builds easing.bezierCurve.
        QEasingCurve easing(QEasingCurve::BezierSpline);
        for (qsizetype i = 0; i < row.curve.size(); i += 6) {
            const auto at = [&](qsizetype k) { return row.curve.at(i + k).toDouble(); };
            easing.addCubicBezierSegment(QPointF(at(0), at(1)), QPointF(at(2), at(3)), QPointF(at(4), at(5)));
        }
        for (int step = 0; step <= 200; ++step) {
            const double x = step / 200.0;
            EXPECT_NEAR(easing.valueForProgress(x), row.motion(x), row.tolerance) << "at " << x;
        }
    }
}

TEST(SceneryStates, PointerOnTemptedAndNudged) {
    const PointerState tempted = pointerState(B::Tempted);
    EXPECT_TRUE(tempted.onTask);
    EXPECT_EQ(tempted.label, QStringLiteral("Green: on task"));
    EXPECT_EQ(tempted.accessibleLabel, QStringLiteral("The tray icon is green: on task"));
    EXPECT_EQ(tempted.opacity, 1);
    const PointerState nudged = pointerState(B::Nudged);
    EXPECT_FALSE(nudged.onTask);
    EXPECT_EQ(nudged.accessibleLabel, QStringLiteral("The tray icon is red: drifting"));
    EXPECT_EQ(nudged.opacity, 0);
    EXPECT_EQ(pointerState(B::Drifting).opacity, 1);
}

TEST(SceneryStates, PageTables) {
    const int progress[] = {0, 0, 0, 0, 1, 1, 2};
    for (int raw = 0; raw < rehearsalBeatCount; ++raw) {
        const DesignPageState s = designPageState(static_cast<B>(raw));
        EXPECT_EQ(s.progress, progress[raw]) << raw;
        EXPECT_EQ(s.features, raw >= 4) << raw;
        EXPECT_EQ(s.reviews, raw == 6) << raw;
        EXPECT_EQ(s.headlineSelected, raw < 4) << raw;
    }
    struct Row {
        int progress;
        bool headline, features, featuresSelected, review;
    };
    const Row rows[] = {{-1, false, false, false, false}, {0, true, false, false, false},
                        {1, false, true, true, false},    {2, false, true, false, true},
                        {3, false, true, false, true}};
    for (const Row& row : rows) {
        const LandingPageParts p = landingPageParts(row.progress);
        SCOPED_TRACE(row.progress);
        EXPECT_EQ(p.headlineSelected, row.headline);
        EXPECT_EQ(p.featureRow, row.features);
        EXPECT_EQ(p.featureRowSelected, row.featuresSelected);
        EXPECT_EQ(p.review, row.review);
    }
}

TEST(CoachModel, CountsOnTheRehearsalClockOnlyWhileDrifting) {
    ManualClock clock;
    CoachModel model;
    model.setClock(&clock);
    QSignalSpy progress(&model, &CoachModel::progressChanged);
    model.setBeat(static_cast<int>(B::Drifting));
    EXPECT_FALSE(model.counting());
    EXPECT_FALSE(model.showsCounter());
    EXPECT_EQ(model.barFills().at(2).toDouble(), 1.0);

    model.setDriftStarted(clock.date());
    EXPECT_TRUE(model.counting());
    clock.advance(2.25);
    model.tick();
    EXPECT_EQ(model.driftCount(), 22);
    EXPECT_DOUBLE_EQ(model.barFills().at(2).toDouble(), 0.5);
    // Time stands still: a frame changes nothing.
    progress.clear();
    model.tick();
    EXPECT_EQ(progress.count(), 0);
    // A frame moves the bars; the count changes only on a whole second (22.5 → 22.9 → 23.5).
    QSignalSpy count(&model, &CoachModel::countChanged);
    clock.advance(0.04);
    model.tick();
    EXPECT_EQ(progress.count(), 1);
    EXPECT_EQ(count.count(), 0);
    clock.advance(0.06);
    model.tick();
    EXPECT_EQ(progress.count(), 2);
    EXPECT_EQ(count.count(), 1);
    EXPECT_EQ(model.driftCount(), 23);

    clock.advance(60);
    model.tick();
    EXPECT_EQ(model.driftCount(), 45);
    model.setBeat(static_cast<int>(B::Nudged));
    EXPECT_FALSE(model.counting());
    EXPECT_EQ(model.title(), QStringLiteral("This is a nudge"));
    EXPECT_EQ(model.counterLabel(), QStringLiteral("45 seconds of drift, sped up"));
}
