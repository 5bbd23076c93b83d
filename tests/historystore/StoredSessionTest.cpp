#include "HistoryTestSupport.h"

#include "tavrine/historystore/StoredSession.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(StoredSession, FocusedMinutesAreWholeAndAtLeastOne) {
    StoredSession session;
    const std::pair<double, qint64> cases[] = {{0, 1}, {59, 1}, {119, 1}, {120, 2}, {3600, 60}, {-50, 1}};
    for (const auto& [seconds, minutes] : cases) {
        session.focusedSeconds = seconds;
        EXPECT_EQ(session.focusedMinutes(), minutes) << seconds;
    }
    session.focusedSeconds = std::nan("");
    EXPECT_EQ(session.focusedMinutes(), 1);
}

TEST(StoredSession, TimelineComesBackSortedWithGapsAndWithoutUnknownKinds) {
    StoredSession session;
    session.startedAt = sessionStart;
    session.endedAt = sessionStart.addSecs(600);
    auto stored = [](QString kind, int from, int to, QString phrase) {
        StoredSegment segment;
        segment.kind = std::move(kind);
        segment.startedAt = sessionStart.addSecs(from);
        segment.endedAt = sessionStart.addSecs(to);
        segment.phrase = std::move(phrase);
        segment.intent = QStringLiteral("intent of ") + segment.phrase;
        return segment;
    };
    session.segments = {stored(QStringLiteral("detour"), 300, 400, QStringLiteral("later")),
                        stored(QStringLiteral("Related"), 0, 100, QStringLiteral("unknown kind")),
                        stored(QStringLiteral("related"), 100, 200, QStringLiteral("earlier"))};
    const SessionTimeline timeline = session.timeline();
    ASSERT_EQ(timeline.segments.size(), 5);
    EXPECT_EQ(timeline.length, 600);
    EXPECT_EQ(timeline.segments[0].kind, SessionTimeline::Kind::Gap);
    EXPECT_EQ(timeline.segments[1].phrase, QStringLiteral("earlier"));
    EXPECT_EQ(timeline.segments[1].intent, QStringLiteral("intent of earlier"));
    EXPECT_EQ(timeline.segments[2].kind, SessionTimeline::Kind::Gap);
    EXPECT_EQ(timeline.segments[3].phrase, QStringLiteral("later"));
    EXPECT_EQ(timeline.segments[4].start, 400);
    EXPECT_EQ(timeline.segments[4].end, 600);
}

TEST(StoredSession, FromSummaryEndsAtTheTimelineLength) {
    SessionSummary summary = sampleSummary();
    summary.timeline.length = 1234.5;
    summary.focusedSeconds = std::nan("");
    const StoredSession session = StoredSession::fromSummary(QUuid::createUuid(), summary);
    EXPECT_EQ(session.endedAt, sessionStart.addMSecs(1'234'500));
    EXPECT_EQ(session.focusedSeconds, 0);
    EXPECT_EQ(session.segments.size(), 3);
}
