#include "tavrine/historystore/SessionHistory.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/Numbers.h"
#include "tavrine/historystore/HistoryDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace tavrine {

namespace {

QString nextConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("tavrine-history-%1").arg(++counter);
}

QString idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

void logSaveFailed(const HistoryStoreError& error) {
    log::error(logHistory(), QStringLiteral("History save failed %1").arg(error.description()));
}

QList<const SessionTimeline::Segment*> recordedSegments(const SessionSummary& summary) {
    QList<const SessionTimeline::Segment*> segments;
    for (const SessionTimeline::Segment& segment : summary.timeline.segments) {
        if (segment.kind != SessionTimeline::Kind::Gap)
            segments.append(&segment);
    }
    return segments;
}

} // namespace

SessionHistory::SessionHistory(Options options, QObject* parent) : QObject(parent), m_options(std::move(options)) {
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SessionHistory::quitting);
}

SessionHistory::SessionHistory(QObject* parent) : SessionHistory(Options{}, parent) {}

SessionHistory::~SessionHistory() {
    quitting();
}

QString SessionHistory::defaultFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/com.dravolence.tavrine");
}

QString SessionHistory::storePath() const {
    const QString folder = m_options.folder.isEmpty() ? defaultFolder() : m_options.folder;
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + fileName();
}

void SessionHistory::setAvailability(Availability availability) {
    m_availability = availability;
    emit availabilityChanged();
}

void SessionHistory::open() {
    if (m_availability != Availability::Closed)
        return;
    m_db = std::make_unique<HistoryDatabase>(nextConnectionName(), m_options.driver);
    if (m_options.inMemory) {
        openMemory();
        return;
    }
    try {
        const QString path = storePath();
        if (path.isEmpty())
            throw HistoryStoreError(HistoryStoreError::Case::Unavailable, QStringLiteral("no application data folder"));
        const QString folder = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(folder))
            throw HistoryStoreError(HistoryStoreError::Case::Unavailable,
                                    QStringLiteral("cannot create the folder %1").arg(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_db->openFile(path);
        prepareRunningTables();
        setAvailability(Availability::OnDisk);
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(), QStringLiteral("History store unavailable %1").arg(error.description()));
        // The file stays exactly as found; the flag lets the application tell the user later.
        if (error.kind() == HistoryStoreError::Case::Unreadable || error.kind() == HistoryStoreError::Case::NewerSchema)
            m_keptUnreadableStore = true;
        openMemory();
    }
}

void SessionHistory::openMemory() {
    try {
        m_db->openInMemory();
        prepareRunningTables();
        setAvailability(Availability::InMemory);
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("An in-memory history store could not be made: %1").arg(error.description()));
        log::error(logHistory(), QStringLiteral("History is off: finished sessions are not stored"));
        setAvailability(Availability::Off);
    }
}

void SessionHistory::prepareRunningTables() {
    if (!m_db->prepareRunningTables())
        log::error(logHistory(), QStringLiteral("History keeps no running session: the store cannot take it; a "
                                                "crash loses the session that runs"));
}

bool SessionHistory::ensureOpen() {
    open();
    return m_availability == Availability::OnDisk || m_availability == Availability::InMemory;
}

std::optional<QUuid> SessionHistory::record(const SessionSummary& summary, const QDateTime& now,
                                            std::optional<QUuid> runningID) {
    if (!ensureOpen()) {
        log::error(logHistory(), QStringLiteral("History save failed history is off"));
        return std::nullopt;
    }
    flush();
    const QUuid sessionID = runningID ? *runningID : QUuid::createUuid();
    const StoredSession stored = StoredSession::fromSummary(sessionID, summary);
    std::optional<QDateTime> cutoff;
    if (m_options.retention && std::isfinite(*m_options.retention))
        cutoff = now.addMSecs(-roundedNumber(*m_options.retention * 1000.0));
    try {
        m_db->insert(stored, cutoff);
        emit changed();
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        log::notice(logHistory(), QStringLiteral("History keeps session %1 to write it again").arg(idText(sessionID)));
        m_pending.append(stored);
    }
    return sessionID;
}

void SessionHistory::keepRunning(const QUuid& sessionID, const SessionSummary& snapshot) {
    if (!ensureOpen())
        return;
    try {
        m_db->writeRunning(StoredSession::fromSummary(sessionID, snapshot));
        ++m_runningWrites;
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("History could not keep the running session %1").arg(error.description()));
    }
}

void SessionHistory::dropRunning(const QUuid& sessionID) {
    if (!ensureOpen())
        return;
    try {
        m_db->dropRunning(sessionID);
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
    }
}

void SessionHistory::endRunningUnexpectedly(const QUuid& sessionID, const SessionSummary& snapshot,
                                            double minimumSeconds) {
    if (!ensureOpen())
        return;
    try {
        if (m_db->endRunning(StoredSession::fromSummary(sessionID, snapshot), minimumSeconds))
            log::notice(logHistory(), QStringLiteral("History stored session %1 as ended early: Tavrine stopped "
                                                     "unexpectedly")
                                          .arg(idText(sessionID)));
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
    }
}

int SessionHistory::recoverRunning(double minimumSeconds) {
    if (!ensureOpen())
        return 0;
    int stored = 0;
    try {
        for (const StoredSession& left : m_db->runningSessions()) {
            if (m_db->endRunning(left, minimumSeconds)) {
                ++stored;
                log::notice(logHistory(), QStringLiteral("History stored session %1 as ended early at its last write: "
                                                         "Tavrine stopped unexpectedly")
                                              .arg(idText(left.sessionID)));
            } else {
                log::notice(logHistory(),
                            QStringLiteral("History dropped session %1 left running: under a minute was used")
                                .arg(idText(left.sessionID)));
            }
        }
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
    }
    if (stored > 0)
        emit changed();
    return stored;
}

void SessionHistory::flush() {
    if (m_pending.isEmpty() || !ensureOpen())
        return;
    bool wrote = false;
    while (!m_pending.isEmpty()) {
        try {
            m_db->insert(m_pending.first(), std::nullopt);
        } catch (const HistoryStoreError& error) {
            logSaveFailed(error);
            break;
        }
        log::notice(logHistory(),
                    QStringLiteral("History wrote kept session %1").arg(idText(m_pending.first().sessionID)));
        m_pending.removeFirst();
        wrote = true;
    }
    if (wrote)
        emit changed();
}

void SessionHistory::quitting() {
    flush();
    for (const StoredSession& lost : m_pending)
        log::error(logHistory(),
                   QStringLiteral("History lost session %1: it could not be written").arg(idText(lost.sessionID)));
    m_pending.clear();
}

void SessionHistory::updatePhrases(const QUuid& sessionID, const SessionSummary& summary) {
    update(Column::Phrase, sessionID, summary);
}

void SessionHistory::updateIntents(const QUuid& sessionID, const SessionSummary& summary) {
    update(Column::Intent, sessionID, summary);
}

void SessionHistory::update(Column column, const QUuid& sessionID, const SessionSummary& summary) {
    if (!ensureOpen())
        return;
    flush();
    const QList<const SessionTimeline::Segment*> segments = recordedSegments(summary);
    auto writes = [column](const SessionTimeline::Segment& segment) {
        return column == Column::Phrase || !segment.intent.isEmpty();
    };

    // A session still waiting to be written takes the update where it waits.
    for (StoredSession& pending : m_pending) {
        if (pending.sessionID != sessionID)
            continue;
        QList<StoredSegment*> stored;
        for (StoredSegment& segment : pending.segments)
            stored.append(&segment);
        std::stable_sort(stored.begin(), stored.end(),
                         [](const auto* left, const auto* right) { return left->startedAt < right->startedAt; });
        if (stored.size() != segments.size())
            return;
        for (qsizetype i = 0; i < stored.size(); ++i) {
            if (!writes(*segments[i]))
                continue;
            (column == Column::Phrase ? stored[i]->phrase : stored[i]->intent) =
                column == Column::Phrase ? segments[i]->phrase : segments[i]->intent;
        }
        return;
    }

    QList<qint64> rows;
    try {
        const std::optional<qint64> session = m_db->sessionRow(sessionID);
        if (!session)
            return;
        rows = m_db->segmentRowsByStart(*session);
    } catch (const HistoryStoreError&) {
        return; // a failed read finds nothing, so nothing is written
    }
    if (rows.size() != segments.size())
        return;
    QList<std::pair<qint64, QString>> values;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (writes(*segments[i]))
            values.append({rows[i], column == Column::Phrase ? segments[i]->phrase : segments[i]->intent});
    }
    try {
        m_db->setSegmentTexts(column == Column::Phrase ? HistoryDatabase::SegmentText::Phrase
                                                       : HistoryDatabase::SegmentText::Intent,
                              values);
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        return;
    }
    if (!values.isEmpty())
        emit changed();
}

void SessionHistory::deleteSession(const QUuid& sessionID) {
    const qsizetype waiting = m_pending.removeIf([&](const StoredSession& s) { return s.sessionID == sessionID; });
    if (!ensureOpen())
        return;
    flush();
    int deleted = 0;
    try {
        deleted = m_db->deleteSession(sessionID);
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
    }
    if (deleted > 0 || waiting > 0)
        emit changed();
}

SessionHistory::DeleteAllResult SessionHistory::deleteAll() {
    auto refused = [](const QString& failure) {
        log::error(logHistory(), QStringLiteral("History clear failed %1").arg(failure));
        return DeleteAllResult{false, failure};
    };
    if (!ensureOpen())
        return refused(QStringLiteral("The history store could not be opened."));
    // Clearing only the sessions of this run would leave the kept file's sessions behind while claiming success.
    if (m_keptUnreadableStore)
        return refused(QStringLiteral("The history file %1 could not be read and was left as it was.")
                           .arg(QDir::toNativeSeparators(storePath())));
    try {
        m_db->deleteAll();
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        return refused(error.description());
    }
    m_pending.clear();
    emit changed();
    return {true, {}};
}

qint64 SessionHistory::sessionCount() {
    if (!ensureOpen())
        return 0;
    try {
        return m_db->sessionCount();
    } catch (const HistoryStoreError&) {
        return 0;
    }
}

QList<StoredSession> SessionHistory::sessions(qint64 offset, qint64 limit) {
    if (!ensureOpen())
        return {};
    try {
        return m_db->sessions(offset, limit);
    } catch (const HistoryStoreError&) {
        return {};
    }
}

QList<StoredSession> SessionHistory::allSessions() {
    return sessions(0, std::numeric_limits<qint64>::max());
}

std::optional<StoredSession> SessionHistory::find(const QUuid& sessionID) {
    if (!ensureOpen())
        return std::nullopt;
    try {
        return m_db->find(sessionID);
    } catch (const HistoryStoreError&) {
        return std::nullopt;
    }
}

} // namespace tavrine
