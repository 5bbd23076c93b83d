#include "HistoryTestSupport.h"

#include "support/TestSupport.h"
#include "tavrine/historystore/SessionHistory.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;
using Kind = SessionTimeline::Kind;

namespace {

SessionHistory::Options optionsIn(const QString& folder, std::optional<double> retention = std::nullopt) {
    SessionHistory::Options options;
    options.folder = folder;
    options.retention = retention;
    return options;
}

QStringList phrases(const StoredSession& session) {
    QStringList result;
    for (const StoredSegment& segment : session.segments)
        result.append(segment.phrase);
    return result;
}

QStringList intents(const StoredSession& session) {
    QStringList result;
    for (const StoredSegment& segment : session.segments)
        result.append(segment.intent);
    return result;
}

} // namespace

TEST(SessionHistory, RecordsAndReadsBackAcrossInstances) {
    const QString folder = temporaryFolder();
    SessionSummary summary = sampleSummary();
    // Texts beyond Latin-1 come back as written.
    summary.intention = QStringLiteral("\u00c9crire le rapport \u2014 \u6771\u4eac \u2713");
    std::optional<QUuid> id;
    {
        SessionHistory history(optionsIn(folder));
        id = history.record(summary, sessionStart.addSecs(900));
        ASSERT_TRUE(id);
        EXPECT_EQ(history.availability(), SessionHistory::Availability::OnDisk);
    }
    SessionHistory reopened(optionsIn(folder));
    const QList<StoredSession> all = reopened.allSessions();
    EXPECT_EQ(reopened.availability(), SessionHistory::Availability::OnDisk);
    ASSERT_EQ(all.size(), 1);
    const StoredSession& stored = all[0];
    EXPECT_EQ(stored.sessionID, *id);
    EXPECT_EQ(stored.startedAt, sessionStart);
    EXPECT_EQ(stored.endedAt, sessionStart.addSecs(900));
    EXPECT_EQ(stored.intention, summary.intention);
    EXPECT_EQ(stored.focusedSeconds, 900);
    EXPECT_TRUE(stored.completed);
    EXPECT_EQ(stored.detours, 2);
    EXPECT_EQ(stored.detourSeconds, 205.5);
    EXPECT_EQ(stored.longestStreak, 300);
    EXPECT_EQ(stored, StoredSession::fromSummary(*id, summary));

    // Gaps are not stored but come back; captions, excerpts and keys are not stored.
    ASSERT_EQ(stored.segments.size(), 3);
    EXPECT_EQ(stored.segments[1].titles, QStringList{QStringLiteral("A thread \"quoted\"")});
    const SessionTimeline rebuilt = stored.timeline();
    ASSERT_EQ(rebuilt.segments.size(), summary.timeline.segments.size());
    for (qsizetype i = 0; i < rebuilt.segments.size(); ++i) {
        const SessionTimeline::Segment& was = summary.timeline.segments[i];
        const SessionTimeline::Segment& now = rebuilt.segments[i];
        EXPECT_EQ(now.kind, was.kind);
        EXPECT_EQ(now.start, was.start);
        EXPECT_EQ(now.end, was.end);
        EXPECT_EQ(now.phrase, was.phrase);
        EXPECT_EQ(now.clues.titles, was.clues.titles);
        EXPECT_TRUE(now.clues.captions.isEmpty());
        EXPECT_TRUE(now.key.isEmpty());
    }
    EXPECT_EQ(reopened.find(*id), stored);
    EXPECT_FALSE(reopened.find(QUuid::createUuid()));
}

TEST(SessionHistory, WindowTitlesComeBackAsWrittenAndAsAnyBuildStoredThem) {
    const QString folder = temporaryFolder();
    SessionHistory history(optionsIn(folder));
    const QList<QStringList> written = {
        {},
        {QString()},
        {QStringLiteral("report.odt"), QString(), QStringLiteral("Notes")},
        {QStringLiteral("A \"quoted\" thread"), QStringLiteral("C:\\temp\\"), QStringLiteral("a/b")},
        {QStringLiteral("\",\""), QStringLiteral("["), QStringLiteral("]"), QStringLiteral(",")},
        {QStringLiteral("tab\there, line\nbreak, \u0001, \u2028")},
        {QStringLiteral("\u00c9crire \u2014 \u6771\u4eac \u2713 \U0001F600")},
    };
    for (const QStringList& titles : written) {
        SessionSummary summary = sampleSummary();
        summary.timeline.segments[0].clues.titles = titles;
        const QUuid id = *history.record(summary, sessionStart);
        EXPECT_EQ(history.find(id)->segments[0].titles, titles) << titles.join(QLatin1Char('|')).toStdString();
    }

    // Texts this build never writes still read as the JSON they are.
    const struct {
        const char* stored;
        QStringList titles;
    } stored[] = {
        {"[ \"a\" ,\"b\"]", {QStringLiteral("a"), QStringLiteral("b")}},
        {"[\"\\u00e9\\/\"]", {QStringLiteral("\u00e9/")}},
        {"[\"a\",1]", {QStringLiteral("a"), QString()}},
        {"[\"a\",]", {}},
        {"[\"a\"]]", {}},
        {"[\"a]", {}},
        {"\"a\"", {}},
        {"", {}},
    };
    const QUuid id = *history.record(sampleSummary(), sessionStart);
    RawConnection raw(history.storePath());
    for (const auto& row : stored) {
        ASSERT_TRUE(raw.exec(QStringLiteral("UPDATE segment SET titles = '%1'").arg(QLatin1String(row.stored))));
        EXPECT_EQ(history.find(id)->segments[0].titles, row.titles) << row.stored;
    }
}

TEST(SessionHistory, EmptyTextsAndATimelineWithoutActivity) {
    SessionHistory history(optionsIn(temporaryFolder()));
    SessionSummary summary;
    summary.startedAt = sessionStart;
    summary.timeline = normaliseTimeline({}, 0.5);
    const auto id = history.record(summary, sessionStart);
    ASSERT_TRUE(id);
    const auto stored = history.find(*id);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->intention.isEmpty());
    EXPECT_TRUE(stored->segments.isEmpty());
    EXPECT_TRUE(stored->timeline().segments.isEmpty());

    summary.timeline = normaliseTimeline({}, 120);
    const auto second = history.record(summary, sessionStart);
    const SessionTimeline rebuilt = history.find(*second)->timeline();
    ASSERT_EQ(rebuilt.segments.size(), 1);
    EXPECT_EQ(rebuilt.segments[0].kind, Kind::Gap);
    EXPECT_EQ(rebuilt.segments[0].end, 120);
}

TEST(SessionHistory, ListsNewestFirstInPagesThatReachEverySession) {
    SessionHistory history(optionsIn(temporaryFolder()));
    QList<QUuid> recorded;
    for (int i = 0; i < 7; ++i) {
        // Sessions 2 and 3 start at the same moment: the later recorded is listed first.
        const int minute = i == 3 ? 2 : i;
        recorded.append(*history.record(sampleSummary(sessionStart.addSecs(60 * minute)), sessionStart));
    }
    const QList<QUuid> expected = {recorded[6], recorded[5], recorded[4], recorded[3],
                                   recorded[2], recorded[1], recorded[0]};
    EXPECT_EQ(history.sessionCount(), 7);
    // Pages of 4 split the two equal starts between them.
    for (const qint64 pageSize : {1, 3, 4}) {
        QList<QUuid> paged;
        for (qint64 offset = 0; offset < 7; offset += pageSize) {
            const QList<StoredSession> page = history.sessions(offset, pageSize);
            for (const StoredSession& session : page)
                paged.append(session.sessionID);
            QList<StoredSession> bare = page;
            for (StoredSession& session : bare)
                session.segments.clear();
            EXPECT_EQ(history.sessionsWithoutSegments(offset, pageSize), bare) << "at " << offset;
        }
        EXPECT_EQ(paged, expected) << "pages of " << pageSize;
    }
    EXPECT_TRUE(history.sessions(7, 3).isEmpty());
    EXPECT_TRUE(history.sessions(0, 0).isEmpty());
    EXPECT_EQ(history.sessions(0, 3)[0].segments.size(), 3) << "pages carry their segments";
}

TEST(SessionHistory, RetentionPrunesOnlyOlderSessions) {
    const QDateTime now = sessionStart.addDays(10);
    SessionHistory history(optionsIn(temporaryFolder(), 86400));
    const auto tooOld = history.record(sampleSummary(now.addSecs(-86401)), now.addSecs(-86401));
    const auto atCutoff = history.record(sampleSummary(now.addSecs(-86400)), now.addSecs(-86400));
    ASSERT_EQ(history.sessionCount(), 2);
    const auto fresh = history.record(sampleSummary(now.addSecs(-60)), now);
    EXPECT_FALSE(history.find(*tooOld));
    EXPECT_TRUE(history.find(*atCutoff));
    EXPECT_TRUE(history.find(*fresh));

    SessionHistory keepsAll(optionsIn(temporaryFolder()));
    keepsAll.record(sampleSummary(sessionStart), sessionStart);
    keepsAll.record(sampleSummary(now), now.addYears(5));
    EXPECT_EQ(keepsAll.sessionCount(), 2);
}

TEST(SessionHistory, UpdatesWriteByPositionOnlyWhenTheCountsMatch) {
    SessionHistory history(optionsIn(temporaryFolder()));
    SessionSummary summary = sampleSummary();
    const QUuid id = *history.record(summary, sessionStart);
    QSignalSpy changed(&history, &SessionHistory::changed);

    // One segment more than stored: nothing is written.
    SessionSummary longer = summary;
    longer.timeline.segments.append(timelineSegment(Kind::Related, 800, 850, QStringLiteral("Extra")));
    for (auto& segment : longer.timeline.segments)
        segment.phrase = QStringLiteral("Changed");
    history.updatePhrases(id, longer);
    EXPECT_EQ(phrases(*history.find(id)),
              (QStringList{QStringLiteral("Drafted the intro"), QStringLiteral("Browsed Reddit"),
                           QStringLiteral("Took a break")}));
    EXPECT_EQ(changed.count(), 0);

    // Phrases are written whatever they are, empty ones included; a gap in the summary takes no position.
    SessionSummary written = summary;
    written.timeline.segments[0].phrase = QStringLiteral("Outlined the report");
    written.timeline.segments[2].phrase = QString();
    written.timeline.segments[1].phrase = QStringLiteral("never used: a gap");
    history.updatePhrases(id, written);
    EXPECT_EQ(phrases(*history.find(id)),
              (QStringList{QStringLiteral("Outlined the report"), QString(), QStringLiteral("Took a break")}));
    EXPECT_EQ(changed.count(), 1);

    // Intents: only the non-empty ones are written, a later empty one keeps what is there.
    SessionSummary labelled = summary;
    labelled.timeline.segments[0].intent = QStringLiteral("Report intro");
    labelled.timeline.segments[3].intent = QStringLiteral("Break");
    history.updateIntents(id, labelled);
    labelled.timeline.segments[0].intent.clear();
    labelled.timeline.segments[2].intent = QStringLiteral("Reddit");
    history.updateIntents(id, labelled);
    EXPECT_EQ(intents(*history.find(id)),
              (QStringList{QStringLiteral("Report intro"), QStringLiteral("Reddit"), QStringLiteral("Break")}));

    // Unknown or deleted sessions take nothing.
    const int before = changed.count();
    history.updatePhrases(QUuid::createUuid(), written);
    history.deleteSession(id);
    history.updateIntents(id, labelled);
    EXPECT_EQ(changed.count(), before + 1);
    EXPECT_EQ(history.sessionCount(), 0);
}

TEST(SessionHistory, EqualStartTimesKeepTheRecordedOrder) {
    SessionHistory history(optionsIn(temporaryFolder()));
    // Three stretches starting within the same millisecond: the stored times are equal, only the order of
    // recording tells them apart.
    SessionSummary summary = sampleSummary();
    summary.timeline.segments = {
        timelineSegment(Kind::Related, 10.0001, 10.0002, QStringLiteral("a")),
        timelineSegment(Kind::Detour, 10.0002, 10.0003, QStringLiteral("b")),
        timelineSegment(Kind::Pause, 10.0003, 10.0004, QStringLiteral("c")),
    };
    const QUuid id = *history.record(summary, sessionStart);
    SessionSummary renamed = summary;
    renamed.timeline.segments[0].phrase = QStringLiteral("first");
    renamed.timeline.segments[1].phrase = QStringLiteral("second");
    renamed.timeline.segments[2].phrase = QStringLiteral("third");
    history.updatePhrases(id, renamed);
    const StoredSession stored = *history.find(id);
    EXPECT_EQ(phrases(stored),
              (QStringList{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")}));
    EXPECT_EQ(stored.segments[0].kind, QStringLiteral("related"));
    EXPECT_EQ(stored.segments[2].kind, QStringLiteral("pause"));
}

TEST(SessionHistory, DeletingTakesTheSegmentsAlong) {
    const QString folder = temporaryFolder();
    SessionHistory history(optionsIn(folder));
    QSignalSpy changed(&history, &SessionHistory::changed);
    history.deleteAll();
    EXPECT_EQ(history.sessionCount(), 0);

    const QUuid kept = *history.record(sampleSummary(), sessionStart);
    const QUuid gone = *history.record(sampleSummary(), sessionStart);
    history.deleteSession(gone);
    EXPECT_EQ(history.sessionCount(), 1);
    EXPECT_TRUE(history.find(kept));
    {
        RawConnection raw(history.storePath());
        EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM segment")), 3);
    }

    history.record(sampleSummary(), sessionStart);
    EXPECT_TRUE(history.deleteAll().deleted);
    EXPECT_EQ(history.sessionCount(), 0);
    {
        RawConnection raw(history.storePath());
        EXPECT_EQ(raw.number(QStringLiteral("SELECT count(*) FROM segment")), 0);
    }
    EXPECT_GE(changed.count(), 5);
}

TEST(SessionHistory, InMemoryWhenAskedLeavesNoFile) {
    const QString folder = temporaryFolder();
    SessionHistory::Options options = optionsIn(folder);
    options.inMemory = true;
    SessionHistory history(options);
    EXPECT_TRUE(history.record(sampleSummary(), sessionStart));
    EXPECT_EQ(history.availability(), SessionHistory::Availability::InMemory);
    EXPECT_EQ(history.sessionCount(), 1);
    EXPECT_FALSE(QFile::exists(history.storePath()));
    EXPECT_EQ(history.status().problem, SessionHistory::Status::Problem::None);
}
