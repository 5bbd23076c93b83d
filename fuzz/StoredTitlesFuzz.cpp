// The window titles stored with a history segment: the column's text as a damaged or foreign database file may
// hold it, read back through the store into a session and its timeline.
#include "FuzzSupport.h"

#include "tavrine/historystore/HistoryDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const QString connection = QStringLiteral("tavrine-fuzz-history");
const QUuid sessionID = QUuid::fromString(QStringLiteral("{6A1C2F4E-0B7D-4C5A-9E3F-1D2B3C4D5E6F}"));

tavrine::HistoryDatabase& database() {
    static tavrine::HistoryDatabase* db = [] {
        tavrine::fuzz::ensureApplication(false);
        auto* opened = new tavrine::HistoryDatabase(connection, QStringLiteral("QSQLITE"));
        opened->openInMemory();
        tavrine::StoredSession session;
        session.sessionID = sessionID;
        session.startedAt = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        session.endedAt = session.startedAt.addSecs(1800);
        session.intention = QStringLiteral("Write the harbour report");
        session.focusedSeconds = 1500;
        tavrine::StoredSegment segment;
        segment.kind = QStringLiteral("detour");
        segment.startedAt = session.startedAt.addSecs(60);
        segment.endedAt = session.startedAt.addSecs(360);
        segment.app = QStringLiteral("Firefox");
        segment.titles = {QStringLiteral("Harbour news")};
        session.segments = {segment};
        opened->insert(session, std::nullopt);
        return opened;
    }();
    return *db;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    database();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavrine::HistoryDatabase& db = database();
    QSqlQuery update(QSqlDatabase::database(connection, false));
    update.prepare(QStringLiteral("UPDATE segment SET titles = ?"));
    update.addBindValue(QString::fromUtf8(tavrine::fuzz::bytesOf(data, size)));
    if (!update.exec())
        return 0;
    try {
        const auto session = db.find(sessionID);
        if (session)
            (void)session->timeline();
    } catch (const std::exception& error) {
        tavrine::fuzz::touch(error);
    }
    return 0;
}
