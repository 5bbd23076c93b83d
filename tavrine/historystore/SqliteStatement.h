#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace tavrine {

// A statement on a connection's own SQLite handle, prepared once and run again and again. The history's pages
// are read this way: Qt Sql turns every column of every row into a QVariant (every text into UTF-16 inside SQLite
// first), and prepares its statement anew on every call; most of a page's time went there, not into SQLite.
// Every failure throws HistoryStoreError with SQLite's own words.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // One run of the statement with its values bound (doubles as REAL, texts as TEXT, the rest as INTEGER). The
    // statement is reset when the run ends, however it ends, so that no read stays open on the connection.
    class Run {
    public:
        Run(SqliteStatement& statement, const QList<QVariant>& values);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

        bool next();
        qint64 integer(int column) const;
        double real(int column) const;
        // The text as SQLite holds it, valid until the next row.
        QByteArray bytes(int column) const;
        QString text(int column) const;

    private:
        SqliteStatement& m_statement;
    };

private:
    [[noreturn]] void failed() const;

    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace tavrine
