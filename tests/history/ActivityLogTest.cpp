#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/model/ActivityEvidence.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace tavrine;

namespace {

SessionLogEntry openEntry(SessionLogKind kind, double start, QString key = QStringLiteral("k")) {
    SessionLogEntry entry;
    entry.id = QUuid::createUuid();
    entry.kind = kind;
    entry.mergeKey = std::move(key);
    entry.phrase = QStringLiteral("Wrote the report");
    entry.startedAt = start;
    return entry;
}

ActivityEvidence evidence(QString app, QString bundle, QString url = {}) {
    ActivityEvidence e;
    e.app = std::move(app);
    e.bundle = std::move(bundle);
    e.url = std::move(url);
    return e;
}

} // namespace

TEST(ActivityLog, CloseKeepsOnlyStretchesOfThirtySeconds) {
    SessionActivityLog log;
    log.entries.append(openEntry(SessionLogKind::Related, 100));
    log.close(130.0);
    ASSERT_EQ(log.entries.size(), 1);
    EXPECT_EQ(log.entries[0].endedAt, 130.0);

    log.close(500); // already closed: unchanged
    EXPECT_EQ(log.entries[0].endedAt, 130.0);

    log.entries.append(openEntry(SessionLogKind::Detour, 200));
    log.close(229.9);
    EXPECT_EQ(log.entries.size(), 1) << "a glance shorter than 30 s leaves no trace";
    EXPECT_EQ(log.entries[0].endedAt, 130.0) << "and the stretch before it is not reopened";

    log.entries.append(openEntry(SessionLogKind::Detour, 300));
    log.close(250); // a time before the start measures 0
    EXPECT_EQ(log.entries.size(), 1);

    SessionActivityLog empty;
    empty.close(10);
    EXPECT_TRUE(empty.entries.isEmpty());
}

TEST(ActivityLog, PauseOpensOnceAndClosesTheOpenStretch) {
    SessionActivityLog log;
    log.entries.append(openEntry(SessionLogKind::Related, 0));
    log.addPause(60);
    log.addPause(90);
    ASSERT_EQ(log.entries.size(), 2);
    EXPECT_EQ(log.entries[0].endedAt, 60.0);
    const SessionLogEntry& pause = log.entries[1];
    EXPECT_EQ(pause.kind, SessionLogKind::Pause);
    EXPECT_EQ(pause.mergeKey, QStringLiteral("pause"));
    EXPECT_EQ(pause.phrase, QStringLiteral("Took a break"));
    EXPECT_EQ(pause.startedAt, 60.0);
    EXPECT_FALSE(pause.endedAt);
    EXPECT_TRUE(pause.clues.isEmpty());

    log.close(200);
    log.addPause(300);
    ASSERT_EQ(log.entries.size(), 3);
    EXPECT_NE(log.entries[2].id, log.entries[1].id);
    EXPECT_EQ(log.entries[2].startedAt, 300.0);
}

TEST(ActivityLog, MarkLastDetourRelatedFindsTheNewestDetourAnywhere) {
    SessionActivityLog log;
    SessionLogEntry older = openEntry(SessionLogKind::Detour, 0, QStringLiteral("detour|app|a"));
    older.endedAt = 40;
    SessionLogEntry newer = openEntry(SessionLogKind::Detour, 40, QStringLiteral("detour|app|b"));
    newer.endedAt = 100;
    SessionLogEntry related = openEntry(SessionLogKind::Related, 100, QStringLiteral("related|app|c"));
    log.entries = {older, newer, related};

    log.markLastDetourRelated(
        evidence(QStringLiteral("Safari"), QStringLiteral("safari"), QStringLiteral("https://www.Example.org/page")));
    EXPECT_EQ(log.entries[1].kind, SessionLogKind::Related);
    EXPECT_EQ(log.entries[1].mergeKey, QStringLiteral("related|host|example.org"));
    EXPECT_EQ(log.entries[1].phrase, newer.phrase);
    EXPECT_EQ(log.entries[0], older);

    SessionActivityLog noDetour;
    noDetour.entries = {related};
    noDetour.markLastDetourRelated(evidence(QStringLiteral("X"), QStringLiteral("x")));
    EXPECT_EQ(noDetour.entries[0], related);
}

TEST(ActivityLog, ItemsShowStretchesOnceTheyReachThirtySeconds) {
    SessionActivityLog log;
    SessionLogEntry closed = openEntry(SessionLogKind::Related, 0);
    closed.endedAt = 125;
    SessionLogEntry backwards = openEntry(SessionLogKind::Detour, 200);
    backwards.endedAt = 150;
    log.entries = {closed, backwards, openEntry(SessionLogKind::Detour, 300)};

    QList<SessionLogItem> items = log.items(320);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].id, closed.id);
    EXPECT_EQ(items[0].durationText, QStringLiteral("2m"));

    items = log.items(330);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1].kind, SessionLogKind::Detour);
    EXPECT_EQ(items[1].durationText, QStringLiteral("30s"));
}

TEST(ActivityLog, DurationText) {
    const std::pair<double, const char*> cases[] = {
        {29.5, "30s"},   {59.4, "59s"}, {59.5, "1m"}, {3599, "59m"}, {3600, "1h"}, {3659, "1h"}, {3660, "1h 1m"},
        {3900, "1h 5m"}, {7200, "2h"},  {725, "12m"}, {-3, "0s"},    {-0.4, "0s"}, {0, "0s"},    {90061, "25h 1m"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SessionActivityLog::formatDuration(seconds), QString::fromUtf8(text)) << seconds;
    EXPECT_EQ(SessionActivityLog::formatDuration(std::nan("")), QStringLiteral("0s"));
    EXPECT_EQ(SessionActivityLog::formatDuration(std::numeric_limits<double>::infinity()), QStringLiteral("0s"));
}

TEST(ActivityLog, PhrasesNeedTwoToTenWordsWithinEightyCharacters) {
    EXPECT_FALSE(SessionActivityLog::isAcceptablePhrase(QStringLiteral("Reading")));
    EXPECT_FALSE(SessionActivityLog::isAcceptablePhrase(QStringLiteral("   ")));
    EXPECT_TRUE(SessionActivityLog::isAcceptablePhrase(QStringLiteral("Reading docs")));
    EXPECT_TRUE(SessionActivityLog::isAcceptablePhrase(QStringLiteral("Scrolled a social feed")));
    EXPECT_TRUE(
        SessionActivityLog::isAcceptablePhrase(QStringLiteral("one two three four five six seven eight nine ten")));
    EXPECT_FALSE(SessionActivityLog::isAcceptablePhrase(
        QStringLiteral("one two three four five six seven eight nine ten eleven")));
    // Words split at any whitespace, line breaks included.
    EXPECT_TRUE(SessionActivityLog::isAcceptablePhrase(QStringLiteral("Fixed\u2028bug")));

    const QString eighty = QStringLiteral("ab ") + QString(77, QLatin1Char('c'));
    EXPECT_TRUE(SessionActivityLog::isAcceptablePhrase(eighty));
    EXPECT_FALSE(SessionActivityLog::isAcceptablePhrase(eighty + QLatin1Char('c')));
    // Characters are what the user sees: 40 accented letters written with combining marks count 40.
    QString combining = QStringLiteral("Caf");
    for (int i = 0; i < 40; ++i)
        combining += QStringLiteral("e\u0301");
    combining += QStringLiteral(" visit");
    EXPECT_TRUE(SessionActivityLog::isAcceptablePhrase(combining));

    const ActivityEvidence editor = evidence(QStringLiteral("  Text\nEdit "), QStringLiteral("org.te"));
    EXPECT_EQ(SessionActivityLog::phraseOrFallback(QStringLiteral("  Drafted \n the   intro "), editor),
              QStringLiteral("Drafted the intro"));
    EXPECT_EQ(SessionActivityLog::phraseOrFallback(QStringLiteral("Reading"), editor),
              QStringLiteral("Used Text Edit"));
}

TEST(ActivityLog, MergeKeysBySiteOrApplication) {
    EXPECT_EQ(SessionActivityLog::mergeKey(SessionLogKind::Detour,
                                           evidence(QStringLiteral("B"), QStringLiteral("b"),
                                                    QStringLiteral("https://WWW.YouTube.com/watch?v=1"))),
              QStringLiteral("detour|host|youtube.com"));
    EXPECT_EQ(SessionActivityLog::mergeKey(SessionLogKind::Related, evidence(QStringLiteral("B"), QStringLiteral("b"),
                                                                             QStringLiteral("docs.example.com/x"))),
              QStringLiteral("related|host|docs.example.com"));
    EXPECT_EQ(SessionActivityLog::mergeKey(SessionLogKind::Detour,
                                           evidence(QStringLiteral("Files"), QStringLiteral("org.files"),
                                                    QStringLiteral("file:///home/me/notes.txt"))),
              QStringLiteral("detour|app|org.files"));
    EXPECT_EQ(SessionActivityLog::mergeKey(SessionLogKind::Detour, evidence(QStringLiteral("A"), {})),
              QStringLiteral("detour|app|"));
    EXPECT_EQ(SessionActivityLog::mergeKey(SessionLogKind::Pause, evidence(QStringLiteral("A"), QStringLiteral("a"),
                                                                           QStringLiteral("https://x.com"))),
              QStringLiteral("pause"));
}

TEST(ActivityLog, SiteNamesAndLabels) {
    EXPECT_EQ(SessionActivityLog::siteDisplayName(QStringLiteral("m.youtube.com")), QStringLiteral("YouTube"));
    EXPECT_EQ(SessionActivityLog::siteDisplayName(QStringLiteral("x.com")), QStringLiteral("X"));
    EXPECT_FALSE(SessionActivityLog::siteDisplayName(QStringLiteral("notyoutube.com")));
    EXPECT_FALSE(SessionActivityLog::siteDisplayName(QStringLiteral("google.com")));
    EXPECT_FALSE(SessionActivityLog::siteName(QStringLiteral("   ")));
    EXPECT_FALSE(SessionActivityLog::siteName(QStringLiteral("ftp://example.com")));
    EXPECT_EQ(SessionActivityLog::siteName(QStringLiteral(" http://www.www.example.com ")),
              QStringLiteral("www.example.com"));

    EXPECT_EQ(SessionActivityLog::fallbackPhrase(
                  evidence(QStringLiteral("Browser"), QStringLiteral("b"), QStringLiteral("https://example.org"))),
              QStringLiteral("Browsed example.org"));
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(evidence(QStringLiteral("Browser"), QStringLiteral("b"),
                                                          QStringLiteral("https://mail.google.com/u/0"))),
              QStringLiteral("Browsed Gmail"));
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(evidence(QStringLiteral("LinkedIn Desktop"), QStringLiteral("l"))),
              QStringLiteral("Browsed LinkedIn"));

    ActivityClues clues;
    clues.app = QStringLiteral("Browser");
    clues.host = QStringLiteral("example.org");
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(clues), QStringLiteral("Browsed a website"));
    clues.host = QStringLiteral("www.reddit.com");
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(clues), QStringLiteral("Browsed Reddit"));
    clues.host.clear();
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(clues), QStringLiteral("Used Browser"));
    EXPECT_EQ(SessionActivityLog::fallbackPhrase(ActivityClues{}), QStringLiteral("Used another app"));
}

TEST(ActivityClues, MergeFollowsTheListAndExcerptRules) {
    ActivityClues clues;
    clues.titles = {QStringLiteral("Quarterly Report")};
    clues.excerpts = {QStringLiteral("first")};

    ActivityClues other;
    other.app = QStringLiteral("Writer");
    other.host = QStringLiteral("example.org");
    other.titles = {QStringLiteral("  quarterly\u2028 REPORT "),
                    QStringLiteral("B"),
                    QStringLiteral("C"),
                    QStringLiteral("D"),
                    QStringLiteral("E"),
                    QStringLiteral("F"),
                    QStringLiteral(" ")};
    other.captions = {QStringLiteral("Editing  the\tplan")};
    other.excerpts = {QStringLiteral("second"), QStringLiteral("first"), QStringLiteral("third"), QString()};
    clues.merge(other);

    EXPECT_EQ(clues.app, QStringLiteral("Writer"));
    EXPECT_EQ(clues.host, QStringLiteral("example.org"));
    EXPECT_EQ(clues.titles, (QStringList{QStringLiteral("Quarterly Report"), QStringLiteral("B"), QStringLiteral("C"),
                                         QStringLiteral("D"), QStringLiteral("E")}));
    EXPECT_EQ(clues.captions, QStringList{QStringLiteral("Editing the plan")});
    EXPECT_EQ(clues.excerpts, (QStringList{QStringLiteral("first"), QStringLiteral("third")}));

    ActivityClues later;
    later.app = QStringLiteral("Other");
    later.host = QStringLiteral("other.org");
    clues.merge(later);
    EXPECT_EQ(clues.app, QStringLiteral("Writer"));
    EXPECT_EQ(clues.host, QStringLiteral("example.org"));
}

TEST(ActivityClues, FromEvidenceKeepsOnlyUsefulLabels) {
    ActivityEvidence e =
        evidence(QStringLiteral(" Text  Edit "), QStringLiteral("te"), QStringLiteral("https://www.example.org/a"));
    e.title = QStringLiteral("Quarterly   plan.txt");
    e.subject = QStringLiteral("Budget section");
    e.text = QStringLiteral("Line one\nline two");
    ActivityClues clues = ActivityClues::fromEvidence(e, QStringLiteral("  Editing the budget "));
    EXPECT_EQ(clues.app, QStringLiteral("Text Edit"));
    EXPECT_EQ(clues.host, QStringLiteral("example.org"));
    EXPECT_EQ(clues.titles, QStringList{QStringLiteral("Quarterly plan.txt")});
    EXPECT_EQ(clues.captions, QStringList{QStringLiteral("Editing the budget")});
    EXPECT_EQ(clues.excerpts, QStringList{QStringLiteral("Budget section Line one line two")});

    // A title that is only the application's name says nothing; a subject too short joins no excerpt; the
    // excerpt is cut to 240 characters.
    e.url.clear();
    e.title = QStringLiteral("Text Edit");
    e.subject = QStringLiteral("ab");
    e.text = QString(300, QLatin1Char('x'));
    clues = ActivityClues::fromEvidence(e, QString());
    EXPECT_TRUE(clues.host.isEmpty());
    EXPECT_TRUE(clues.titles.isEmpty());
    EXPECT_TRUE(clues.captions.isEmpty());
    ASSERT_EQ(clues.excerpts.size(), 1);
    EXPECT_EQ(clues.excerpts[0], QString(240, QLatin1Char('x')));

    e.text.clear();
    e.subject.clear();
    EXPECT_TRUE(ActivityClues::fromEvidence(e, QString()).excerpts.isEmpty());
}
