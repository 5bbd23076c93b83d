#include "tavrine/history/SessionTimelineLayout.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;
using Kind = SessionTimeline::Kind;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

SessionTimeline timelineOf(std::initializer_list<std::tuple<Kind, double, double>> parts, double length) {
    QList<SessionTimeline::Segment> segments;
    for (const auto& [kind, start, end] : parts) {
        SessionTimeline::Segment s;
        s.kind = kind;
        s.start = start;
        s.end = end;
        segments.append(s);
    }
    return normaliseTimeline(segments, length);
}

QList<double> heights(const SessionTimelineLayout& layout) {
    QList<double> result;
    for (const auto& block : layout.blocks)
        result.append(block.height);
    return result;
}

void expectTiled(const SessionTimelineLayout& layout) {
    double y = 0;
    for (const auto& block : layout.blocks) {
        EXPECT_DOUBLE_EQ(block.y, y);
        y += block.height;
    }
    EXPECT_GE(layout.height, y - 1e-9);
}

QStringList labels(const QList<TimelineTick>& ticks) {
    QStringList result;
    for (const auto& tick : ticks)
        result.append(tick.label);
    return result;
}

SessionTimelineLayout::Block blockWith(double y, double height, ActivityClues clues) {
    SessionTimelineLayout::Block block;
    block.segment.id = 4;
    block.segment.clues = std::move(clues);
    block.y = y;
    block.height = height;
    return block;
}

} // namespace

TEST(TimelineLayout, EmptyTimelineTakesTheRequestedHeight) {
    const SessionTimelineLayout layout = layoutTimeline({}, 180);
    EXPECT_TRUE(layout.blocks.isEmpty());
    EXPECT_EQ(layout.height, 180);
}

TEST(TimelineLayout, ShortBlocksArePinnedAtTheirMinimum) {
    SessionTimelineLayout layout =
        layoutTimeline(timelineOf({{Kind::Related, 0, 600}, {Kind::Detour, 600, 660}}, 660), 100);
    EXPECT_EQ(heights(layout), (QList<double>{88, 12}));
    EXPECT_EQ(layout.height, 100);
    expectTiled(layout);

    // Pinning one block can push another under its minimum on the next pass.
    layout = layoutTimeline(
        timelineOf({{Kind::Related, 0, 1000}, {Kind::Detour, 1000, 1100}, {Kind::Pause, 1100, 1220}}, 1220), 100);
    EXPECT_EQ(heights(layout), (QList<double>{76, 12, 12}));
    expectTiled(layout);
}

TEST(TimelineLayout, GapsShrinkOrKeepThreePoints) {
    // A gap under 30 s is never pinned and shrinks to its share; one of 30 s or more keeps 3 pt.
    const SessionTimelineLayout layout = layoutTimeline(
        timelineOf({{Kind::Related, 0, 3000}, {Kind::Detour, 3020, 6000}, {Kind::Detour, 6040, 9040}}, 9040), 100);
    ASSERT_EQ(layout.blocks.size(), 5);
    EXPECT_EQ(layout.blocks[1].segment.kind, Kind::Gap);
    EXPECT_GT(layout.blocks[1].height, 0);
    EXPECT_LT(layout.blocks[1].height, 3);
    EXPECT_EQ(layout.blocks[3].height, 3);
    EXPECT_NEAR(layout.height, 100, 1e-9);
    expectTiled(layout);
}

TEST(TimelineLayout, NoRoomLeavesEveryBlockAtItsMinimum) {
    const SessionTimelineLayout layout = layoutTimeline(
        timelineOf({{Kind::Related, 0, 100}, {Kind::Detour, 110, 200}, {Kind::Pause, 300, 400}}, 400), 0);
    EXPECT_EQ(heights(layout), (QList<double>{12, 0, 12, 3, 12}));
    EXPECT_EQ(layout.height, 39);
    expectTiled(layout);
    EXPECT_EQ(layoutTimeline(timelineOf({{Kind::Related, 0, 100}}, 100), std::nan("")).height, 12);
}

TEST(TimelineLayout, SelectionGrowsByItsDetailRows) {
    ActivityClues two;
    two.app = QStringLiteral("Browser");
    two.host = QStringLiteral("example.org");
    ActivityClues one;
    one.app = QStringLiteral("Editor");

    SelectionExpansion expansion = selectionExpansion({blockWith(40, 28, two)}, 4, true);
    EXPECT_EQ(expansion.extra, 30);
    EXPECT_EQ(expansion.bottom, 68);
    expansion = selectionExpansion({blockWith(0, 20, one)}, 4, true);
    EXPECT_EQ(expansion.extra, 22);
    EXPECT_EQ(expansion.bottom, 20);
    // A block already taller than its unfolded content does not grow.
    EXPECT_EQ(selectionExpansion({blockWith(0, 200, one)}, 4, true).extra, 0);

    EXPECT_EQ(selectionExpansion({blockWith(0, 20, {})}, 4, true).extra, 0);
    EXPECT_EQ(selectionExpansion({blockWith(0, 20, one)}, 4, false), SelectionExpansion{});
    EXPECT_EQ(selectionExpansion({blockWith(0, 20, one)}, 5, true), SelectionExpansion{});
    EXPECT_EQ(selectionExpansion({blockWith(0, 20, one)}, std::nullopt, true), SelectionExpansion{});
}

TEST(TimelineTicks, StepAndSpacingFollowTheHeight) {
    // One hour in 300 pt: 5 pt a minute, so a 10-minute grid. The 9:10 mark would sit 15 pt under the start
    // label, less than the 16 pt kept between marks, so the first mark is 9:20.
    const QDateTime start(QDate(2024, 3, 5), QTime(9, 7), Qt::LocalTime);
    SessionTimeline timeline = timelineOf({{Kind::Related, 0, 3600}}, 3600);
    SessionTimelineLayout layout = layoutTimeline(timeline, 300);
    QList<TimelineTick> ticks = timelineTicks(layout.blocks, layout.height, timeline.length, start, us);
    EXPECT_EQ(labels(ticks), (QStringList{QStringLiteral("9:07"), QStringLiteral("9:20"), QStringLiteral("9:30"),
                                          QStringLiteral("9:40"), QStringLiteral("9:50"), QStringLiteral("10:00")}));
    EXPECT_EQ(ticks[0].y, 0);
    EXPECT_DOUBLE_EQ(ticks[1].y, 65);

    // A mark closer than 12 pt to the bottom is left out: started at 9:02, 10:00 would sit at 290 of 300.
    const QDateTime early(QDate(2024, 3, 5), QTime(9, 2), Qt::LocalTime);
    ticks = timelineTicks(layout.blocks, layout.height, timeline.length, early, us);
    EXPECT_EQ(labels(ticks).last(), QStringLiteral("9:50"));

    // Taller columns step in single minutes; a two-minute session in 1000 pt.
    timeline = timelineOf({{Kind::Related, 0, 120}}, 120);
    layout = layoutTimeline(timeline, 1000);
    const QDateTime onTheHour(QDate(2024, 3, 5), QTime(14, 0, 30), Qt::LocalTime);
    ticks = timelineTicks(layout.blocks, layout.height, timeline.length, onTheHour, us);
    EXPECT_EQ(labels(ticks), (QStringList{QStringLiteral("2:00"), QStringLiteral("2:01"), QStringLiteral("2:02")}));
}

TEST(TimelineTicks, OnlyTheStartWithoutALength) {
    const QDateTime start(QDate(2024, 3, 5), QTime(21, 5), Qt::LocalTime);
    for (double length : {0.0, -10.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        const QList<TimelineTick> ticks = timelineTicks({}, 300, length, start, us);
        ASSERT_EQ(ticks.size(), 1);
        EXPECT_EQ(ticks[0].label, QStringLiteral("9:05"));
    }
}
