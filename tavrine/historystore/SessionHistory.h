#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/historystore/StoreFileCheck.h"
#include "tavrine/historystore/StoredSession.h"

#include <QDateTime>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace tavrine {

class HistoryDatabase;
class UserDefaults;

// The store of finished sessions: "History.store" in the application-support folder, opened on first use.
// One object per application run, on the main thread. It never throws and never ends the application: a
// failure is logged in the "History" category and described by `status`. An existing file is checked before
// it is opened for writing; one that cannot be read is renamed aside unchanged and a fresh file takes its
// place, one of a newer version or in a place that cannot be written is only read, and one that is busy,
// locked or not permitted is left where it is. Every operation is one transaction; a session that could not
// be written is kept here and tried again (the file too) when the next session is recorded and at quit; one that
// still cannot be written is left to the next launch in its running record, brought to the session's end whole or,
// on a full disk, as far as the store still takes it, or, without a record, named in the notes for the next run.
// A running session keeps room for its record inside the store's own files, so that a disk that fills while it
// runs still takes it. Reads always show what is really stored, and `changed` tells every reader (the History
// window's list) to read again.
class SessionHistory : public QObject {
    Q_OBJECT
    Q_PROPERTY(Availability availability READ availability NOTIFY availabilityChanged)

public:
    enum class Availability {
        Closed,      // not opened yet
        Checking,    // an existing file is being read through before use; sessions recorded meanwhile wait
        OnDisk,      // the store file
        ReadOnly,    // the file's sessions are shown, nothing is written into it
        InMemory,    // asked for: lost at quit
        Unavailable, // nothing to read or write; sessions wait in memory for a later attempt
    };
    Q_ENUM(Availability)

    // What went wrong with the store file, for the one line the History window and the recap show.
    struct Status {
        enum class Problem {
            None,
            SetAside,    // unreadable; renamed to `movedTo`, a fresh file took its place
            NewerSchema, // written by a later version; read only
            ReadOnly,    // cannot be written (a read-only folder, a full disk); read only
            Unavailable, // cannot be used at all this run
        };
        Problem problem = Problem::None;
        QString path;    // the store file
        QString reason;  // why, in plain words or the system's (never SQLite's integrity report)
        QString movedTo; // where an unreadable file is now
        // Read with SQLite's immutable flag: sessions still in the file's -wal do not show.
        bool walHidden = false;
        bool operator==(const Status&) const = default;
    };

    struct Options {
        // Sessions that started longer ago than this before a new recording are deleted by it; none keeps all.
        std::optional<double> retention;
        // Keep the history in memory only (tests, runs that must leave nothing behind).
        bool inMemory = false;
        // The application-support folder holding "History.store"; empty means defaultFolder().
        QString folder;
        // The Qt Sql driver; only tests change it.
        QString driver = QStringLiteral("QSQLITE");
        // Read an existing file through on a worker thread: at 100,000 sessions that takes a good part of a
        // second. Until it is done reads find nothing and recorded sessions wait.
        bool checkInBackground = false;
        // Where a run that quits with sessions it could neither store nor keep a running record of leaves word of
        // them for the next run; none leaves only the log line.
        UserDefaults* notes = nullptr;
    };

    // What the run before this one could not save: sessions it lost whole at quit, having neither stored them nor
    // kept a record for the next launch (told through the notes), and sessions this launch stored from their
    // running records without their last stretch, the disk having taken no more of them.
    struct LostSessions {
        qint64 count = 0;
        QString reason;
        struct PartlySaved {
            QDateTime startedAt;
            double missingSeconds = 0; // of the session's time, at its end, that has no timeline
            QString reason;
            // Its time and figures reach its end (only the timeline falls short); else they stop where the timeline
            // does, and `missingSeconds` is time used that the stored session lacks.
            bool figuresKept = true;
            bool operator==(const PartlySaved&) const = default;
        };
        QList<PartlySaved> partlySaved;
        // Sessions that were running when the run before this one stopped, of which the store kept nothing (or
        // less than a minute, which is not stored): when they started and how long they had been used.
        struct LostRunning {
            QDateTime startedAt;
            double usedSeconds = 0;
            QString reason;
            bool operator==(const LostRunning&) const = default;
        };
        QList<LostRunning> lostRunning = {};
        bool operator==(const LostSessions&) const = default;
    };

    // Room kept inside the store's files for a running session's record: a long session's twice over (and once
    // over ahead in the -wal at any time).
    static constexpr qint64 reservedBytes = 256 * 1024;
    // A running record used for less than this is never stored: a session must have lasted a minute.
    static constexpr double shortestStored = 60.0;

    // How far the store's record of the running session falls short of the session as it now stands, for the
    // line that History and the running screen show while it runs.
    struct RunningLoss {
        enum class Kind {
            None,     // kept up to its last write
            Timeline, // its time and figures kept, its timeline only up to its first `keptSeconds` of use
            Behind,   // kept only as it stood after `keptSeconds` of use (a minute or more)
            Nothing,  // nothing of it would be stored: no record, or one of under a minute
        };
        Kind kind = Kind::None;
        double keptSeconds = 0;
        QString reason;
        // Each later write tries again; false when the store cannot be written at all this run (its own line
        // says so).
        bool retried = true;
        bool operator==(const RunningLoss&) const = default;
    };

    explicit SessionHistory(Options options, QObject* parent = nullptr);
    // The application's store: the default folder, an existing file checked in the background.
    explicit SessionHistory(QObject* parent = nullptr);
    ~SessionHistory() override;

    static QString defaultFolder();
    static QString fileName() { return QStringLiteral("History.store"); }
    // Where the store file is (or would be).
    QString storePath() const;

    Availability availability() const { return m_availability; }
    const Status& status() const { return m_status; }
    // Sessions recorded now reach the file (or, when asked for, memory).
    bool savesSessions() const;
    // Opens the store now (otherwise the first operation does); an existing file may still be checked after.
    void open();
    // Waits for the check of an existing file, if one runs.
    void waitUntilOpen();

    // Stores a finished session and prunes by the retention; answers the new session identifier, or nothing
    // when the history is off (then the later phrase and intent updates have nothing to address). A session
    // that was kept running under `runningID` is stored under that identifier and its running record goes in
    // the same transaction.
    std::optional<QUuid> record(const SessionSummary& summary, const QDateTime& now,
                                std::optional<QUuid> runningID = std::nullopt);

    // The running session, written while it runs so that a crash, a kill or a lost display costs at most what
    // happened since the last write. Each write is one transaction that replaces the session's record; where the
    // store takes no more (a full disk), the record's end and figures are still brought up to the snapshot's.
    void keepRunning(const QUuid& sessionID, const SessionSummary& snapshot);
    // Takes the room a running session keeps before any session needs it. A session's first write finds it then
    // (a launch's first -wal is empty, and lengthening it and the store took that write some 8 ms of waiting for
    // the disk where a later session took 1).
    void keepRoomAhead();
    // How far the running session's record falls short of it; kind None when it keeps it (or nothing runs).
    const RunningLoss& runningLoss() const { return m_runningLoss; }
    // The running session ended without being stored (it lasted less than a minute).
    void dropRunning(const QUuid& sessionID);
    // Ends the running session now as the process goes away unexpectedly: stored as ended early, and marked so,
    // when it was used for at least `minimumSeconds`, else dropped.
    void endRunningUnexpectedly(const QUuid& sessionID, const SessionSummary& snapshot, double minimumSeconds);
    // At launch: every running record a process left behind is stored as ended early at its last write when
    // it was used for at least `minimumSeconds` by then, and dropped otherwise. Answers how many were stored.
    int recoverRunning(double minimumSeconds);
    // Running records written by this object (for measuring what keeping a session costs).
    qint64 runningWrites() const { return m_runningWrites; }
    // Copies the phrases of the summary's non-gap segments, by position (stored segments in start order), when
    // the counts match; otherwise writes nothing.
    void updatePhrases(const QUuid& sessionID, const SessionSummary& summary);
    // The same for the intents, writing only the non-empty ones.
    void updateIntents(const QUuid& sessionID, const SessionSummary& summary);
    // Deletes one session with its segments. False when the store refused: the session is still there, and
    // `deleteFailure` says why until a later delete goes through.
    bool deleteSession(const QUuid& sessionID);
    QString deleteFailure() const { return m_deleteFailure; }
    // What clearing the history came to: on failure nothing was deleted, and `failure` says why in words a
    // user can read.
    struct DeleteAllResult {
        bool deleted = false;
        QString failure;
    };
    // Deletes every session, the ones still waiting to be written included, or none at all: a failed delete, or
    // a file that is only read or not usable at all (its sessions still exist) leave every session in place.
    DeleteAllResult deleteAll();

    qint64 sessionCount();
    // A page of the stored sessions, newest first (equal starts: the later recorded first), with segments.
    QList<StoredSession> sessions(qint64 offset, qint64 limit);
    // The same page without the segments, for a list of the sessions themselves: most of a page's reading is its
    // segments.
    QList<StoredSession> sessionsWithoutSegments(qint64 offset, qint64 limit);
    QList<StoredSession> allSessions();
    std::optional<StoredSession> find(const QUuid& sessionID);

    // Sessions whose recording failed and that wait for the next attempt.
    qsizetype pendingCount() const { return m_pending.size(); }
    // Why the session that started at that moment waits unsaved; empty when it is not waiting.
    QString unsavedReason(const QDateTime& startedAt) const;
    // Why the waiting sessions could not be written; empty when none waits.
    QString saveFailure() const;
    // Writes the waiting sessions now; runs at quit, and before every operation.
    void flush();
    // What the run before this one lost at quit (read once, when this object is made, and then forgotten in the
    // notes: it is told for this whole run).
    const LostSessions& lostAtLastQuit() const { return m_lostAtLastQuit; }

    // The notes' keys.
    static constexpr const char* lostCountKey = "unsavedSessionsAtQuit";
    static constexpr const char* lostReasonKey = "unsavedSessionsAtQuitReason";
    // A running session whose record falls short of it, kept up to date while it runs so that a kill leaves word
    // of it; the identifier is written last and removed first.
    static constexpr const char* runningIdKey = "unsavedRunningSession";
    static constexpr const char* runningStartKey = "unsavedRunningSessionStart";
    static constexpr const char* runningSecondsKey = "unsavedRunningSessionSeconds";
    static constexpr const char* runningReasonKey = "unsavedRunningSessionReason";
    static constexpr const char* runningStoppedKey = "unsavedRunningSessionStopped";

signals:
    void changed();
    void availabilityChanged();
    // Sessions began or stopped waiting to be written, or what the store has to say about its writes changed (a
    // running session it cannot keep, a delete it refused).
    void waitingChanged();

private:
    enum class Column { Phrase, Intent };
    bool ensureOpen();
    bool writable() const;
    void openMemory();
    void prepareRunningTables();
    // Room for a running session in the store's files (reservedBytes, or what the disk has), each failure logged.
    void takeRoom();
    void finishOpen(const QString& path, const StoreFileCheck::Result& check);
    void openForWriting(const QString& path, Status status);
    void openForReading(const QString& path, bool immutable, Status status);
    void becomeUnavailable(Status status);
    // Tries the file again when it could not be written for a reason that may pass (space freed, a folder
    // made writable).
    void retryUnwritable();
    // Why a session cannot be written now, in words for the recap.
    QString unwritableReason() const;
    void setState(Availability availability, Status status);
    void setAvailability(Availability availability);
    void update(Column column, const QUuid& sessionID, const SessionSummary& summary);
    QList<StoredSession> page(qint64 offset, qint64 limit, bool withSegments);
    void quitting();
    // Leaves word for the next run of sessions lost at quit.
    void noteLost(qint64 count);
    // Brings a running record's end and figures to the snapshot's in place; false when that too failed.
    bool touchRunning(const StoredSession& snapshot, bool stopped, const QString& failure);
    // A session the store refused at its end: its running record is brought to that end for the next launch.
    void leaveToNextLaunch(const StoredSession& stored);
    // The running session's loss as its latest write left it; noted for the next run unless kind None.
    void setRunningLoss(const StoredSession& now, const RunningLoss& loss);
    void clearRunningLoss();
    // Leaves word of a running session whose record falls short of `now` for the next run, in the notes.
    void noteRunning(const StoredSession& now, const QString& reason, bool stopped);
    void forgetRunningNote(const QUuid& sessionID);
    // Tells what became of the session the run before left word of, once its record was stored or dropped.
    void resolveLeftRunning(const QHash<QUuid, StoredSession>& stored, const QSet<QUuid>& toldInPart);
    void setDeleteFailure(const QString& failure);

    Options m_options;
    std::unique_ptr<HistoryDatabase> m_db;
    Availability m_availability = Availability::Closed;
    Status m_status;
    QFuture<StoreFileCheck::Result> m_check;
    QList<StoredSession> m_pending;
    qint64 m_runningWrites = 0;
    std::optional<double> m_pendingRecovery; // asked for while the file was still checked
    QString m_saveFailure;                   // why the waiting sessions could not be written
    // How the store holds each session that has a running record in it.
    enum class Kept { Running, EndedWhole, EndedInPart };
    QHash<QUuid, Kept> m_kept;
    // The session whose first write took room for it.
    QUuid m_roomFor;
    RunningLoss m_runningLoss;
    // The running session's time used at its last whole write, and what its record holds (whole or in place).
    QUuid m_runningID;
    double m_wholeSeconds = 0;
    double m_recordSeconds = 0;
    // The session of which this run has left word in the notes.
    QUuid m_notedRunning;
    // What the run before left word of.
    struct LeftRunning {
        QUuid sessionID;
        QDateTime startedAt;
        double usedSeconds = 0;
        QString reason;
        bool stopped = false;
    };
    std::optional<LeftRunning> m_leftRunning;
    QString m_deleteFailure;
    LostSessions m_lostAtLastQuit;
};

} // namespace tavrine
