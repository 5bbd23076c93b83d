#include "FullDisk.h"
#include "HistoryTestSupport.h"

#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/HistoryDatabase.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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

// The sample session as it stood after `usedSeconds`, not yet ended.
SessionSummary snapshotAt(double usedSeconds) {
    SessionSummary summary = sampleSummary();
    summary.completed = false;
    summary.focusedSeconds = usedSeconds;
    summary.timeline = normaliseTimeline(summary.timeline.segments, usedSeconds);
    return summary;
}

// The same, grown after 75 s by a stretch whose window titles are larger than all the room a session keeps.
SessionSummary outgrownAt(double usedSeconds) {
    SessionSummary summary = snapshotAt(75);
    summary.focusedSeconds = usedSeconds;
    summary.timeline.segments.append(timelineSegment(SessionTimeline::Kind::Related, 75, usedSeconds,
                                                     QStringLiteral("Filled in the budget"), QStringLiteral("Sheets"),
                                                     {}, {QStringLiteral("Budget ").repeated(90'000)}));
    summary.timeline = normaliseTimeline(summary.timeline.segments, usedSeconds);
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
enum class End { Died, Stopped, EndedUnexpectedly, Quit };

// When the disk filled (or failed another way).
enum class Full {
    Never,
    // Before the session's first write: nothing of it is ever stored.
    Throughout,
    // After the record was written at 10 s: the record holds less than the minute a stored session needs.
    AfterTenSeconds,
    // After the record was written at 75 s; the session's end still fits the room it kept.
    Later,
    // After the record was written at 75 s, the session then outgrowing the room it kept: a whole write no longer
    // goes through, the end and figures still do.
    LaterOutgrown,
};

// Tables an older store lacks, which the store cannot make while its disk fails.
enum class Missing { None, NoteTables, RunningTables };

using Fault = FullDisk::Fault;
using Loss = SessionHistory::RunningLoss::Kind;

struct EndCase {
    const char* name;
    double used;
    End end;
    Full full = Full::Never;
    bool settingsOnTheDisk = false;
    int storedAtRelaunch = 0;
    bool markedUnexpected = false;
    // The segments as written at 75 s, not the session's last ones.
    bool timelineAt75 = false;
    const char* toldAtRelaunch = "";
    Fault fault = Fault::Full;
    // What the record lacks of the session as it stands just before it ends, told meanwhile.
    Loss whileRunning = Loss::None;
    const char* toldWhileRunning = "";
    // Stored as the record stood after this many seconds (figures, end and segments), not as the session ended.
    double keptAt = 0;
    Missing missing = Missing::None;
};

const char* const ranAMinute = ", which ran 1m, could not be saved: disk I/O error.";
const char* const withoutItsLastMinute = "was saved without its last 1m: disk I/O error.";
const char* const cannotIo = "running cannot be saved: disk I/O error";
const char* const cannotFull = "running cannot be saved: database or disk is full";

} // namespace

TEST(RunningSession, WhatARelaunchFindsOfASessionKeptWhileItRan) {
    const char* withoutItsEnd = "was saved without the timeline of its last 25s: database or disk is full.";
    const EndCase cases[] = {
        {"killed after 75 s: stored as ended early at its last write", 75, End::Died, Full::Never, false, 1, true},
        {"killed at exactly a minute", 60, End::Died, Full::Never, false, 1, true},
        {"killed before a minute: dropped", 59.9, End::Died},
        {"stopped normally: the ordinary stored session only", 75, End::Stopped, Full::Never, false, 1},
        {"display lost: stored at once, nothing left to recover", 75, End::EndedUnexpectedly, Full::Never, false, 1,
         true},
        {"display lost before a minute: dropped", 30, End::EndedUnexpectedly},
        {"quit on a disk full throughout: lost, and the next run says so", 100, End::Quit, Full::Throughout, false, 0,
         false, false, "The last session could not be saved when Tavrine quit: database or disk is full.", Fault::Full,
         Loss::Nothing, cannotFull},
        {"the same with the settings on that disk: nothing to learn it from", 100, End::Quit, Full::Throughout, true, 0,
         false, false, "", Fault::Full, Loss::Nothing, cannotFull},
        {"quit once the disk filled: stored whole, no unexpected stop", 100, End::Quit, Full::Later, true, 1},
        {"quit after outgrowing the room: stored from its record to its end, its timeline's end told", 100, End::Quit,
         Full::LaterOutgrown, true, 1, false, true, withoutItsEnd},
        {"killed after outgrowing the room: the timeline's end told while it runs", 100, End::Died, Full::LaterOutgrown,
         true, 1, true, true, withoutItsEnd, Fault::Full, Loss::Timeline,
         "The session that is running is saved with its timeline only up to its first 1m: database or disk is full; "
         "Tavrine tries again while it runs."},
        {"display lost after outgrowing the room", 100, End::EndedUnexpectedly, Full::LaterOutgrown, true, 1, true,
         true, withoutItsEnd},
        // A disk that turns read-only or errs takes no write at all, not even one in place: whatever the record
        // lacks is told while the session runs, and the next launch says what was lost.
        {"killed on a disk read-only throughout", 100, End::Died, Full::Throughout, false, 0, false, false, ranAMinute,
         Fault::ReadOnly, Loss::Nothing,
         "The session that is running cannot be saved: disk I/O error; Tavrine tries again while it runs."},
        {"killed on a disk erring throughout", 100, End::Died, Full::Throughout, false, 0, false, false, ranAMinute,
         Fault::IoError, Loss::Nothing, cannotIo},
        {"killed on a disk full throughout", 100, End::Died, Full::Throughout, false, 0, false, false,
         ", which ran 1m, could not be saved: database or disk is full.", Fault::Full, Loss::Nothing, cannotFull},
        {"quit on a disk erring throughout: lost at quit", 100, End::Quit, Full::Throughout, false, 0, false, false,
         "The last session could not be saved when Tavrine quit: disk I/O error.", Fault::IoError, Loss::Nothing,
         cannotIo},
        {"read-only after a record of 10 s, killed: under a minute is dropped, and told", 100, End::Died,
         Full::AfterTenSeconds, false, 0, false, false, ranAMinute, Fault::ReadOnly, Loss::Nothing, cannotIo},
        {"erring after a record of 10 s, killed", 100, End::Died, Full::AfterTenSeconds, false, 0, false, false,
         ranAMinute, Fault::IoError, Loss::Nothing, cannotIo},
        {"full after a record of 10 s: the room it kept takes the rest", 100, End::Died, Full::AfterTenSeconds, false,
         1, true},
        {"read-only after a record of 10 s, quit: the next launch says how long it ran", 100, End::Quit,
         Full::AfterTenSeconds, false, 0, false, false, ", which ran 15m, could not be saved: disk I/O error.",
         Fault::ReadOnly, Loss::Nothing, cannotIo},
        {"read-only after a record of 75 s, killed at 160 s: stored to 75 s, the rest told", 160, End::Died,
         Full::Later, false, 1, true, false, withoutItsLastMinute, Fault::ReadOnly, Loss::Behind,
         "The session that is running is saved only up to its first 1m: disk I/O error; Tavrine tries again while "
         "it runs.",
         75},
        {"erring after a record of 75 s, killed at 160 s", 160, End::Died, Full::Later, false, 1, true, false,
         withoutItsLastMinute, Fault::IoError, Loss::Behind, "is saved only up to its first 1m: disk I/O error", 75},
        {"erring after a record of 75 s, display lost at 160 s", 160, End::EndedUnexpectedly, Full::Later, false, 1,
         true, false, withoutItsLastMinute, Fault::IoError, Loss::None, "", 75},
        {"read-only after a record of 75 s, quit: stored to 75 s as its user ended it, the rest told", 100, End::Quit,
         Full::Later, false, 1, false, false, "was saved without its last 13m: disk I/O error.", Fault::ReadOnly,
         Loss::None, "", 75},
        {"the same with the settings on that disk: its first 75 s are all there is", 100, End::Quit, Full::Later, true,
         1, true, false, "", Fault::ReadOnly, Loss::None, "", 75},
        {"an old store whose note tables the full disk did not take: no room kept, the loss told", 100, End::Died,
         Full::Throughout, false, 0, false, false, ", which ran 1m, could not be saved: database or disk is full.",
         Fault::Full, Loss::Nothing, cannotFull, 0, Missing::NoteTables},
        {"the same on an erring disk", 100, End::Died, Full::Throughout, false, 0, false, false, ranAMinute,
         Fault::IoError, Loss::Nothing, cannotIo, 0, Missing::NoteTables},
        {"an old store whose running tables the full disk did not take: never taken for kept", 100, End::Died,
         Full::Throughout, false, 0, false, false, ", which ran 1m, could not be saved: database or disk is full.",
         Fault::Full, Loss::Nothing, cannotFull, 0, Missing::RunningTables},
        {"the same on an erring disk", 100, End::Died, Full::Throughout, false, 0, false, false, ranAMinute,
         Fault::IoError, Loss::Nothing, cannotIo, 0, Missing::RunningTables},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = temporaryFolder();
        const QString notesPath = folder + QStringLiteral("/tavrine.ini");
        const QUuid id = QUuid::createUuid();
        const bool outgrows = c.full == Full::LaterOutgrown;
        const SessionSummary ended = outgrows ? outgrownAt(c.used) : sampleSummary();
        const SessionSummary last = outgrows ? outgrownAt(c.used) : snapshotAt(c.used);
        if (c.missing != Missing::None) {
            // A store of an older build, without the tables named.
            { SessionHistory(optionsIn(folder)).open(); }
            RawConnection raw(folder + QStringLiteral("/History.store"));
            QStringList dropped = {QStringLiteral("running_note"), QStringLiteral("space_reserve")};
            if (c.missing == Missing::RunningTables)
                dropped << QStringLiteral("unexpected_end") << QStringLiteral("running_segment")
                        << QStringLiteral("running_session");
            for (const QString& table : dropped)
                ASSERT_TRUE(raw.exec(QStringLiteral("DROP TABLE %1").arg(table)));
        }
        {
            // The disk goes after the store: the store's quit finds it as full as the session's end did.
            std::optional<FullDisk> disk;
            // Settings on the full disk keep nothing.
            SettingsUserDefaults settings(notesPath);
            MemoryUserDefaults forgotten;
            UserDefaults* notes = c.settingsOnTheDisk ? static_cast<UserDefaults*>(&forgotten) : &settings;
            SessionHistory history(optionsIn(folder, notes));
            // An old store meets its failing disk as it opens; a new one, as the session starts.
            if (c.missing != Missing::None)
                disk.emplace(folder, c.fault);
            history.open();
            if (c.full == Full::Throughout && !disk)
                disk.emplace(folder, c.fault);
            history.keepRunning(id, snapshotAt(10));
            // Told while the session runs: no later launch could learn of it.
            EXPECT_EQ(history.runningLoss().kind == Loss::None, c.full != Full::Throughout);
            if (c.full == Full::AfterTenSeconds)
                disk.emplace(folder, c.fault);
            history.keepRunning(id, snapshotAt(std::min(c.used, 75.0)));
            if (c.full == Full::Later || outgrows)
                disk.emplace(folder, c.fault);
            if (c.end == End::Died)
                history.keepRunning(id, last);
            EXPECT_EQ(history.runningLoss().kind, c.whileRunning);
            // History says what the record lacks; it does not while the record keeps the session.
            const QString running = storeNotice(history);
            if (*c.toldWhileRunning) {
                EXPECT_TRUE(running.contains(QString::fromUtf8(c.toldWhileRunning))) << running.toStdString();
            } else {
                EXPECT_TRUE(running.isEmpty()) << running.toStdString();
            }
            if (c.end == End::Stopped || c.end == End::Quit) {
                history.record(ended, sessionStart, id);
                // The recap says so when the session could not be stored at its end.
                const QString recap = recapStoreNotice(history.status(), history.unsavedReason(ended.startedAt));
                EXPECT_EQ(recap.startsWith(QStringLiteral("This session could not be saved: ")),
                          !history.find(id).has_value())
                    << recap.toStdString();
            }
            if (c.end == End::EndedUnexpectedly)
                history.endRunningUnexpectedly(id, last, minimum);
        }
        // A store with a running record keeps the schema version every build of this schema opens.
        EXPECT_EQ(number(folder, QStringLiteral("PRAGMA user_version")), 1);

        SettingsUserDefaults notes(notesPath);
        SessionHistory relaunched(optionsIn(folder, &notes));
        relaunched.recoverRunning(minimum);
        const QString notice = storeNotice(relaunched);
        if (*c.toldAtRelaunch) {
            EXPECT_TRUE(notice.contains(QString::fromUtf8(c.toldAtRelaunch))) << notice.toStdString();
        } else {
            EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
        }
        // Word of a loss is told by the next run only.
        EXPECT_EQ(SessionHistory(optionsIn(folder, &notes)).lostAtLastQuit(), SessionHistory::LostSessions{});
        const QList<StoredSession> stored = relaunched.allSessions();
        ASSERT_EQ(stored.size(), c.storedAtRelaunch);
        EXPECT_EQ(rows(folder, "running_session"), 0);
        EXPECT_EQ(rows(folder, "running_segment"), 0);
        EXPECT_EQ(rows(folder, "running_note"), 0);
        if (stored.isEmpty())
            continue;
        EXPECT_EQ(stored[0].sessionID, id);
        EXPECT_EQ(stored[0].endedUnexpectedly, c.markedUnexpected);
        EXPECT_EQ(relaunched.sessionsWithoutSegments(0, 1).value(0).endedUnexpectedly, c.markedUnexpected);
        // A stop stores the whole session as it ended, also when a quit left it to the relaunch; else the last
        // write, segments and all, as a session ended early. A session that outgrew its room keeps the figures
        // and end it had, and the segments of its last whole write.
        const bool stopped = c.end == End::Stopped || c.end == End::Quit;
        StoredSession expected = StoredSession::fromSummary(id, stopped ? ended : last);
        if (c.keptAt > 0)
            expected = StoredSession::fromSummary(id, snapshotAt(c.keptAt));
        expected.endedUnexpectedly = c.markedUnexpected;
        if (c.timelineAt75)
            expected.segments = StoredSession::fromSummary(id, snapshotAt(75)).segments;
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

// A disk with less free than the room a session asks for gives what it has, by halves down to a few pages; an
// attempt it refuses leaves it as free as it was, so that a disk without room even for the least of them is left
// exactly as it was found. What was kept carries the session's writes once the disk is full.
TEST(RunningSession, TheRoomASessionTakesIsWhatTheDiskHas) {
    struct Case {
        qint64 freeKB;
        qint64 keptKB;
    };
    const Case cases[] = {{2000, 256}, {600, 256}, {500, 128}, {400, 128}, {300, 64},
                          {200, 64},   {150, 32},  {100, 16},  {64, 0},    {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freeKB);
        const QString folder = temporaryFolder();
        const QString path = folder + QStringLiteral("/History.store");
        const QUuid id = QUuid::createUuid();
        HistoryDatabase db(QStringLiteral("room-test"), QStringLiteral("QSQLITE"));
        db.openFile(path);
        ASSERT_TRUE(db.prepareRunningTables());
        db.writeRunning(StoredSession::fromSummary(id, snapshotAt(10)));
        // Reopened: the store merged, its -wal empty, as a store is at a launch.
        db.close();
        db.openFile(path);
        ASSERT_TRUE(db.prepareRunningTables());
        FullDisk disk(folder, c.freeKB * 1024);
        qint64 kept = 0;
        try {
            kept = db.reserveSpace(SessionHistory::reservedBytes);
        } catch (const HistoryStoreError& error) {
            EXPECT_EQ(error.reason(), QStringLiteral("database or disk is full"));
        }
        EXPECT_EQ(kept, c.keptKB * 1024);
        if (kept == 0) {
            EXPECT_EQ(disk.freeBytes(), c.freeKB * 1024);
            continue;
        }
        // The store and its -wal each hold the room, with a few pages over.
        EXPECT_LE(c.freeKB * 1024 - disk.freeBytes(), 2 * kept + 48 * 1024);
        disk.fill();
        for (double used : {20.0, 80.0, 140.0, 200.0, 260.0, 320.0})
            EXPECT_NO_THROW(db.writeRunning(StoredSession::fromSummary(id, snapshotAt(used)))) << used;
    }
}

// On a full disk a session asks for room once, and finds it only where the launch took it ahead: that room then
// carries the launch's first session.
TEST(RunningSession, ASessionTakesRoomOnceWhereTheDiskHasNone) {
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "room taken ahead" : "no room ahead");
        const QString folder = temporaryFolder();
        SessionHistory history(optionsIn(folder));
        history.open();
        if (ahead)
            history.keepRoomAhead();
        LogCapture logs;
        FullDisk disk(folder);
        const QUuid first = QUuid::createUuid();
        for (double used : {10.0, 80.0, 140.0})
            history.keepRunning(first, snapshotAt(used));
        const QString refused = QStringLiteral("History could not keep room for the running session");
        auto attempts = [&] {
            const QStringList lines = logs.messages(QStringLiteral("History"));
            return std::count_if(lines.cbegin(), lines.cend(),
                                 [&](const QString& line) { return line.startsWith(refused); });
        };
        EXPECT_EQ(attempts(), ahead ? 0 : 1);
        if (ahead) {
            EXPECT_EQ(history.runningLoss().kind, SessionHistory::RunningLoss::Kind::None);
        }
        history.keepRunning(QUuid::createUuid(), snapshotAt(10));
        EXPECT_EQ(attempts(), ahead ? 0 : 2);
    }
}
