#include "tavrine/historystore/StoreFileCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <atomic>

namespace tavrine {

namespace {

// SQLite's primary result codes that matter here.
constexpr int sqliteReadOnly = 8;
constexpr int sqliteIoError = 10;
constexpr int sqliteCorrupt = 11;
constexpr int sqliteFull = 13;
constexpr int sqliteCantOpen = 14;
constexpr int sqliteNotADatabase = 26;

// SQLite's files beside a database: its write-ahead log and that log's index, or a rollback journal.
const char* const companionSuffixes[] = {"-wal", "-shm", "-journal"};

using Verdict = StoreFileCheck::Verdict;

// SQLite's words about a damaged file mean nothing to a user; they go to the log.
StoreFileCheck::Result damaged(const QString& details) {
    return {Verdict::Unreadable, QStringLiteral("it is damaged"), details};
}

StoreFileCheck::Result fromError(const QSqlError& error) {
    if (StoreFileCheck::isDamage(StoreFileCheck::sqliteCode(error)))
        return damaged(StoreFileCheck::reasonOf(error));
    return {Verdict::Inaccessible, StoreFileCheck::reasonOf(error)};
}

// A read-only connection is refused where the -shm file can neither be found nor made (a read-only folder, a
// full disk); the immutable flag reads the file alone then.
bool worthReadingImmutable(const QSqlError& error) {
    const int code = StoreFileCheck::sqliteCode(error);
    return code == sqliteCantOpen || code == sqliteReadOnly || code == sqliteIoError || code == sqliteFull;
}

std::optional<QSqlError> firstError(QSqlDatabase& db, const QString& name, const QString& options) {
    db.close();
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    if (!db.open())
        return db.lastError();
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("PRAGMA user_version")))
        return probe.lastError();
    return std::nullopt;
}

StoreFileCheck::Result readWhole(QSqlDatabase& db, int schemaVersion) {
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next())
        return fromError(version.lastError());
    const int found = version.value(0).toInt();
    version.finish();

    QSqlQuery tables(db);
    if (!tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return fromError(tables.lastError());
    bool foreignTables = false;
    while (tables.next()) {
        const QString table = tables.value(0).toString();
        foreignTables = foreignTables || (table != QLatin1String("session") && table != QLatin1String("segment"));
    }
    tables.finish();

    // Every page of the file: a damaged page in the middle otherwise shows only when a write reaches it.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")))
        return fromError(check.lastError());
    if (!check.next())
        return fromError(check.lastError());
    if (const QString first = check.value(0).toString(); first != QLatin1String("ok")) {
        QStringList report{first};
        while (check.next())
            report.append(check.value(0).toString());
        return damaged(QStringLiteral("the integrity check failed: %1").arg(report.join(QLatin1Char('\n'))));
    }
    check.finish();

    if (found > schemaVersion)
        return {Verdict::NewerSchema,
                QStringLiteral("schema version %1 is newer than %2").arg(found).arg(schemaVersion)};
    if (found == 0 && foreignTables)
        return {Verdict::Unreadable, QStringLiteral("it is another program's database")};
    return {};
}

QString connectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("tavrine-history-check-%1").arg(++counter);
}

bool exists(const QString& path) {
    // A dangling link is a name taken too.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

} // namespace

int StoreFileCheck::sqliteCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

bool StoreFileCheck::isDamage(int sqliteCode) {
    return sqliteCode == sqliteCorrupt || sqliteCode == sqliteNotADatabase;
}

QString StoreFileCheck::reasonOf(const QSqlError& error) {
    const QString database = error.databaseText().trimmed();
    return database.isEmpty() ? error.text().trimmed() : database;
}

QString StoreFileCheck::immutableUri(const QString& path) {
    QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    uri.setQuery(QStringLiteral("immutable=1"));
    return uri.toString(QUrl::FullyEncoded);
}

StoreFileCheck::Result StoreFileCheck::check(const QString& path, const QString& driver, int schemaVersion) {
    const QFileInfo info(path);
    if (info.isDir())
        return {Verdict::Unreadable, QStringLiteral("it is a folder, not a file")};
    if (!info.isFile())
        return {Verdict::Unreadable, QStringLiteral("it is not a regular file")};
    if (!info.isReadable())
        return {Verdict::Inaccessible, QStringLiteral("permission denied")};

    // With no file beside it, no connection has it open and nothing waits to be merged into it.
    bool alone = true;
    for (const char* suffix : companionSuffixes)
        alone = alone && !exists(path + QLatin1String(suffix));
    const QString name = connectionName();
    Result result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        if (!db.isValid()) {
            result = {Verdict::Inaccessible, QStringLiteral("database driver %1 not available").arg(driver)};
        } else if (alone) {
            // The file is the whole history, and reading it as immutable leaves no -wal or -shm of ours beside
            // a file that may not be ours.
            if (const auto refused =
                    firstError(db, immutableUri(path), QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"))) {
                result = fromError(*refused);
            } else {
                result = readWhole(db, schemaVersion);
                result.immutable = true;
            }
        } else if (const auto refused = firstError(db, path, QStringLiteral("QSQLITE_OPEN_READONLY"))) {
            result = fromError(*refused);
            if (result.verdict == Verdict::Inaccessible && worthReadingImmutable(*refused)) {
                const auto again =
                    firstError(db, immutableUri(path), QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
                if (!again) {
                    result = readWhole(db, schemaVersion);
                    result.immutable = true;
                }
            }
        } else {
            result = readWhole(db, schemaVersion);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

std::optional<QString> StoreFileCheck::setAside(const QString& path, QDate day, QString* error) {
    const QString stem = path + QStringLiteral(".unreadable-") + day.toString(Qt::ISODate);
    auto taken = [](const QString& base) {
        if (exists(base))
            return true;
        for (const char* suffix : companionSuffixes) {
            if (exists(base + QLatin1String(suffix)))
                return true;
        }
        return false;
    };
    QString target = stem;
    for (int n = 2; taken(target); ++n)
        target = stem + QLatin1Char('-') + QString::number(n);

    QList<std::pair<QString, QString>> moves{{path, target}};
    for (const char* suffix : companionSuffixes) {
        if (exists(path + QLatin1String(suffix)))
            moves.append({path + QLatin1String(suffix), target + QLatin1String(suffix)});
    }
    QDir folder;
    for (qsizetype i = 0; i < moves.size(); ++i) {
        if (folder.rename(moves[i].first, moves[i].second))
            continue;
        if (error)
            *error = QStringLiteral("%1 could not be renamed").arg(QDir::toNativeSeparators(moves[i].first));
        for (qsizetype done = i - 1; done >= 0; --done)
            folder.rename(moves[done].second, moves[done].first);
        return std::nullopt;
    }
    return target;
}

} // namespace tavrine
