#pragma once

#include "tavrine/history/SessionSummary.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QUuid>
#include <functional>

namespace tavrine::test {

inline const QDateTime sessionStart = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

inline SessionTimeline::Segment timelineSegment(SessionTimeline::Kind kind, double start, double end, QString phrase,
                                                QString app = {}, QString host = {}, QStringList titles = {}) {
    SessionTimeline::Segment segment;
    segment.kind = kind;
    segment.start = start;
    segment.end = end;
    segment.phrase = std::move(phrase);
    segment.clues.app = std::move(app);
    segment.clues.host = std::move(host);
    segment.clues.titles = std::move(titles);
    segment.clues.captions = {QStringLiteral("not stored")};
    segment.key = QStringLiteral("key");
    return segment;
}

// A session of 900 s: related work, a hole, a detour, a break.
inline SessionSummary sampleSummary(QDateTime startedAt = sessionStart) {
    using Kind = SessionTimeline::Kind;
    SessionSummary summary;
    summary.intention = QStringLiteral("Write the quarterly report");
    summary.startedAt = startedAt;
    summary.focusedSeconds = 900;
    summary.completed = true;
    summary.detours = 2;
    summary.detourSeconds = 205.5;
    summary.longestStreak = 300;
    summary.topDetours = {
        {QStringLiteral("detour|host|reddit.com"), QStringLiteral("Browsed Reddit"), 200, startedAt, {}}};
    summary.timeline = normaliseTimeline(
        {timelineSegment(Kind::Related, 0, 300, QStringLiteral("Drafted the intro"), QStringLiteral("Writer"), {},
                         {QStringLiteral("report.odt"), QStringLiteral("Notes")}),
         timelineSegment(Kind::Detour, 400, 600.25, QStringLiteral("Browsed Reddit"), QStringLiteral("Browser"),
                         QStringLiteral("reddit.com"), {QStringLiteral("A thread \"quoted\"")}),
         timelineSegment(Kind::Pause, 600.25, 800, QStringLiteral("Took a break"))},
        900);
    return summary;
}

// A second connection of the test's own to a store file, for looking at and tampering with what is stored.
class RawConnection {
public:
    explicit RawConnection(const QString& path) : m_name(QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawConnection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        return query.exec(sql);
    }
    qint64 number(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql) || !query.next())
            return -1;
        return query.value(0).toLongLong();
    }

private:
    QString m_name;
};

} // namespace tavrine::test
