#include "tavrine/historystore/SqliteStatement.h"

#include "tavrine/historystore/HistoryDatabase.h"

#include <sqlite3.h>

namespace tavrine {

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql) : m_db(db) {
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr) !=
        SQLITE_OK)
        failed();
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

void SqliteStatement::failed() const {
    const QString reason = QString::fromUtf8(sqlite3_errmsg(m_db));
    throw HistoryStoreError(HistoryStoreError::Case::Failed, reason, sqlite3_errcode(m_db) & 0xff, reason);
}

SqliteStatement::Run::Run(SqliteStatement& statement, const QList<QVariant>& values) : m_statement(statement) {
    sqlite3_stmt* raw = statement.m_statement;
    int index = 0;
    for (const QVariant& value : values) {
        ++index;
        int result = SQLITE_OK;
        if (value.typeId() == QMetaType::Double) {
            result = sqlite3_bind_double(raw, index, value.toDouble());
        } else if (value.typeId() == QMetaType::QString) {
            const QByteArray text = value.toString().toUtf8();
            result = sqlite3_bind_text(raw, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        } else {
            result = sqlite3_bind_int64(raw, index, value.toLongLong());
        }
        if (result != SQLITE_OK) {
            sqlite3_clear_bindings(raw);
            statement.failed();
        }
    }
}

SqliteStatement::Run::~Run() {
    sqlite3_reset(m_statement.m_statement);
    sqlite3_clear_bindings(m_statement.m_statement);
}

bool SqliteStatement::Run::next() {
    const int result = sqlite3_step(m_statement.m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        m_statement.failed();
    return false;
}

qint64 SqliteStatement::Run::integer(int column) const {
    return sqlite3_column_int64(m_statement.m_statement, column);
}

double SqliteStatement::Run::real(int column) const {
    return sqlite3_column_double(m_statement.m_statement, column);
}

QByteArray SqliteStatement::Run::bytes(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement.m_statement, column));
    return QByteArray::fromRawData(data, sqlite3_column_bytes(m_statement.m_statement, column));
}

QString SqliteStatement::Run::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement.m_statement, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_statement.m_statement, column));
}

} // namespace tavrine
