#include "tavrine/history/SessionSegmentClues.h"

#include <gtest/gtest.h>

using namespace tavrine;
using Detail = SessionTimeline::Segment::Detail;

namespace {

SessionTimeline::Segment segmentWith(QString app, QString host, QStringList titles) {
    SessionTimeline::Segment segment;
    segment.kind = SessionTimeline::Kind::Detour;
    segment.phrase = QStringLiteral("Browsed Reddit");
    segment.clues.app = std::move(app);
    segment.clues.host = std::move(host);
    segment.clues.titles = std::move(titles);
    segment.clues.captions = {QStringLiteral("never shown")};
    return segment;
}

} // namespace

TEST(SegmentClues, DetailRowsOfAnUnfoldedBlock) {
    EXPECT_TRUE(segmentDetails(segmentWith({}, {}, {QStringLiteral("Title")})).isEmpty());
    EXPECT_EQ(segmentDetails(segmentWith(QStringLiteral("Editor"), {}, {})),
              (QList<Detail>{{QStringLiteral("App"), QStringLiteral("Editor")}}));
    EXPECT_EQ(
        segmentDetails(segmentWith({}, QStringLiteral("reddit.com"), {QStringLiteral(""), QStringLiteral("Second")})),
        (QList<Detail>{{QStringLiteral("Page"), QStringLiteral("reddit.com")}}));
    EXPECT_EQ(segmentDetails(
                  segmentWith(QStringLiteral("Browser"), QStringLiteral("reddit.com"), {QStringLiteral("A thread")})),
              (QList<Detail>{{QStringLiteral("App"), QStringLiteral("Browser")},
                             {QStringLiteral("Page"), QStringLiteral("reddit.com - A thread")}}));
}

TEST(SegmentClues, ClockTextHasNoMarkerAndFollowsTheLocale) {
    const QDateTime evening(QDate(2024, 3, 5), QTime(21, 5), Qt::LocalTime);
    const QDateTime morning(QDate(2024, 3, 5), QTime(9, 5), Qt::LocalTime);
    EXPECT_EQ(clockText(evening, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("9:05"));
    EXPECT_EQ(clockText(evening, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("21:05"));
    EXPECT_EQ(clockText(morning, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("09:05"));
    EXPECT_EQ(clockText(morning, QLocale(QLocale::Finnish, QLocale::Finland)), QStringLiteral("9.05"));
    EXPECT_EQ(clockText(QDateTime(QDate(2024, 3, 5), QTime(0, 30), Qt::LocalTime),
                        QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("12:30"));
}

TEST(SegmentClues, CardTexts) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime start(QDate(2024, 3, 5), QTime(9, 50), Qt::LocalTime);
    SessionTimeline::Segment segment =
        segmentWith(QStringLiteral("Browser"), QStringLiteral("reddit.com"),
                    {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"), QStringLiteral("Four"),
                     QStringLiteral("Five")});
    segment.start = 480;
    segment.end = 840;

    SessionSegmentClues card(segment, start, 3, us);
    EXPECT_EQ(card.label(), QStringLiteral("Browsed Reddit"));
    EXPECT_EQ(card.timeText(), QStringLiteral("9:58\u201310:04 \u00B7 6m"));
    EXPECT_EQ(card.rows(),
              (QList<SessionSegmentClues::Row>{
                  {QStringLiteral("App"), {QStringLiteral("Browser")}},
                  {QStringLiteral("Site"), {QStringLiteral("reddit.com")}},
                  {QStringLiteral("Windows"), {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}},
              }));

    segment.intent = QStringLiteral("Checked replies");
    EXPECT_EQ(SessionSegmentClues(segment, start, 3, us).label(), QStringLiteral("Checked replies"));

    const SessionSegmentClues bare(segmentWith({}, {}, {}), start, 3, us);
    EXPECT_TRUE(bare.rows().isEmpty());
}
