#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/historystore/StoredSession.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace tavrine {

class HistoryDatabase;

// The store of finished sessions: "History.store" in the application-support folder, opened on first use.
// One object per application run, on the main thread. It never throws and never ends the application: a
// failure is logged in the "History" category, and an unusable file is left untouched while the history runs
// in memory (or, when even that fails, is off). Every operation is one transaction; a session whose recording
// failed is kept here and written again at the next operation or at quit. Reads always show what is really
// stored, and `changed` tells every reader (the History window's list) that it should read again.
class SessionHistory : public QObject {
    Q_OBJECT
    Q_PROPERTY(Availability availability READ availability NOTIFY availabilityChanged)
    Q_PROPERTY(bool keptUnreadableStore READ keptUnreadableStore NOTIFY availabilityChanged)

public:
    enum class Availability {
        Closed,   // not opened yet
        OnDisk,   // the store file
        InMemory, // lost at quit: asked for, or the file could not be used
        Off,      // nothing could be opened; nothing is recorded
    };
    Q_ENUM(Availability)

    struct Options {
        // Sessions that started longer ago than this before a new recording are deleted by it; none keeps all.
        std::optional<double> retention;
        // Keep the history in memory only (tests, runs that must leave nothing behind).
        bool inMemory = false;
        // The application-support folder holding "History.store"; empty means defaultFolder().
        QString folder;
        // The Qt Sql driver; only tests change it.
        QString driver = QStringLiteral("QSQLITE");
    };

    explicit SessionHistory(Options options, QObject* parent = nullptr);
    explicit SessionHistory(QObject* parent = nullptr);
    ~SessionHistory() override;

    static QString defaultFolder();
    static QString fileName() { return QStringLiteral("History.store"); }
    // Where the store file is (or would be).
    QString storePath() const;

    Availability availability() const { return m_availability; }
    // An existing store file could not be read (not a history database, or written by a newer version): it
    // was left as it was and the history runs in memory. For a later notice to the user.
    bool keptUnreadableStore() const { return m_keptUnreadableStore; }
    // Opens the store now (otherwise the first operation does).
    void open();

    // Stores a finished session and prunes by the retention; answers the new session identifier, or nothing
    // when the history is off (then the later phrase and intent updates have nothing to address). A session
    // that was kept running under `runningID` is stored under that identifier and its running record goes in
    // the same transaction.
    std::optional<QUuid> record(const SessionSummary& summary, const QDateTime& now,
                                std::optional<QUuid> runningID = std::nullopt);

    // The running session, written while it runs so that a crash, a kill or a lost display costs at most what
    // happened since the last write. Each write is one transaction that replaces the session's record.
    void keepRunning(const QUuid& sessionID, const SessionSummary& snapshot);
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
    // Deletes one session with its segments.
    void deleteSession(const QUuid& sessionID);
    // What clearing the history came to: on failure nothing was deleted, and `failure` says why in words a
    // user can read.
    struct DeleteAllResult {
        bool deleted = false;
        QString failure;
    };
    // Deletes every session, the ones still waiting to be written included, or none at all: a failed delete, an
    // unusable history, or a store file that could not be read (kept aside, so its sessions still exist) leave
    // every session in place.
    DeleteAllResult deleteAll();

    qint64 sessionCount();
    // A page of the stored sessions, newest first (equal starts: the later recorded first), with segments.
    QList<StoredSession> sessions(qint64 offset, qint64 limit);
    QList<StoredSession> allSessions();
    std::optional<StoredSession> find(const QUuid& sessionID);

    // Sessions whose recording failed and that wait for the next attempt.
    qsizetype pendingCount() const { return m_pending.size(); }
    // Writes the waiting sessions now; runs at quit, and before every operation.
    void flush();

signals:
    void changed();
    void availabilityChanged();

private:
    enum class Column { Phrase, Intent };
    bool ensureOpen();
    void openMemory();
    void prepareRunningTables();
    void setAvailability(Availability availability);
    void update(Column column, const QUuid& sessionID, const SessionSummary& summary);
    void quitting();

    Options m_options;
    std::unique_ptr<HistoryDatabase> m_db;
    Availability m_availability = Availability::Closed;
    bool m_keptUnreadableStore = false;
    QList<StoredSession> m_pending;
    qint64 m_runningWrites = 0;
};

} // namespace tavrine
