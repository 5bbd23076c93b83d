#include "tavrine/historystore/HistoryDatabase.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/historystore/SqliteStatement.h"
#include "tavrine/historystore/StoreFileCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrine {

HistoryStoreError::HistoryStoreError(Case kind, QString description, int sqliteCode, QString reason)
    : m_case(kind), m_description(std::move(description)), m_sqliteCode(sqliteCode), m_reason(std::move(reason)) {}

QString HistoryStoreError::caseName() const {
    switch (m_case) {
    case Case::Unavailable:
        return QStringLiteral("unavailable");
    case Case::Unreadable:
        return QStringLiteral("unreadable");
    case Case::NewerSchema:
        return QStringLiteral("newerSchema");
    case Case::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

namespace {

using Case = HistoryStoreError::Case;

[[noreturn]] void fail(Case kind, const QSqlError& error) {
    throw HistoryStoreError(kind, error.text(), StoreFileCheck::sqliteCode(error), StoreFileCheck::reasonOf(error));
}

QSqlQuery prepared(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(Case::Failed, query.lastError());
    return query;
}

void run(QSqlQuery& query) {
    if (!query.exec())
        fail(Case::Failed, query.lastError());
}

void run(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        fail(Case::Failed, query.lastError());
}

// A null QString binds as SQL NULL; stored texts are never NULL.
QString text(const QString& value) {
    return value.isNull() ? QString::fromLatin1("") : value;
}

double unixSeconds(const QDateTime& date) {
    return date.isValid() ? double(date.toMSecsSinceEpoch()) / 1000.0 : 0.0;
}

QDateTime fromUnixSeconds(double seconds) {
    // UTC: the same instant, without a time-zone lookup per value (a page holds thousands of them).
    return QDateTime::fromMSecsSinceEpoch(roundedNumber(seconds * 1000.0), Qt::UTC);
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString titlesText(const QStringList& titles) {
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(titles)).toJson(QJsonDocument::Compact));
}

QStringList titlesFromJson(const QByteArray& stored) {
    QStringList titles;
    const QJsonArray array = QJsonDocument::fromJson(stored).array();
    for (const QJsonValue& value : array)
        titles.append(value.toString());
    return titles;
}

// The titles as titlesText writes them: a compact array of strings. Without a backslash no string holds an
// escape or a quote, so each one lies between a pair of quotes; anything else (an escape, spaces around the
// commas) goes through the JSON reader, which builds a whole document, allocations and all, for each segment.
QStringList titlesFrom(const QByteArray& stored) {
    const char* data = stored.constData();
    const qsizetype size = stored.size();
    if (size < 2 || data[0] != '[' || data[size - 1] != ']' || stored.contains('\\'))
        return titlesFromJson(stored);
    QStringList titles;
    qsizetype at = 1;
    while (at < size - 1) {
        if (data[at] != '"')
            return titlesFromJson(stored);
        const char* close = static_cast<const char*>(std::memchr(data + at + 1, '"', size_t(size - at - 1)));
        if (!close)
            return titlesFromJson(stored);
        const qsizetype end = close - data;
        titles.append(QString::fromUtf8(data + at + 1, end - at - 1));
        at = end + 1;
        if (data[at] == ',' && at < size - 2)
            ++at;
        else if (at != size - 1)
            return titlesFromJson(stored);
    }
    return titles;
}

const char* const schemaV1[] = {
    "CREATE TABLE session ("
    " id INTEGER PRIMARY KEY,"
    " session_id TEXT NOT NULL,"
    " started_at REAL NOT NULL,"
    " ended_at REAL NOT NULL,"
    " intention TEXT NOT NULL,"
    " focused_seconds REAL NOT NULL,"
    " completed INTEGER NOT NULL,"
    " detours INTEGER NOT NULL,"
    " detour_seconds REAL NOT NULL,"
    " longest_streak REAL NOT NULL)",
    "CREATE INDEX session_by_start ON session (started_at, id)",
    "CREATE INDEX session_by_uuid ON session (session_id)",
    "CREATE TABLE segment ("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL REFERENCES session (id) ON DELETE CASCADE,"
    " ordinal INTEGER NOT NULL,"
    " kind TEXT NOT NULL,"
    " started_at REAL NOT NULL,"
    " ended_at REAL NOT NULL,"
    " phrase TEXT NOT NULL,"
    " intent TEXT NOT NULL DEFAULT '',"
    " app TEXT NOT NULL,"
    " host TEXT NOT NULL,"
    " titles TEXT NOT NULL)",
    "CREATE INDEX segment_by_session ON segment (session, ordinal)",
};

// A session's figures: the columns that a full write inserts and that the in-place update of a running record
// sets, bound in this order by bindFigures. One list, so that a column added to the session reaches both.
const char* const figureColumns[] = {"ended_at", "focused_seconds", "completed",
                                     "detours",  "detour_seconds",  "longest_streak"};

// "ended_at, focused_seconds, …", each name followed by `after` ("" or " = ?").
QString figureList(QLatin1StringView after = {}) {
    QStringList columns;
    for (const char* column : figureColumns)
        columns.append(QLatin1String(column) + after);
    return columns.join(QStringLiteral(", "));
}

QString figurePlaceholders() {
    return QStringList(std::size(figureColumns), QStringLiteral("?")).join(QStringLiteral(", "));
}

void bindFigures(QSqlQuery& query, const StoredSession& session) {
    query.addBindValue(unixSeconds(session.endedAt));
    query.addBindValue(finiteOrZero(session.focusedSeconds));
    query.addBindValue(session.completed ? 1 : 0);
    query.addBindValue(session.detours);
    query.addBindValue(finiteOrZero(session.detourSeconds));
    query.addBindValue(finiteOrZero(session.longestStreak));
}

// Its running segments go with it (a cascade).
void deleteRunning(const QSqlDatabase& db, const QUuid& sessionID) {
    QSqlQuery query = prepared(db, QStringLiteral("DELETE FROM running_session WHERE session_id = ?"));
    query.addBindValue(uuidText(sessionID));
    run(query);
}

// The running session is kept in copies of the store's own two tables, so that ending it is a copy of its rows;
// a mark names the stored sessions that ended because Tavrine stopped unexpectedly. New tables only: a store
// with them still reads as the same schema version.
const std::pair<const char*, const char*> runningCopies[] = {{"session", "running_session"},
                                                             {"segment", "running_segment"}};
const char* const runningExtras[] = {
    "CREATE INDEX IF NOT EXISTS running_segment_by_session ON running_segment (session, ordinal)",
    "CREATE TABLE IF NOT EXISTS unexpected_end ("
    " session INTEGER PRIMARY KEY REFERENCES session (id) ON DELETE CASCADE)",
};
// A note on each running record, changed in place when a whole write no longer fits; and a table that only ever
// holds the filler that makes room, for the moment between its insert and its delete.
const char* const noteTables[] = {
    "CREATE TABLE IF NOT EXISTS running_note ("
    " session INTEGER PRIMARY KEY REFERENCES running_session (id) ON DELETE CASCADE,"
    " kept_until REAL NOT NULL,"
    " stopped INTEGER NOT NULL DEFAULT 0,"
    " failure TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS space_reserve (filler BLOB)",
};

} // namespace

HistoryDatabase::HistoryDatabase(QString connectionName, QString driver)
    : m_connectionName(std::move(connectionName)), m_driver(std::move(driver)) {}

HistoryDatabase::~HistoryDatabase() {
    close();
}

bool HistoryDatabase::isOpen() const {
    return m_db.isOpen();
}

void HistoryDatabase::close() {
    // Prepared statements hold the connection open: they go first.
    m_statements.clear();
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    // Only once SQLite has let go of the -shm file (see allocateSharedMemory).
    if (m_sharedMemoryDescriptor >= 0)
        ::close(m_sharedMemoryDescriptor);
    m_sharedMemoryDescriptor = -1;
    m_runningTables = false;
    m_noteTables = false;
    m_onDisk = false;
    m_readOnly = false;
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void HistoryDatabase::openConnection(const QString& name, const QString& options) {
    close();
    m_db = QSqlDatabase::addDatabase(m_driver, m_connectionName);
    if (!m_db.isValid())
        throw HistoryStoreError(Case::Unavailable, QStringLiteral("database driver %1 not available").arg(m_driver));
    m_db.setDatabaseName(name);
    m_db.setConnectOptions(options);
    if (!m_db.open()) {
        const QSqlError error = m_db.lastError();
        close();
        fail(Case::Unavailable, error);
    }
}

void HistoryDatabase::openFile(const QString& path) {
    close();
    const QFileInfo info(path);
    if (info.exists()) {
        if (!info.isFile())
            throw HistoryStoreError(Case::Unreadable, QStringLiteral("%1 is not a file").arg(path));
    } else {
        // Created owner-only before SQLite sees it; SQLite gives its -wal and -shm files the same mode.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            throw HistoryStoreError(
                Case::Unavailable,
                QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        if (fd >= 0)
            ::close(fd);
    }

    openConnection(path, {});
    try {
        configure(true);
        migrate();
        allocateSharedMemory(path + QStringLiteral("-shm"));
    } catch (...) {
        close();
        throw;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_onDisk = true;
    m_walRoom = 0;
    sqlite3_wal_hook(handle(), &HistoryDatabase::afterCommit, this);
}

void HistoryDatabase::allocateSharedMemory(const QString& path) {
    // SQLite maps its -shm file and extends it with a byte written every 4 kB: on a file system of 1 kB blocks (ext4
    // under 512 MB) the rest of each 4 kB stays unallocated, and once the disk is full SQLite's first store there
    // kills the process with SIGBUS. Its blocks are taken now, contents unchanged, while there is room; without
    // room the store is not written at all rather than crash the session.
    // The descriptor stays open while the connection is: closing any descriptor of a file drops every lock this
    // process holds on it, SQLite's hold on the -shm included, and another process's reader would then take the
    // file for unused and clear it under our mapping (SIGBUS, or a wal-index rebuilt under our writes).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return; // no -shm: SQLite keeps its index elsewhere
    m_sharedMemoryDescriptor = fd;
    struct stat status {};
    int result = ::fstat(fd, &status);
    if (result == 0 && status.st_size > 0)
        result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, status.st_size);
    const int error = result == 0 ? 0 : errno;
    if (error == ENOSPC || error == EDQUOT)
        throw HistoryStoreError(
            Case::Failed,
            QStringLiteral("cannot allocate %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))),
            SQLITE_FULL, QStringLiteral("database or disk is full"));
    // A file system that does not allocate ahead (EOPNOTSUPP) allocates on write, as it always did.
}

int HistoryDatabase::afterCommit(void* database, sqlite3* db, const char* name, int walPages) {
    const auto* self = static_cast<const HistoryDatabase*>(database);
    // A page in the -wal is the page and a 24-byte frame header, after the file's 32-byte header.
    const qint64 used = 32 + qint64(walPages) * (self->m_pageSize + 24);
    const bool roomRunsOut =
        self->m_walRoom > 0 &&
        QFileInfo(self->m_db.databaseName() + QStringLiteral("-wal")).size() - used < self->m_walRoom;
    if (walPages >= 1000 || roomRunsOut)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

void HistoryDatabase::openReadOnly(const QString& path, bool immutable) {
    if (immutable)
        openConnection(StoreFileCheck::immutableUri(path), QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    else
        openConnection(path, QStringLiteral("QSQLITE_OPEN_READONLY"));
    m_readOnly = true;
    try {
        // SQLite opens lazily: the first read says whether the sessions can be read at all.
        sessionCount();
    } catch (...) {
        close();
        throw;
    }
}

void HistoryDatabase::openInMemory() {
    openConnection(QStringLiteral(":memory:"), {});
    try {
        configure(false);
        migrate();
    } catch (...) {
        close();
        throw;
    }
}

void HistoryDatabase::configure(bool onDisk) {
    // Per connection, and ignored inside a transaction: set before any.
    run(m_db, QStringLiteral("PRAGMA foreign_keys = ON"));
    if (onDisk) {
        run(m_db, QStringLiteral("PRAGMA journal_mode = WAL"));
        run(m_db, QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
}

void HistoryDatabase::migrate() {
    transaction([this] {
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            fail(Case::Failed, query.lastError());
        const int version = query.value(0).toInt();
        query.finish();
        if (version > schemaVersion)
            throw HistoryStoreError(
                Case::NewerSchema,
                QStringLiteral("schema version %1 is newer than %2").arg(version).arg(schemaVersion));
        // One step per version, each from the one before; a later schema adds its step below.
        if (version < 1) {
            for (const char* statement : schemaV1)
                run(m_db, QString::fromLatin1(statement));
        }
        if (version != schemaVersion)
            run(m_db, QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    });
}

template <typename Body> void HistoryDatabase::transaction(Body body) {
    if (!m_db.isOpen())
        throw HistoryStoreError(Case::Unavailable, QStringLiteral("the history database is not open"));
    if (!m_db.transaction())
        fail(Case::Failed, m_db.lastError());
    try {
        body();
        if (!m_db.commit())
            fail(Case::Failed, m_db.lastError());
    } catch (...) {
        m_db.rollback();
        throw;
    }
}

void HistoryDatabase::insert(const StoredSession& session, std::optional<QDateTime> pruneBefore) {
    transaction([&] {
        insertRows(session, QStringLiteral("session"), QStringLiteral("segment"));
        // The running record of the session becomes this stored session in the same transaction: a crash right
        // after leaves one of the two, never both.
        if (m_runningTables) {
            deleteRunning(m_db, session.sessionID);
        }
        if (pruneBefore) {
            QSqlQuery prune = prepared(m_db, QStringLiteral("DELETE FROM session WHERE started_at < ?"));
            prune.addBindValue(unixSeconds(*pruneBefore));
            run(prune);
        }
    });
}

qint64 HistoryDatabase::insertRows(const StoredSession& session, const QString& sessionTable,
                                   const QString& segmentTable) {
    QSqlQuery row = prepared(m_db, QStringLiteral("INSERT INTO %1 (session_id, started_at, intention, %2) VALUES "
                                                  "(?, ?, ?, %3)")
                                       .arg(sessionTable, figureList(), figurePlaceholders()));
    row.addBindValue(uuidText(session.sessionID));
    row.addBindValue(unixSeconds(session.startedAt));
    row.addBindValue(text(session.intention));
    bindFigures(row, session);
    run(row);
    const qint64 sessionRow = row.lastInsertId().toLongLong();

    QSqlQuery segment = prepared(m_db, QStringLiteral("INSERT INTO %1 (session, ordinal, kind, started_at, "
                                                      "ended_at, phrase, intent, app, host, titles) VALUES (?, "
                                                      "?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                           .arg(segmentTable));
    for (qsizetype ordinal = 0; ordinal < session.segments.size(); ++ordinal) {
        const StoredSegment& stored = session.segments[ordinal];
        segment.bindValue(0, sessionRow);
        segment.bindValue(1, qint64(ordinal));
        segment.bindValue(2, text(stored.kind));
        segment.bindValue(3, unixSeconds(stored.startedAt));
        segment.bindValue(4, unixSeconds(stored.endedAt));
        segment.bindValue(5, text(stored.phrase));
        segment.bindValue(6, text(stored.intent));
        segment.bindValue(7, text(stored.app));
        segment.bindValue(8, text(stored.host));
        segment.bindValue(9, titlesText(stored.titles));
        run(segment);
    }
    return sessionRow;
}

bool HistoryDatabase::prepareRunningTables() {
    m_runningTables = false;
    m_noteTables = false;
    m_runningTablesFailure.clear();
    m_noteTablesFailure.clear();
    try {
        transaction([this] {
            for (const auto& [table, copy] : runningCopies) {
                QSqlQuery schema =
                    prepared(m_db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"));
                schema.addBindValue(QString::fromLatin1(table));
                run(schema);
                if (!schema.next())
                    throw HistoryStoreError(Case::Failed, QStringLiteral("no %1 table").arg(QLatin1String(table)));
                QString sql = schema.value(0).toString();
                schema.finish();
                sql.replace(QStringLiteral("CREATE TABLE %1 (").arg(QLatin1String(table)),
                            QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (").arg(QLatin1String(copy)));
                sql.replace(QStringLiteral("REFERENCES session ("), QStringLiteral("REFERENCES running_session ("));
                if (!sql.contains(QLatin1String(copy)))
                    throw HistoryStoreError(Case::Failed,
                                            QStringLiteral("unexpected schema of %1").arg(QLatin1String(table)));
                run(m_db, sql);
            }
            for (const char* statement : runningExtras)
                run(m_db, QString::fromLatin1(statement));
        });
    } catch (const HistoryStoreError& error) {
        m_runningTablesFailure = error.reason();
        return false;
    }
    m_runningTables = true;
    try {
        transaction([this] {
            for (const char* statement : noteTables)
                run(m_db, QString::fromLatin1(statement));
        });
        m_noteTables = true;
    } catch (const HistoryStoreError& error) {
        m_noteTablesFailure = error.reason();
    }
    return true;
}

template <typename Body> void HistoryDatabase::durableTransaction(Body body) {
    if (!m_onDisk) {
        transaction(body);
        return;
    }
    // A commit reaches the -wal's file but not the disk until it is synced: a file system that turns read-only
    // (after a disk error) drops it, and the record would be older than it was said to be.
    run(m_db, QStringLiteral("PRAGMA synchronous = FULL"));
    try {
        transaction(body);
    } catch (...) {
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        throw;
    }
    run(m_db, QStringLiteral("PRAGMA synchronous = NORMAL"));
}

void HistoryDatabase::writeRunning(const StoredSession& snapshot, bool stopped) {
    // Never taken for a record kept: a session that believed itself kept would be lost in silence.
    if (!m_runningTables)
        throw HistoryStoreError(Case::Failed,
                                QStringLiteral("the history keeps no running session: %1").arg(m_runningTablesFailure),
                                -1, m_runningTablesFailure);
    durableTransaction([&] {
        deleteRunning(m_db, snapshot.sessionID);
        const qint64 row = insertRows(snapshot, QStringLiteral("running_session"), QStringLiteral("running_segment"));
        if (!m_noteTables)
            return;
        QSqlQuery note = prepared(m_db, QStringLiteral("INSERT INTO running_note (session, kept_until, stopped, "
                                                       "failure) VALUES (?, ?, ?, '')"));
        note.addBindValue(row);
        note.addBindValue(unixSeconds(snapshot.endedAt));
        note.addBindValue(stopped ? 1 : 0);
        run(note);
    });
}

bool HistoryDatabase::touchRunning(const StoredSession& snapshot, bool stopped, const QString& failure) {
    if (!m_runningTables)
        return false;
    bool touched = false;
    // Numbers, and a few words on a row of its own: each row keeps about its size, so both stay on the pages they
    // are on.
    durableTransaction([&] {
        QSqlQuery figures = prepared(m_db, QStringLiteral("UPDATE running_session SET %1 WHERE session_id = ?")
                                               .arg(figureList(QLatin1StringView(" = ?"))));
        bindFigures(figures, snapshot);
        figures.addBindValue(uuidText(snapshot.sessionID));
        run(figures);
        touched = figures.numRowsAffected() > 0;
        if (!touched || !m_noteTables)
            return;
        QSqlQuery note = prepared(m_db, QStringLiteral("UPDATE running_note SET stopped = ?, failure = ? WHERE session "
                                                       "IN (SELECT id FROM running_session WHERE session_id = ?)"));
        note.addBindValue(stopped ? 1 : 0);
        note.addBindValue(text(failure));
        note.addBindValue(uuidText(snapshot.sessionID));
        run(note);
    });
    return touched;
}

namespace {

// A frame of the -wal is a page behind a header of its own, after the file's header.
constexpr qint64 walHeader = 32;
constexpr qint64 frameHeader = 24;
// Pages a filler touches besides its own: the overflow page its last bytes spill into, its table's leaf, the
// file's first page and a free-list trunk, with a page to spare.
constexpr qint64 fillerExtraPages = 6;
// Less room than this would not carry one write of a running record.
constexpr qint64 smallestRoomPages = 4;

qint64 pragmaNumber(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        fail(Case::Failed, query.lastError());
    return query.value(0).toLongLong();
}

// One of the store's files as SQLite holds it open: what the reservation adds to it goes through the same layer as
// the store's own writes, and no second descriptor of it is opened and closed (closing one would drop the locks
// SQLite holds on the file).
sqlite3_file* heldFile(sqlite3* db, int which) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", which, &file) != SQLITE_OK || !file || !file->pMethods)
        return nullptr;
    return file;
}

qint64 lengthOf(sqlite3_file* file) {
    sqlite3_int64 length = 0;
    return file && file->pMethods->xFileSize(file, &length) == SQLITE_OK ? length : 0;
}

// Zeros written out to `to`, not a sparse end: a sparse end takes its blocks only when a later write lands in it, on
// a disk that may have none left by then. False when the disk refuses some of them.
bool lengthen(sqlite3_file* file, qint64 to, qint64 pageSize) {
    const QByteArray zeros(qsizetype(pageSize), '\0');
    for (qint64 at = lengthOf(file); at < to; at += pageSize) {
        if (file->pMethods->xWrite(file, zeros.constData(), int(std::min(pageSize, to - at)), at) != SQLITE_OK)
            return false;
    }
    return true;
}

void shorten(sqlite3_file* file, qint64 to) {
    if (file && lengthOf(file) > to)
        file->pMethods->xTruncate(file, to);
}

} // namespace

qint64 HistoryDatabase::reserveSpace(qint64 bytes) {
    if (!m_noteTables || !m_onDisk)
        return 0;
    const qint64 pageSize = std::max<qint64>(pragmaNumber(m_db, QStringLiteral("PRAGMA page_size")), 512);
    m_pageSize = pageSize;
    // Half the length for one write: the -wal is then merged about once in every few writes, not after each.
    m_walRoom = bytes / 2;
    const qint64 wanted = (bytes + pageSize - 1) / pageSize;
    // A filler an earlier attempt could not delete, or that a process ending in between left, goes first.
    if (pragmaNumber(m_db, QStringLiteral("SELECT count(*) FROM space_reserve")) > 0)
        transaction([&] { run(m_db, QStringLiteral("DELETE FROM space_reserve")); });
    checkpoint();
    // The room both files keep now: free pages in the store, and frames' length in its -wal.
    auto kept = [&] {
        const qint64 frames =
            (lengthOf(heldFile(handle(), SQLITE_FCNTL_JOURNAL_POINTER)) - walHeader) / (pageSize + frameHeader);
        return std::min(pragmaNumber(m_db, QStringLiteral("PRAGMA freelist_count")), frames);
    };
    // What the disk cannot give in full is asked for by halves, each attempt given back whole when it fails.
    for (qint64 pages = wanted; pages >= std::min(smallestRoomPages, wanted); pages /= 2) {
        if (kept() >= pages)
            return pages * pageSize;
        if (!takeRoom(pages, pageSize))
            continue;
        checkpoint();
        // All of the filler merged, the delete starts the -wal over inside the length the filler left.
        try {
            transaction([&] { run(m_db, QStringLiteral("DELETE FROM space_reserve")); });
        } catch (const HistoryStoreError&) {
            checkpoint();
            transaction([&] { run(m_db, QStringLiteral("DELETE FROM space_reserve")); });
        }
        checkpoint();
        return pages * pageSize;
    }
    throw HistoryStoreError(Case::Failed, QStringLiteral("no room for the smallest reserve on the disk"), SQLITE_FULL,
                            QStringLiteral("database or disk is full"));
}

bool HistoryDatabase::takeRoom(qint64 pages, qint64 pageSize) {
    sqlite3* db = handle();
    sqlite3_file* store = heldFile(db, SQLITE_FCNTL_FILE_POINTER);
    sqlite3_file* wal = heldFile(db, SQLITE_FCNTL_JOURNAL_POINTER);
    if (!store || !wal)
        throw HistoryStoreError(Case::Failed, QStringLiteral("the store's files are not open"));
    int logFrames = 0;
    int mergedFrames = 0;
    if (sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &mergedFrames) != SQLITE_OK)
        logFrames = mergedFrames = 0;
    // A -wal merged in full starts over with the next write; one that is not takes the filler after what it holds.
    const qint64 firstFrame = logFrames == mergedFrames ? 0 : std::max(logFrames, 0);
    // The write lock, so that no other connection writes frames or pages where the files are lengthened and, on a
    // refusal, shortened again.
    run(m_db, QStringLiteral("BEGIN IMMEDIATE"));
    const qint64 storeBefore = lengthOf(store);
    const qint64 walBefore = lengthOf(wal);
    auto giveBack = [&] {
        shorten(wal, walBefore);
        shorten(store, storeBefore);
        if (!sqlite3_get_autocommit(db))
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    };
    try {
        const qint64 storePages = pragmaNumber(m_db, QStringLiteral("PRAGMA page_count"));
        const qint64 freePages = pragmaNumber(m_db, QStringLiteral("PRAGMA freelist_count"));
        // Pages not yet merged into the file lie past its end: a reader holds the merge back, and lengthening the
        // file now would write where the merge will.
        if (storePages * pageSize > storeBefore)
            throw HistoryStoreError(Case::Failed, QStringLiteral("the store's -wal is not merged; no room taken"));
        // Both lengths are taken before the filler is written: a filler committed into a -wal whose merge the
        // disk then refused could never be merged, and every later write would lengthen the -wal further.
        const qint64 storeTo = (storePages + std::max<qint64>(pages - freePages, 0) + fillerExtraPages) * pageSize;
        const qint64 walTo = walHeader + (firstFrame + pages + fillerExtraPages) * (pageSize + frameHeader);
        if (!lengthen(store, storeTo, pageSize) || !lengthen(wal, walTo, pageSize)) {
            giveBack();
            return false;
        }
        QSqlQuery fill = prepared(m_db, QStringLiteral("INSERT INTO space_reserve (filler) VALUES (zeroblob(?))"));
        fill.addBindValue(pages * pageSize);
        run(fill);
        fill.finish();
        run(m_db, QStringLiteral("COMMIT"));
    } catch (const HistoryStoreError&) {
        // Also after a commit SQLite rolled back itself: the files go back to their lengths.
        giveBack();
        throw;
    }
    return true;
}

void HistoryDatabase::checkpoint() {
    if (m_onDisk && m_db.isOpen())
        sqlite3_wal_checkpoint_v2(handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void HistoryDatabase::dropRunning(const QUuid& sessionID) {
    if (!m_runningTables)
        return;
    transaction([&] { deleteRunning(m_db, sessionID); });
}

QList<HistoryDatabase::RunningRecord> HistoryDatabase::runningRecords() {
    if (!m_runningTables)
        return {};
    QHash<QUuid, RunningNote> notes;
    if (m_noteTables) {
        QSqlQuery query = prepared(m_db, QStringLiteral("SELECT s.session_id, n.kept_until, n.stopped, n.failure FROM "
                                                        "running_note AS n JOIN running_session AS s ON s.id = "
                                                        "n.session"));
        run(query);
        while (query.next())
            notes.insert(QUuid::fromString(query.value(0).toString()),
                         {fromUnixSeconds(query.value(1).toDouble()), query.value(2).toLongLong() != 0,
                          query.value(3).toString()});
    }
    QList<RunningRecord> records;
    for (StoredSession& session : readSessions({true, {}, QStringLiteral("s.started_at, s.id"), {}, {}})) {
        const auto note = notes.constFind(session.sessionID);
        records.append({std::move(session), note == notes.cend() ? std::nullopt : std::optional(*note)});
    }
    return records;
}

bool HistoryDatabase::endRunning(const StoredSession& snapshot, double minimumSeconds, bool unexpected) {
    if (!m_runningTables)
        return false;
    const bool stored = finiteOrZero(snapshot.focusedSeconds) >= minimumSeconds;
    transaction([&] {
        deleteRunning(m_db, snapshot.sessionID);
        if (!stored)
            return;
        // A record kept while the session ran says it did not complete; one a quit left behind says how it ended.
        const qint64 row = insertRows(snapshot, QStringLiteral("session"), QStringLiteral("segment"));
        if (!unexpected)
            return;
        QSqlQuery mark = prepared(m_db, QStringLiteral("INSERT INTO unexpected_end (session) VALUES (?)"));
        mark.addBindValue(row);
        run(mark);
    });
    return stored;
}

std::optional<qint64> HistoryDatabase::sessionRow(const QUuid& sessionID) {
    QSqlQuery query = prepared(m_db, QStringLiteral("SELECT id FROM session WHERE session_id = ? ORDER BY id LIMIT 1"));
    query.addBindValue(uuidText(sessionID));
    run(query);
    if (!query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

QList<qint64> HistoryDatabase::segmentRowsByStart(qint64 session) {
    QSqlQuery query =
        prepared(m_db, QStringLiteral("SELECT id FROM segment WHERE session = ? ORDER BY started_at, ordinal"));
    query.addBindValue(session);
    run(query);
    QList<qint64> rows;
    while (query.next())
        rows.append(query.value(0).toLongLong());
    return rows;
}

void HistoryDatabase::setSegmentTexts(SegmentText column, const QList<std::pair<qint64, QString>>& values) {
    transaction([&] {
        QSqlQuery update = prepared(m_db, column == SegmentText::Phrase
                                              ? QStringLiteral("UPDATE segment SET phrase = ? WHERE id = ?")
                                              : QStringLiteral("UPDATE segment SET intent = ? WHERE id = ?"));
        for (const auto& [row, value] : values) {
            update.bindValue(0, text(value));
            update.bindValue(1, row);
            run(update);
        }
    });
}

int HistoryDatabase::deleteSession(const QUuid& sessionID) {
    int deleted = 0;
    transaction([&] {
        QSqlQuery query = prepared(m_db, QStringLiteral("DELETE FROM session WHERE session_id = ?"));
        query.addBindValue(uuidText(sessionID));
        run(query);
        deleted = query.numRowsAffected();
    });
    return deleted;
}

void HistoryDatabase::deleteAll() {
    transaction([&] {
        run(m_db, QStringLiteral("DELETE FROM segment"));
        run(m_db, QStringLiteral("DELETE FROM session"));
    });
}

qint64 HistoryDatabase::sessionCount() {
    QSqlQuery query = prepared(m_db, QStringLiteral("SELECT count(*) FROM session"));
    run(query);
    return query.next() ? query.value(0).toLongLong() : 0;
}

QList<StoredSession> HistoryDatabase::sessions(qint64 offset, qint64 limit, Segments segments) {
    if (!m_db.isOpen() || limit <= 0)
        return {};
    // A page is a run of neighbours in the start index: its first and last keys are found by walking the index
    // alone, once, and the reads below then seek straight to that range. Skipping the rows before a page deep
    // in the history through the table itself, as a plain OFFSET on whole rows does, costs far more.
    QList<QVariant> range;
    {
        SqliteStatement::Run keys(statement(QStringLiteral("SELECT started_at, id FROM session "
                                                           "ORDER BY started_at DESC, id DESC LIMIT ? OFFSET ?")),
                                  {limit, std::max<qint64>(offset, 0)});
        if (!keys.next())
            return {};
        const double newestStart = keys.real(0);
        const qint64 newestRow = keys.integer(1);
        double oldestStart = newestStart;
        qint64 oldestRow = newestRow;
        while (keys.next()) {
            oldestStart = keys.real(0);
            oldestRow = keys.integer(1);
        }
        range = {oldestStart, oldestRow, newestStart, newestRow};
    }
    return readSessions({false,
                         QStringLiteral("WHERE (s.started_at, s.id) >= (?, ?) AND (s.started_at, s.id) <= (?, ?)"),
                         QStringLiteral("s.started_at DESC, s.id DESC"),
                         {},
                         range},
                        segments);
}

std::optional<StoredSession> HistoryDatabase::find(const QUuid& sessionID) {
    const QList<StoredSession> found = readSessions({false,
                                                     QStringLiteral("WHERE s.session_id = ?"),
                                                     QStringLiteral("s.id"),
                                                     QStringLiteral("LIMIT 1"),
                                                     {uuidText(sessionID)}});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

sqlite3* HistoryDatabase::handle() const {
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw HistoryStoreError(Case::Failed, QStringLiteral("the history database is not an SQLite connection"));
    return *static_cast<sqlite3* const*>(handle.constData());
}

SqliteStatement& HistoryDatabase::statement(const QString& sql) {
    auto found = m_statements.find(sql);
    if (found == m_statements.end())
        found = m_statements.emplace(sql, std::make_unique<SqliteStatement>(handle(), sql)).first;
    return *found->second;
}

QList<StoredSession> HistoryDatabase::readSessions(const Selection& selection, Segments segments) {
    if (!m_db.isOpen())
        return {};
    const QString picked = QStringLiteral("FROM %1 AS s %2 ORDER BY %3 %4")
                               .arg(selection.running ? QStringLiteral("running_session") : QStringLiteral("session"),
                                    selection.where, selection.order, selection.limit);
    // The marks come with their sessions' rows: a lookup by key each, rather than another pass over the page.
    const bool marked = m_runningTables && !selection.running;
    QList<StoredSession> sessions;
    QList<qint64> rows;
    {
        SqliteStatement::Run sessionRows(
            statement(QStringLiteral("SELECT s.id, s.session_id, s.started_at, s.ended_at, s.intention, "
                                     "s.focused_seconds, s.completed, s.detours, s.detour_seconds, s.longest_streak, "
                                     "%1 %2")
                          .arg(marked ? QStringLiteral("EXISTS (SELECT 1 FROM unexpected_end AS m "
                                                       "WHERE m.session = s.id)")
                                      : QStringLiteral("0"),
                               picked)),
            selection.values);
        while (sessionRows.next()) {
            StoredSession session;
            session.sessionID = QUuid::fromString(QLatin1StringView(sessionRows.bytes(1)));
            session.startedAt = fromUnixSeconds(sessionRows.real(2));
            session.endedAt = fromUnixSeconds(sessionRows.real(3));
            session.intention = sessionRows.text(4);
            session.focusedSeconds = sessionRows.real(5);
            session.completed = sessionRows.integer(6) != 0;
            session.detours = sessionRows.integer(7);
            session.detourSeconds = sessionRows.real(8);
            session.longestStreak = sessionRows.real(9);
            session.endedUnexpectedly = sessionRows.integer(10) != 0;
            rows.append(sessionRows.integer(0));
            sessions.append(std::move(session));
        }
    }
    if (sessions.isEmpty() || segments == Segments::Without)
        return sessions;

    // The segments of the same sessions in a second, narrower query (a join would repeat every session's columns
    // on each of its segments' rows), in the sessions' order and each session's in recorded order. The indexes
    // deliver that order as they are walked: the ORDER BY costs no sort, and keeps the order whatever the plan.
    SqliteStatement::Run segmentRows(
        statement(QStringLiteral("SELECT g.session, g.kind, g.started_at, g.ended_at, g.phrase, g.intent, g.app, "
                                 "g.host, g.titles FROM (SELECT s.id, s.started_at %1) AS s JOIN %2 AS g "
                                 "ON g.session = s.id ORDER BY %3, g.ordinal")
                      .arg(picked, selection.running ? QStringLiteral("running_segment") : QStringLiteral("segment"),
                           selection.order)),
        selection.values);
    // Kinds, applications and hosts repeat down a page: each distinct one is made once and shared.
    QHash<QByteArray, QString> repeated;
    auto repeatedText = [&repeated](const QByteArray& bytes) {
        if (bytes.isEmpty())
            return QString::fromLatin1("");
        const auto found = repeated.constFind(bytes);
        if (found != repeated.cend())
            return *found;
        const QString text = QString::fromUtf8(bytes);
        repeated.insert(QByteArray(bytes.constData(), bytes.size()), text);
        return text;
    };
    // A session's segments gather here and move into a list of their exact size when the next session's begin,
    // rather than growing each session's list a segment at a time, a reallocation and a move of all at each step.
    QList<StoredSegment> gathered;
    qsizetype index = 0;
    auto handOver = [&] {
        QList<StoredSegment>& segments = sessions[index].segments;
        segments.reserve(gathered.size());
        for (StoredSegment& segment : gathered)
            segments.append(std::move(segment));
        gathered.clear();
    };
    while (segmentRows.next()) {
        const qint64 row = segmentRows.integer(0);
        if (rows[index] != row) {
            // Another process's session that came between the two reads is not on this page.
            const auto next = std::find(rows.cbegin() + index, rows.cend(), row);
            if (next == rows.cend())
                continue;
            handOver();
            index = next - rows.cbegin();
        }
        StoredSegment& segment = gathered.emplace_back();
        segment.kind = repeatedText(segmentRows.bytes(1));
        segment.startedAt = fromUnixSeconds(segmentRows.real(2));
        segment.endedAt = fromUnixSeconds(segmentRows.real(3));
        segment.phrase = segmentRows.text(4);
        segment.intent = segmentRows.text(5);
        segment.app = repeatedText(segmentRows.bytes(6));
        segment.host = repeatedText(segmentRows.bytes(7));
        segment.titles = titlesFrom(segmentRows.bytes(8));
    }
    handOver();
    return sessions;
}

} // namespace tavrine
