#include "tavrine/historyview/RecapText.h"

#include <QTextDocument>
#include <gtest/gtest.h>

using namespace tavrine;
using Kind = SessionTimeline::Kind;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);
const QTimeZone berlin("Europe/Berlin");

SessionSummary::Detour detour(QString phrase, double seconds, QDateTime firstAt = {}) {
    SessionSummary::Detour d;
    d.key = QStringLiteral("detour|host|") + phrase;
    d.phrase = std::move(phrase);
    d.seconds = seconds;
    d.firstAt = std::move(firstAt);
    return d;
}

SessionTimeline::Segment segment(Kind kind, double start, double end) {
    SessionTimeline::Segment s;
    s.kind = kind;
    s.start = start;
    s.end = end;
    return s;
}

} // namespace

TEST(RecapText, HeaderDateInTheLocalesOrder) {
    const QDateTime start(QDate(2024, 12, 6), QTime(9, 41), berlin);
    QString en = recapHeaderDate(start, english, berlin);
    en.replace(QChar(0x202F), QLatin1Char(' '));
    EXPECT_EQ(en, QStringLiteral("DEC 6 \u00B7 9:41 AM"));
    EXPECT_EQ(recapHeaderDate(start, german, berlin), QStringLiteral("6 DEZ. \u00B7 09:41"));
}

TEST(RecapText, MinutesStatusAndRows) {
    EXPECT_EQ(recapMinutesText(25 * 60), QStringLiteral("25 min"));
    EXPECT_EQ(recapMinutesText(30), QStringLiteral("1 min"));
    EXPECT_EQ(recapMinutesText(119), QStringLiteral("1 min"));
    EXPECT_EQ(recapMinutesText(std::nan("")), QStringLiteral("1 min"));
    EXPECT_EQ(recapStatusText(true), QStringLiteral("LOCKED IN"));
    EXPECT_EQ(recapStatusText(false), QStringLiteral("LOCKED IN \u00B7 ENDED EARLY"));
    EXPECT_EQ(recapDetoursValue(0, 0), QStringLiteral("0\u00D7"));
    EXPECT_EQ(recapDetoursValue(3, 240), QStringLiteral("3\u00D7 \u00B7 4m"));

    SessionSummary summary;
    summary.longestStreak = 3900;
    EXPECT_EQ(recapRows(summary), (QList<RecapRow>{{QStringLiteral("The thing"), QStringLiteral("Focus mode")},
                                                   {QStringLiteral("Longest streak"), QStringLiteral("1h 5m")},
                                                   {QStringLiteral("Detours"), QStringLiteral("0\u00D7")}}));
}

TEST(RecapText, TheCalloutNamesTheBiggestDetourAndTheRowsTheOthers) {
    SessionSummary summary;
    EXPECT_TRUE(recapFurtherDetours(summary).isEmpty());
    EXPECT_EQ(recapCalloutParts(summary.topDetours, english, berlin),
              (QList<RecapCalloutPart>{{QStringLiteral("Not a single wander. "), false},
                                       {QStringLiteral("Who are you?"), true}}));

    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7), berlin);
    summary.topDetours = {detour(QStringLiteral("Scrolled the feed"), 725, at),
                          detour(QStringLiteral("TV listings"), 45), detour(QStringLiteral("Mail"), 30)};
    const auto rows = recapFurtherDetours(summary);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].phrase, QStringLiteral("TV listings"));
    EXPECT_EQ(rows[0].duration, QStringLiteral("45s"));
    EXPECT_EQ(rows[1].key, summary.topDetours[2].key);
    EXPECT_EQ(recapCalloutParts(summary.topDetours, german, berlin),
              (QList<RecapCalloutPart>{{QStringLiteral("Caught you at 14:07: "), false},
                                       {QStringLiteral("scrolled the feed"), true},
                                       {QStringLiteral(" for 12m \U0001F440"), false}}));
}

TEST(RecapText, InlinePhrase) {
    const QList<std::pair<QString, QString>> cases = {
        {QString(), QString()},
        {QStringLiteral("Read the news"), QStringLiteral("read the news")},
        {QStringLiteral("TV listings"), QStringLiteral("TV listings")},
        {QStringLiteral("X"), QStringLiteral("x")},
        {QStringLiteral("\u00C9crit un mail"), QStringLiteral("\u00E9crit un mail")},
        {QStringLiteral("E\u0301MAIL"), QStringLiteral("E\u0301MAIL")}, // the second character is "M"
        {QStringLiteral("1st draft"), QStringLiteral("1st draft")},
    };
    for (const auto& [phrase, expected] : cases)
        EXPECT_EQ(inlinePhrase(phrase), expected) << phrase.toStdString();
}

TEST(RecapText, MarkupInAPhraseShowsLiterally) {
    const QList<RecapCalloutPart> parts = {{QStringLiteral("Caught you at 9:41: "), false},
                                           {QStringLiteral("<b>x</b> &amp; <img src=a>"), true}};
    const QString styled = recapCalloutStyledText(parts, QColor(85, 104, 200));
    EXPECT_FALSE(styled.contains(QStringLiteral("<img")));
    QTextDocument document;
    document.setHtml(styled);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("Caught you at 9:41: <b>x</b> &amp; <img src=a>"));
    EXPECT_TRUE(styled.contains(QStringLiteral("#5568c8")));
}

TEST(RecapText, StripBars) {
    SessionTimeline timeline;
    timeline.length = 3600;
    timeline.segments = {segment(Kind::Detour, 0, 1), segment(Kind::Related, 1, 1800), segment(Kind::Pause, 1800, 2000),
                         segment(Kind::Gap, 2000, 2400), segment(Kind::Detour, 3599, 3600)};
    const QList<RecapStripBar> bars = recapStripBars(timeline, 304);
    ASSERT_EQ(bars.size(), 3);
    EXPECT_EQ(bars[0].kind, Kind::Related); // related first, detours over it
    EXPECT_DOUBLE_EQ(bars[0].width, 1799 * 304.0 / 3600);
    EXPECT_EQ(bars[1].kind, Kind::Detour);
    EXPECT_DOUBLE_EQ(bars[1].x, 0);
    EXPECT_DOUBLE_EQ(bars[1].width, 1.5);             // a one-second detour in an hour stays visible
    EXPECT_DOUBLE_EQ(bars[2].x + bars[2].width, 304); // flush with the right end
    EXPECT_DOUBLE_EQ(bars[2].width, 1.5);

    timeline.length = 0;
    EXPECT_TRUE(recapStripBars(timeline, 304).isEmpty());
}
