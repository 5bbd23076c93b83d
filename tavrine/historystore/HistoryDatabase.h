#pragma once

#include "tavrine/core/Error.h"
#include "tavrine/historystore/StoredSession.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>
#include <unordered_map>

struct sqlite3;

namespace tavrine {

class SqliteStatement;

// A failure of the history database. It never leaves the history store: the store logs it and carries on.
class HistoryStoreError : public Error {
public:
    enum class Case { Unavailable, Unreadable, NewerSchema, Failed };

    HistoryStoreError(Case kind, QString description, int sqliteCode = -1, QString reason = {});

    Case kind() const { return m_case; }
    // SQLite's primary result code, -1 when the failure is not SQLite's.
    int sqliteCode() const { return m_sqliteCode; }
    // The description in SQLite's own words ("database or disk is full"), for a line a user reads.
    QString reason() const { return m_reason.isEmpty() ? m_description : m_reason; }
    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.HistoryStoreError"); }
    long code() const override { return long(m_case); }
    QString description() const override { return m_description; }

private:
    Case m_case;
    QString m_description;
    int m_sqliteCode;
    QString m_reason;
};

// The SQLite side of the history store: one named connection, the schema and its migrations, and one
// transaction per operation. Every failure throws HistoryStoreError; a failed write is rolled back whole.
class HistoryDatabase {
public:
    // The schema this build writes; a file of a later version is never opened for writing.
    static constexpr int schemaVersion = 1;

    HistoryDatabase(QString connectionName, QString driver);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // Opens the file for writing, creating it (mode 0600) when missing. An existing file must have passed
    // StoreFileCheck first: switching to WAL alone would rewrite the header of a file that is not ours.
    void openFile(const QString& path);
    // Opens the file for reading only; with `immutable` SQLite neither writes nor expects anything beside the
    // file (its -wal is not read then). Throws when the sessions cannot be read.
    void openReadOnly(const QString& path, bool immutable);
    void openInMemory();
    void close();
    bool isOpen() const;
    bool isReadOnly() const { return m_readOnly; }

    // Inserts the session with its segments (each with its ordinal) and, when a cutoff is given, deletes the
    // sessions that started strictly before it; all in one transaction.
    void insert(const StoredSession& session, std::optional<QDateTime> pruneBefore);
    // The row of the first session with that identifier.
    std::optional<qint64> sessionRow(const QUuid& sessionID);
    // The segment rows of a session, earliest start first, equal starts in recorded order.
    QList<qint64> segmentRowsByStart(qint64 session);
    enum class SegmentText { Phrase, Intent };
    // Sets one text column of the given segment rows, in one transaction.
    void setSegmentTexts(SegmentText column, const QList<std::pair<qint64, QString>>& values);
    // Deletes the sessions with that identifier (their segments go with them); answers how many.
    int deleteSession(const QUuid& sessionID);
    void deleteAll();

    // The tables of the running session and of the marks on sessions that ended unexpectedly, then those of the
    // running records' notes and of the room kept for a full disk. Made in any store that can be written, old ones
    // included; they leave the schema version alone, so every build of this schema still opens the file. False
    // when the store cannot take the first ones (then nothing is kept running); the later ones are left out when
    // it cannot take them.
    bool prepareRunningTables();
    bool keepsRunning() const { return m_runningTables; }
    // Why the running tables, or the notes' tables after them, could not be made (SQLite's words); empty when
    // they were, or were not tried.
    QString runningTablesFailure() const { return m_runningTablesFailure; }
    QString noteTablesFailure() const { return m_noteTablesFailure; }

    // What became of a running record since its last whole write.
    struct RunningNote {
        // The end of the last whole write: the segments reach this far, the end and the figures may reach further.
        QDateTime keptUntil;
        // The session was ended by its user or its time, not by Tavrine stopping under it.
        bool stopped = false;
        // Why the last write was not whole, in SQLite's words; empty when it was.
        QString failure;
        bool operator==(const RunningNote&) const = default;
    };
    struct RunningRecord {
        StoredSession session;
        std::optional<RunningNote> note; // none for a record written by a build without notes
    };

    // Replaces the running record of that session with this snapshot, in one transaction; `stopped` when the
    // snapshot is how the session ended. Throws when the store has no running tables.
    void writeRunning(const StoredSession& snapshot, bool stopped = false);
    // Brings the running record's end and figures to this snapshot's in place, its segments left as last written.
    // It adds no page to the store, so it goes through on a full disk where a whole write does not (`failure` says
    // why that one failed). False when the store holds no record of the session.
    bool touchRunning(const StoredSession& snapshot, bool stopped, const QString& failure);
    void dropRunning(const QUuid& sessionID);
    // The running records left in the store, with their segments and notes.
    QList<RunningRecord> runningRecords();
    // Ends a running record: stored as it stands (a snapshot of a running session is one ended early), marked as
    // stopped unexpectedly when `unexpected`, when its time used reaches `minimumSeconds`, else dropped; in one
    // transaction. Answers whether it was stored.
    bool endRunning(const StoredSession& snapshot, double minimumSeconds, bool unexpected);

    // Keeps room for a write of `bytes` inside the store's own files, as free pages in the file and as length of
    // its -wal, so that a session's record still goes through once the disk is full: a write into a file's
    // present length takes no new space. A disk that cannot give that much gives half, a quarter and so on, down to
    // a few pages; an attempt the disk refuses leaves both files as long as it found them. From then on the -wal is
    // merged into the file whenever what is left of its length after a write is less than half `bytes`, so that
    // the next write begins it again from its start. Answers the room kept; throws when there is none to take.
    qint64 reserveSpace(qint64 bytes);

    qint64 sessionCount();
    enum class Segments { With, Without };
    // Sessions newest first (equal starts: the later recorded first), with their segments unless asked otherwise.
    QList<StoredSession> sessions(qint64 offset, qint64 limit, Segments segments = Segments::With);
    std::optional<StoredSession> find(const QUuid& sessionID);

private:
    void openConnection(const QString& name, const QString& options);
    void configure(bool onDisk);
    void migrate();
    sqlite3* handle() const;
    // The statement of that text, prepared on first use and kept until the connection closes.
    SqliteStatement& statement(const QString& sql);
    // Which sessions a read takes: those of the stored or the running tables (as `s`) that `where` and `limit`
    // pick, in the `order` of their columns, with `values` bound.
    struct Selection {
        bool running = false;
        QString where;
        QString order;
        QString limit;
        QList<QVariant> values;
    };
    QList<StoredSession> readSessions(const Selection& selection, Segments segments = Segments::With);
    qint64 insertRows(const StoredSession& session, const QString& sessionTable, const QString& segmentTable);
    template <typename Body> void transaction(Body body);
    // Lengthens the store and its -wal for a filler of that many pages and commits the filler; false, and both
    // files as long as they were, when the disk refuses the length.
    bool takeRoom(qint64 pages, qint64 pageSize);
    // The same, synced to the disk at its commit: for the running record, which is all a crash or a failing disk
    // leaves of a running session.
    template <typename Body> void durableTransaction(Body body);
    // Takes every block of the -shm file that SQLite maps; throws when the disk has no room for them.
    void allocateSharedMemory(const QString& path);
    // Merges the -wal into the file where no reader stops it.
    void checkpoint();
    // After each commit, in place of SQLite's own merge at 1000 pages of -wal.
    static int afterCommit(void* database, sqlite3* db, const char* name, int walPages);

    QString m_connectionName;
    QString m_driver;
    QSqlDatabase m_db;
    bool m_runningTables = false;
    bool m_noteTables = false;
    QString m_runningTablesFailure;
    QString m_noteTablesFailure;
    bool m_onDisk = false;
    // Room a write may need, kept free in the -wal.
    qint64 m_walRoom = 0;
    qint64 m_pageSize = 4096;
    bool m_readOnly = false;
    // Our own descriptor of the -shm file, closed only after the connection.
    int m_sharedMemoryDescriptor = -1;
    std::unordered_map<QString, std::unique_ptr<SqliteStatement>> m_statements;
};

} // namespace tavrine
