#include "tavrine/onboarding/SampleTimeline.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using Beat = OnboardingRehearsal::Beat;
using Kind = SessionTimeline::Kind;

namespace {

QList<OnboardingRehearsal::Entry> entries(const QList<std::pair<Beat, double>>& beats, double dateShiftAfter = 1e9) {
    const QDateTime start(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC);
    QList<OnboardingRehearsal::Entry> result;
    for (const auto& [beat, at] : beats) {
        // The wall clock may be set back in between: the date then runs behind continuous time.
        const double shift = at >= dateShiftAfter ? -3600 : 0;
        result.append({beat, 5000 + at, start.addMSecs(qint64((at + shift) * 1000))});
    }
    return result;
}

struct Expected {
    Kind kind;
    double start;
    double end;
    QString phrase;
    QString key;
};

void expectSegments(const SessionTimeline& timeline, const QList<Expected>& expected) {
    ASSERT_EQ(timeline.segments.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto& segment = timeline.segments[i];
        EXPECT_EQ(segment.id, i);
        EXPECT_EQ(segment.kind, expected[i].kind) << i;
        EXPECT_DOUBLE_EQ(segment.start, expected[i].start) << i;
        EXPECT_DOUBLE_EQ(segment.end, expected[i].end) << i;
        EXPECT_EQ(segment.phrase, expected[i].phrase) << i;
        EXPECT_EQ(segment.key, expected[i].key) << i;
        EXPECT_TRUE(segment.intent.isEmpty());
        EXPECT_EQ(segment.clues, ActivityClues());
    }
}

const QString design = QStringLiteral("Designed the landing page");
const QString ramen = QStringLiteral("Watched a Tokyo ramen tour on YouTube");
const QString tutorial = QStringLiteral("Watched a landing page tutorial on YouTube");

} // namespace

TEST(SampleTimeline, ACompleteRunGivesWorkTheDetourTheReturnAndTheResearch) {
    // The hour set back during the detour moves no segment.
    for (const double shiftAfter : {1e9, 25.0}) {
        const auto timeline = sampleTimeline(entries({{Beat::Working, 0},
                                                      {Beat::Tempted, 12},
                                                      {Beat::Drifting, 20},
                                                      {Beat::Nudged, 25},
                                                      {Beat::Returned, 40},
                                                      {Beat::Researching, 52},
                                                      {Beat::Finished, 70}},
                                                     shiftAfter));
        expectSegments(timeline, {{Kind::Related, 0, 20, design, QStringLiteral("related|design")},
                                  {Kind::Detour, 20, 40, ramen, QStringLiteral("detour|video")},
                                  {Kind::Related, 40, 52, design, QStringLiteral("related|design")},
                                  {Kind::Related, 52, 70, tutorial, QStringLiteral("related|video")}});
        EXPECT_DOUBLE_EQ(timeline.length, 70);
    }
}

TEST(SampleTimeline, ASkippedRunEndsAtTheLastBeatBegun) {
    const auto timeline =
        sampleTimeline(entries({{Beat::Working, 0}, {Beat::Tempted, 9.5}, {Beat::Drifting, 14}}));
    expectSegments(timeline, {{Kind::Related, 0, 14, design, QStringLiteral("related|design")}});
    EXPECT_DOUBLE_EQ(timeline.length, 14);
}

TEST(SampleTimeline, OneEntryOrNoneGivesNoSegments) {
    const auto one = sampleTimeline(entries({{Beat::Working, 0}}));
    EXPECT_TRUE(one.segments.isEmpty());
    EXPECT_EQ(one.length, 0);
    EXPECT_EQ(sampleTimeline({}), SessionTimeline());
}
