#include "HistoryTestSupport.h"

#include "support/TestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryBrowser.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

constexpr double minimum = 60.0;

SessionHistory::Options optionsIn(const QString& folder, UserDefaults* notes = nullptr) {
    SessionHistory::Options options;
    options.folder = folder;
    options.notes = notes;
    return options;
}

// Makes the store refuse what these tables take, as a full disk does, or take it again.
void setFull(const QString& folder, const QStringList& tables, bool full) {
    RawConnection raw(folder + QStringLiteral("/History.store"));
    for (const QString& table : tables)
        ASSERT_TRUE(raw.exec((full ? QStringLiteral("CREATE TRIGGER full_%1 BEFORE INSERT ON %1 BEGIN SELECT "
                                                    "RAISE(ABORT, 'database or disk is full'); END")
                                   : QStringLiteral("DROP TRIGGER full_%1"))
                                 .arg(table)));
}

SessionSummary snapshotAt(double usedSeconds) {
    SessionSummary summary = sampleSummary();
    summary.completed = false;
    summary.focusedSeconds = usedSeconds;
    return summary;
}

qint64 number(const QString& folder, const QString& sql) {
    RawConnection raw(folder + QStringLiteral("/History.store"));
    return raw.number(sql);
}

qint64 rows(const QString& folder, const char* table) {
    return number(folder, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table)));
}

// How the process that kept the session ended.
enum class End {
    Died,
    Stopped,
    EndedUnexpectedly,
    // Stopped and quit while the store took no session, then with neither sessions nor running records.
    QuitOnAFullStore,
    QuitOnAStoreFullThroughout,
};

struct EndCase {
    const char* name;
    double used;
    End end;
    int storedAtRelaunch;
    bool markedUnexpected;
};

} // namespace

TEST(RunningSession, WhatARelaunchFindsOfASessionKeptWhileItRan) {
    const EndCase cases[] = {
        {"killed after 75 s: stored as ended early at its last write", 75, End::Died, 1, true},
        {"killed at exactly a minute", 60, End::Died, 1, true},
        {"killed before a minute: dropped", 59.9, End::Died, 0, false},
        {"stopped normally: the ordinary stored session only", 75, End::Stopped, 1, false},
        {"display lost: stored at once, nothing left to recover", 75, End::EndedUnexpectedly, 1, true},
        {"display lost before a minute: dropped", 30, End::EndedUnexpectedly, 0, false},
        {"quit on a full store: stored from its running record, up to its end", 75, End::QuitOnAFullStore, 1, true},
        {"quit on a store full throughout: lost, and the next run says so", 75, End::QuitOnAStoreFullThroughout, 0,
         false},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = temporaryFolder();
        const QString notesPath = folder + QStringLiteral("/tavrine.ini");
        const QUuid id = QUuid::createUuid();
        const QStringList full = c.end == End::QuitOnAFullStore ? QStringList{QStringLiteral("session")}
                                 : c.end == End::QuitOnAStoreFullThroughout
                                     ? QStringList{QStringLiteral("session"), QStringLiteral("running_session")}
                                     : QStringList{};
        {
            SettingsUserDefaults notes(notesPath);
            SessionHistory history(optionsIn(folder, &notes));
            history.open();
            if (c.end == End::QuitOnAStoreFullThroughout)
                setFull(folder, full, true);
            history.keepRunning(id, snapshotAt(10));
            history.keepRunning(id, snapshotAt(c.used));
            if (c.end == End::QuitOnAFullStore)
                setFull(folder, full, true);
            if (c.end == End::Stopped || !full.isEmpty())
                history.record(sampleSummary(), sessionStart, id);
            if (c.end == End::EndedUnexpectedly)
                history.endRunningUnexpectedly(id, snapshotAt(c.used), minimum);
        }
        setFull(folder, full, false);
        // A store with a running record keeps the schema version every build of this schema opens.
        EXPECT_EQ(number(folder, QStringLiteral("PRAGMA user_version")), 1);

        SettingsUserDefaults notes(notesPath);
        SessionHistory relaunched(optionsIn(folder, &notes));
        relaunched.recoverRunning(minimum);
        const QString notice = HistoryBrowser(&relaunched, Clock::system()).storeNotice();
        if (c.end == End::QuitOnAStoreFullThroughout)
            EXPECT_EQ(notice, QStringLiteral("The last session could not be saved when Tavrine quit: database or "
                                             "disk is full."));
        else
            EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
        // Word of a loss is told by the next run only.
        EXPECT_EQ(SessionHistory(optionsIn(folder, &notes)).lostAtLastQuit(), SessionHistory::LostSessions{});
        const QList<StoredSession> stored = relaunched.allSessions();
        ASSERT_EQ(stored.size(), c.storedAtRelaunch);
        EXPECT_EQ(rows(folder, "running_session"), 0);
        EXPECT_EQ(rows(folder, "running_segment"), 0);
        if (stored.isEmpty())
            continue;
        EXPECT_EQ(stored[0].sessionID, id);
        EXPECT_EQ(stored[0].endedUnexpectedly, c.markedUnexpected);
        EXPECT_EQ(relaunched.sessionsWithoutSegments(0, 1).value(0).endedUnexpectedly, c.markedUnexpected);
        // A stop stores the whole session as it ended, also when a quit left it to the relaunch; else the last
        // write, segments and all, as a session ended early.
        const bool stopped = c.end == End::Stopped || c.end == End::QuitOnAFullStore;
        StoredSession expected = StoredSession::fromSummary(id, stopped ? sampleSummary() : snapshotAt(c.used));
        expected.endedUnexpectedly = c.markedUnexpected;
        EXPECT_EQ(stored[0], expected);
        if (c.end == End::Stopped)
            continue;
        // Another relaunch finds nothing more to do.
        EXPECT_EQ(SessionHistory(optionsIn(folder)).recoverRunning(minimum), 0);
    }
}

TEST(RunningSession, AStoreFromBeforeRunningRecordsTakesThemAndAMarkGoesWithItsSession) {
    const QString folder = temporaryFolder();
    { SessionHistory(optionsIn(folder)).record(sampleSummary(), sessionStart); }
    {
        RawConnection raw(folder + QStringLiteral("/History.store"));
        for (const char* table : {"running_segment", "running_session", "unexpected_end"})
            ASSERT_TRUE(raw.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table))));
    }
    const QUuid id = QUuid::createUuid();
    { SessionHistory(optionsIn(folder)).keepRunning(id, snapshotAt(90)); }

    SessionHistory relaunched(optionsIn(folder));
    EXPECT_EQ(relaunched.recoverRunning(minimum), 1);
    EXPECT_EQ(relaunched.sessionCount(), 2);
    ASSERT_TRUE(relaunched.find(id).has_value());
    EXPECT_TRUE(relaunched.find(id)->endedUnexpectedly);
    relaunched.deleteSession(id);
    EXPECT_EQ(rows(folder, "unexpected_end"), 0);
    EXPECT_EQ(relaunched.sessionCount(), 1);
}
