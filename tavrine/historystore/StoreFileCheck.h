#pragma once

#include <QDate>
#include <QString>
#include <optional>

class QSqlError;

namespace tavrine {

// Looks at an existing history file before anything opens it for writing, and sets aside one that cannot be
// used. The check reads through a read-only connection of its own, so it may run on any thread; reading all
// of a large history takes a noticeable fraction of a second.
class StoreFileCheck {
public:
    enum class Verdict {
        Healthy,      // readable, of this schema or an older one
        Unreadable,   // damaged, not a database, another program's database, or not a file at all
        NewerSchema,  // written by a later version: to be read, never written
        Inaccessible, // busy, locked, not permitted, an I/O error: nothing wrong with the file itself
    };
    struct Result {
        Verdict verdict = Verdict::Healthy;
        // Why, in a few plain words a user can read ("it is damaged"); empty when healthy.
        QString reason;
        // SQLite's own words when they say more than `reason` (its whole integrity report), for the log only.
        QString details = {};
        // Read with SQLite's immutable flag: nothing lay beside the file, or the folder cannot take the -shm file.
        bool immutable = false;
    };

    static Result check(const QString& path, const QString& driver, int schemaVersion);

    // Renames the file and its -wal, -shm or -journal files to "<name>.unreadable-<day>" with the same suffixes (a
    // number is added when that name is taken), so that nothing of it is lost and none of its companions can
    // meet a fresh file of the old name. Answers the new path of the file; on failure the renames done so far
    // are undone and `error` says why.
    static std::optional<QString> setAside(const QString& path, QDate day, QString* error);

    // The URI that reads a file without SQLite writing or expecting anything beside it.
    static QString immutableUri(const QString& path);

    // The primary SQLite result code of a Qt Sql error, or -1 when it has none.
    static int sqliteCode(const QSqlError& error);
    // A damaged file or one that is no database at all: what a later attempt cannot change.
    static bool isDamage(int sqliteCode);
    // What SQLite said, without Qt's words around it.
    static QString reasonOf(const QSqlError& error);
};

} // namespace tavrine
