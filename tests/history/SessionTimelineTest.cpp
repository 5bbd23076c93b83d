#include "tavrine/history/SessionTimeline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using Kind = SessionTimeline::Kind;
using Segment = SessionTimeline::Segment;

namespace {

Segment segment(Kind kind, double start, double end, QString phrase = {}) {
    Segment s;
    s.id = 99;
    s.kind = kind;
    s.start = start;
    s.end = end;
    s.phrase = std::move(phrase);
    return s;
}

// kind:start-end for each segment, to compare whole timelines at a glance.
QString shape(const SessionTimeline& timeline) {
    QStringList parts;
    for (const Segment& s : timeline.segments)
        parts.append(QStringLiteral("%1:%2-%3").arg(SessionTimeline::rawValue(s.kind)).arg(s.start).arg(s.end));
    return parts.join(QLatin1Char(' '));
}

void expectInvariants(const SessionTimeline& timeline) {
    double cursor = 0;
    for (qsizetype i = 0; i < timeline.segments.size(); ++i) {
        const Segment& s = timeline.segments[i];
        EXPECT_EQ(s.id, i);
        EXPECT_GT(s.end, s.start);
        EXPECT_GE(s.start, cursor);
        EXPECT_LT(s.start - cursor, timelineGapThreshold) << "an uncovered hole of a second or more";
        EXPECT_LE(s.end, timeline.length);
        cursor = s.end;
    }
    EXPECT_LT(timeline.length - cursor, timelineGapThreshold);
}

SessionLogEntry logEntry(SessionLogKind kind, double from, std::optional<double> to) {
    SessionLogEntry e;
    e.id = QUuid::createUuid();
    e.kind = kind;
    e.mergeKey = QStringLiteral("detour|app|chat");
    e.phrase = QStringLiteral("Used Chat");
    e.startedAt = from;
    e.endedAt = to;
    e.clues.app = QStringLiteral("Chat");
    return e;
}

} // namespace

TEST(Timeline, LengthAloneGivesOneGapOrNothing) {
    SessionTimeline timeline = normaliseTimeline({}, 600);
    EXPECT_EQ(shape(timeline), QStringLiteral("gap:0-600"));
    EXPECT_EQ(timeline.segments[0].id, 0);
    EXPECT_TRUE(normaliseTimeline({}, 0.5).segments.isEmpty());
    timeline = normaliseTimeline({}, -5);
    EXPECT_TRUE(timeline.segments.isEmpty());
    EXPECT_EQ(timeline.length, 0);
}

TEST(Timeline, NonFiniteValuesNeverReachTheResult) {
    for (double bad :
         {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        const SessionTimeline timeline = normaliseTimeline({segment(Kind::Related, 0, 100)}, bad);
        EXPECT_EQ(timeline.length, 0);
        EXPECT_TRUE(timeline.segments.isEmpty());

        const SessionTimeline withBadSegments = normaliseTimeline(
            {segment(Kind::Detour, bad, 50), segment(Kind::Related, 10, 40), segment(Kind::Pause, 60, bad)}, 100);
        EXPECT_EQ(shape(withBadSegments), QStringLiteral("gap:0-10 related:10-40 gap:40-100"));
    }
}

TEST(Timeline, SortsStablyAndResolvesOverlapsForTheEarlierStart) {
    const SessionTimeline timeline = normaliseTimeline({segment(Kind::Detour, 200, 300, QStringLiteral("late")),
                                                        segment(Kind::Related, 0, 120, QStringLiteral("first")),
                                                        segment(Kind::Pause, 0, 150, QStringLiteral("second")),
                                                        segment(Kind::Related, 10, 100, QStringLiteral("covered"))},
                                                       300);
    EXPECT_EQ(shape(timeline), QStringLiteral("related:0-120 pause:120-150 gap:150-200 detour:200-300"));
    EXPECT_EQ(timeline.segments[1].phrase, QStringLiteral("second"));
    EXPECT_EQ(timeline.segments[3].phrase, QStringLiteral("late"));
    expectInvariants(timeline);
}

TEST(Timeline, HolesOfASecondOrMoreBecomeGaps) {
    EXPECT_EQ(shape(normaliseTimeline({segment(Kind::Related, 0, 100), segment(Kind::Detour, 100.5, 200)}, 200)),
              QStringLiteral("related:0-100 detour:100.5-200"));
    EXPECT_EQ(shape(normaliseTimeline({segment(Kind::Related, 0, 100), segment(Kind::Detour, 101, 200)}, 200.9)),
              QStringLiteral("related:0-100 gap:100-101 detour:101-200"));
}

TEST(Timeline, ClipsToTheSessionAndRecomputesGaps) {
    const SessionTimeline timeline =
        normaliseTimeline({segment(Kind::Related, -10, 50), segment(Kind::Gap, 50, 550),
                           segment(Kind::Detour, 550, 700), segment(Kind::Detour, 650, 700)},
                          600);
    EXPECT_EQ(shape(timeline), QStringLiteral("related:0-50 gap:50-550 detour:550-600"));
    EXPECT_EQ(normaliseTimeline(timeline.segments, timeline.length), timeline) << "normalising twice changes nothing";
}

TEST(Timeline, FromLogEntries) {
    const double origin = 5000;
    // A 29.9 s stretch is left out; the rest is a gap.
    SessionTimeline timeline =
        timelineFromLogEntries({logEntry(SessionLogKind::Related, origin, origin + 29.9)}, origin, origin + 600);
    EXPECT_EQ(shape(timeline), QStringLiteral("gap:0-600"));
    EXPECT_FALSE(timelineHasActivity(timeline));

    timeline = timelineFromLogEntries({logEntry(SessionLogKind::Related, origin, origin + 30),
                                       logEntry(SessionLogKind::Pause, origin + 30, origin + 45),
                                       logEntry(SessionLogKind::Detour, origin + 100, std::nullopt)},
                                      origin, origin + 400);
    EXPECT_EQ(shape(timeline), QStringLiteral("related:0-30 gap:30-100 detour:100-400"));
    EXPECT_TRUE(timelineHasActivity(timeline));
    const Segment& detour = timeline.segments[2];
    EXPECT_EQ(detour.key, QStringLiteral("detour|app|chat"));
    EXPECT_EQ(detour.phrase, QStringLiteral("Used Chat"));
    EXPECT_EQ(detour.clues.app, QStringLiteral("Chat"));
    EXPECT_TRUE(detour.intent.isEmpty());
    expectInvariants(timeline);
}
