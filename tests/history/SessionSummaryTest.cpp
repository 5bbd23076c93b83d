#include "tavrine/history/SessionSummary.h"

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

constexpr double origin = 1000.0;

SessionLogEntry entry(SessionLogKind kind, QString key, double from, std::optional<double> to,
                      QString phrase = QStringLiteral("A phrase"), ActivityClues clues = {}) {
    SessionLogEntry e;
    e.id = QUuid::createUuid();
    e.kind = kind;
    e.mergeKey = std::move(key);
    e.phrase = std::move(phrase);
    e.startedAt = origin + from;
    if (to)
        e.endedAt = origin + *to;
    e.clues = std::move(clues);
    return e;
}

ActivityClues cluesOf(QString app, QString host, QStringList titles = {}) {
    ActivityClues clues;
    clues.app = std::move(app);
    clues.host = std::move(host);
    clues.titles = std::move(titles);
    return clues;
}

const QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

} // namespace

TEST(TopDetours, GroupsByKeyAcrossOtherEntries) {
    const QList<SessionLogEntry> detours = {
        entry(SessionLogKind::Detour, QStringLiteral("detour|host|reddit.com"), 100, 140,
              QStringLiteral("Read a thread"),
              cluesOf(QStringLiteral("Browser"), QStringLiteral("reddit.com"), {QStringLiteral("Thread one")})),
        entry(SessionLogKind::Detour, QStringLiteral("detour|host|reddit.com"), 300, 350, QStringLiteral("Read more"),
              cluesOf({}, {}, {QStringLiteral("thread  ONE"), QStringLiteral("Thread two")})),
    };
    const QList<SessionSummary::Detour> top = buildTopDetours(detours, start, origin, origin + 600);
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0].key, QStringLiteral("detour|host|reddit.com"));
    EXPECT_DOUBLE_EQ(top[0].seconds, 90);
    EXPECT_EQ(top[0].firstAt, start.addSecs(100));
    EXPECT_EQ(top[0].clues.titles, (QStringList{QStringLiteral("Thread one"), QStringLiteral("Thread two")}));
    // A host in the clues wins over the entries' written phrases.
    EXPECT_EQ(top[0].phrase, QStringLiteral("Browsed Reddit"));
}

TEST(TopDetours, OrderedBySecondsThenByFirstMeeting) {
    const QList<SessionLogEntry> detours = {
        entry(SessionLogKind::Detour, QStringLiteral("a"), 0, 100),
        entry(SessionLogKind::Detour, QStringLiteral("b"), 100, 400),
        entry(SessionLogKind::Detour, QStringLiteral("c"), 400, 700),
        entry(SessionLogKind::Detour, QStringLiteral("d"), 700, 750),
    };
    const QList<SessionSummary::Detour> top = buildTopDetours(detours, start, origin, origin + 800);
    ASSERT_EQ(top.size(), 4) << "all groups come back; the engine keeps three";
    EXPECT_EQ(top[0].key, QStringLiteral("b"));
    EXPECT_EQ(top[1].key, QStringLiteral("c"));
    EXPECT_EQ(top[2].key, QStringLiteral("a"));
    EXPECT_EQ(top[3].key, QStringLiteral("d"));
}

TEST(TopDetours, PhraseOfTheLongestEntryWithoutAppOrHost) {
    const QList<SessionLogEntry> detours = {
        entry(SessionLogKind::Detour, QStringLiteral("k"), 0, 40, QStringLiteral("First of equal")),
        entry(SessionLogKind::Detour, QStringLiteral("k"), 50, 90, QStringLiteral("Second of equal")),
        // Still open: runs to now. Its end before its start would add nothing.
        entry(SessionLogKind::Detour, QStringLiteral("open"), 500, std::nullopt, QStringLiteral("Open one"),
              cluesOf(QStringLiteral("Chat"), {})),
        entry(SessionLogKind::Detour, QStringLiteral("backwards"), 400, 300),
    };
    const QList<SessionSummary::Detour> top = buildTopDetours(detours, start, origin, origin + 560);
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0].key, QStringLiteral("k"));
    EXPECT_EQ(top[0].phrase, QStringLiteral("First of equal"));
    EXPECT_EQ(top[1].key, QStringLiteral("open"));
    EXPECT_DOUBLE_EQ(top[1].seconds, 60);
    EXPECT_EQ(top[1].phrase, QStringLiteral("Used Chat"));
    EXPECT_DOUBLE_EQ(top[2].seconds, 0);
}

TEST(LongestStreak, StretchesBetweenInterruptions) {
    EXPECT_DOUBLE_EQ(longestStreak({entry(SessionLogKind::Related, {}, 0, 500)}, origin, origin + 500), 500);

    EXPECT_DOUBLE_EQ(longestStreak({entry(SessionLogKind::Pause, {}, 100, 400)}, origin, origin + 500), 100);

    // A nested detour does not move the cursor back: 200..400 is the longest, not 60..400.
    EXPECT_DOUBLE_EQ(
        longestStreak({entry(SessionLogKind::Detour, {}, 10, 200), entry(SessionLogKind::Detour, {}, 50, 60)}, origin,
                      origin + 400),
        200);

    // Any interruption counts, however short, and an unsorted list is sorted first.
    EXPECT_DOUBLE_EQ(
        longestStreak({entry(SessionLogKind::Detour, {}, 700, 705), entry(SessionLogKind::Detour, {}, 300, 305)},
                      origin, origin + 1000),
        395);

    // An open break runs to now.
    EXPECT_DOUBLE_EQ(longestStreak({entry(SessionLogKind::Pause, {}, 250, std::nullopt)}, origin, origin + 900), 250);
}

TEST(Summary, DetourPhrasesReachOnlyDetours) {
    SessionSummary summary;
    summary.startedAt = start;
    summary.topDetours = {{QStringLiteral("detour|host|x.com"), QStringLiteral("Browsed X"), 90, start, {}}};
    SessionTimeline::Segment related;
    related.kind = SessionTimeline::Kind::Related;
    related.key = QStringLiteral("detour|host|x.com"); // a key shared by accident changes nothing here
    related.phrase = QStringLiteral("Wrote code");
    SessionTimeline::Segment detour;
    detour.kind = SessionTimeline::Kind::Detour;
    detour.key = QStringLiteral("detour|host|x.com");
    detour.phrase = QStringLiteral("Browsed X");
    SessionTimeline::Segment other = detour;
    other.key = QStringLiteral("detour|app|chat");
    other.phrase = QStringLiteral("Used Chat");
    summary.timeline.segments = {related, detour, other};

    const SessionSummary before = summary;
    summary.applyDetourPhrases({});
    EXPECT_EQ(summary, before);

    summary.applyDetourPhrases({{QStringLiteral("detour|host|x.com"), QStringLiteral("Scrolled the feed")},
                                {QStringLiteral("detour|app|chat"), QStringLiteral("  \n ")},
                                {QStringLiteral("nothing"), QStringLiteral("Ignored")}});
    EXPECT_EQ(summary.topDetours[0].phrase, QStringLiteral("Scrolled the feed"));
    EXPECT_EQ(summary.timeline.segments[0].phrase, QStringLiteral("Wrote code"));
    EXPECT_EQ(summary.timeline.segments[1].phrase, QStringLiteral("Scrolled the feed"));
    EXPECT_EQ(summary.timeline.segments[2].phrase, QStringLiteral("Used Chat")) << "a blank phrase never wipes a label";
    EXPECT_NE(summary, before);
}
