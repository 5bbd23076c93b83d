#include "tavrine/historystore/SessionHistory.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/Numbers.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/historystore/HistoryDatabase.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

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
    if (UserDefaults* notes = m_options.notes) {
        const QString countKey = QString::fromLatin1(lostCountKey);
        const QString reasonKey = QString::fromLatin1(lostReasonKey);
        if (const std::optional<qint64> count = notes->integerValue(countKey); count && *count > 0)
            m_lostAtLastQuit = {*count, notes->stringValue(reasonKey).value_or(QString()), {}};
        notes->remove(countKey);
        notes->remove(reasonKey);
        // Forgotten only once told: that needs the store, to learn what its record kept.
        const std::optional<QString> id = notes->stringValue(QString::fromLatin1(runningIdKey));
        const std::optional<QString> start = notes->stringValue(QString::fromLatin1(runningStartKey));
        if (id && start) {
            LeftRunning left;
            left.sessionID = QUuid::fromString(*id);
            left.startedAt = QDateTime::fromString(*start, Qt::ISODateWithMs);
            left.usedSeconds = notes->doubleValue(QString::fromLatin1(runningSecondsKey)).value_or(0.0);
            left.reason = notes->stringValue(QString::fromLatin1(runningReasonKey)).value_or(QString());
            left.stopped = notes->boolValue(QString::fromLatin1(runningStoppedKey)).value_or(false);
            if (!left.sessionID.isNull() && left.startedAt.isValid())
                m_leftRunning = left;
        }
    }
}

namespace {

SessionHistory::Options applicationOptions() {
    SessionHistory::Options options;
    options.checkInBackground = true;
    options.notes = &UserDefaults::standard();
    return options;
}

SessionHistory::Status statusOf(const QString& path, const QString& reason = {}) {
    SessionHistory::Status status;
    status.path = path;
    status.reason = reason;
    return status;
}

} // namespace

SessionHistory::SessionHistory(QObject* parent) : SessionHistory(applicationOptions(), parent) {}

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

void SessionHistory::setState(Availability availability, Status status) {
    m_status = std::move(status);
    setAvailability(availability);
}

bool SessionHistory::savesSessions() const {
    return writable() || m_availability == Availability::Checking;
}

bool SessionHistory::writable() const {
    return m_availability == Availability::OnDisk || m_availability == Availability::InMemory;
}

void SessionHistory::open() {
    if (m_availability != Availability::Closed)
        return;
    m_db = std::make_unique<HistoryDatabase>(nextConnectionName(), m_options.driver);
    if (m_options.inMemory) {
        openMemory();
        return;
    }
    const QString path = storePath();
    Status status = statusOf(path);
    if (path.isEmpty()) {
        status.reason = QStringLiteral("there is no application data folder");
        becomeUnavailable(status);
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        status.reason = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
        becomeUnavailable(status);
        return;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QFileInfo file(path);
    if (!file.isSymLink() && (!file.exists() || (file.isFile() && file.size() == 0))) {
        openForWriting(path, statusOf(path));
        return;
    }
    const QString driver = m_options.driver;
    if (!m_options.checkInBackground) {
        finishOpen(path, StoreFileCheck::check(path, driver, HistoryDatabase::schemaVersion));
        return;
    }
    setAvailability(Availability::Checking);
    m_check = QtConcurrent::run(
        [path, driver] { return StoreFileCheck::check(path, driver, HistoryDatabase::schemaVersion); });
    auto* watcher = new QFutureWatcher<StoreFileCheck::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        waitUntilOpen();
    });
    watcher->setFuture(m_check);
}

void SessionHistory::waitUntilOpen() {
    if (m_availability != Availability::Checking)
        return;
    m_check.waitForFinished();
    finishOpen(storePath(), m_check.result());
    m_check = {};
    if (const std::optional<double> minimum = std::exchange(m_pendingRecovery, std::nullopt))
        recoverRunning(*minimum);
    if (!writable() && !m_pending.isEmpty()) {
        // The sessions that waited for the check now wait for a file that can be written.
        m_saveFailure = unwritableReason();
        emit waitingChanged();
    }
    flush();
    emit changed();
}

void SessionHistory::finishOpen(const QString& path, const StoreFileCheck::Result& check) {
    using Verdict = StoreFileCheck::Verdict;
    using Problem = Status::Problem;
    Status status = statusOf(path, check.reason);
    switch (check.verdict) {
    case Verdict::Healthy:
        openForWriting(path, statusOf(path));
        return;
    case Verdict::NewerSchema:
        status.problem = Problem::NewerSchema;
        log::error(logHistory(), QStringLiteral("History store read only %1").arg(check.reason));
        openForReading(path, check.immutable, status);
        return;
    case Verdict::Inaccessible:
        becomeUnavailable(status);
        return;
    case Verdict::Unreadable:
        break;
    }
    m_db->close();
    // The log keeps all SQLite said; the status, which the windows show, keeps the plain reason.
    const QString why = check.details.isEmpty() ? check.reason : check.reason + QStringLiteral(": ") + check.details;
    QString renameError;
    const std::optional<QString> movedTo = StoreFileCheck::setAside(path, QDate::currentDate(), &renameError);
    if (!movedTo) {
        log::error(logHistory(),
                   QStringLiteral("History store not set aside %1: %2").arg(QDir::toNativeSeparators(path), why));
        status.reason = QStringLiteral("%1, and %2").arg(check.reason, renameError);
        becomeUnavailable(status);
        return;
    }
    log::error(logHistory(), QStringLiteral("History store set aside %1: %2; now %3")
                                 .arg(QDir::toNativeSeparators(path), why, QDir::toNativeSeparators(*movedTo)));
    status.problem = Problem::SetAside;
    status.movedTo = *movedTo;
    openForWriting(path, status);
}

void SessionHistory::openForWriting(const QString& path, Status status) {
    QString failure;
    int code = -1;
    try {
        m_db->openFile(path);
        prepareRunningTables();
        setState(Availability::OnDisk, std::move(status));
        return;
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(), QStringLiteral("History store unavailable %1").arg(error.description()));
        failure = error.reason();
        code = error.sqliteCode();
    }
    if (status.problem == Status::Problem::SetAside) {
        // The unreadable file is safe under its new name; only the new one failed.
        status.reason = failure;
        becomeUnavailable(std::move(status));
        return;
    }
    if (StoreFileCheck::isDamage(code)) {
        // Damage that the read-through did not reach: the same way as a file found damaged.
        finishOpen(path, {StoreFileCheck::Verdict::Unreadable, QStringLiteral("it is damaged"), failure});
        return;
    }
    status.problem = Status::Problem::ReadOnly;
    status.reason = failure;
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0) {
        becomeUnavailable(std::move(status));
        return;
    }
    openForReading(path, false, std::move(status));
}

void SessionHistory::openForReading(const QString& path, bool immutable, Status status) {
    for (const bool flag : {immutable, true}) {
        try {
            m_db->openReadOnly(path, flag);
            status.walHidden = flag && QFileInfo(path + QStringLiteral("-wal")).size() > 0;
            setState(Availability::ReadOnly, std::move(status));
            return;
        } catch (const HistoryStoreError& error) {
            log::error(logHistory(), QStringLiteral("History store unreadable %1").arg(error.description()));
            if (status.reason.isEmpty())
                status.reason = error.reason();
        }
        if (flag)
            break;
    }
    becomeUnavailable(std::move(status));
}

void SessionHistory::becomeUnavailable(Status status) {
    // A newer version's file stays named as such, whether or not its sessions could be read.
    if (status.problem != Status::Problem::NewerSchema)
        status.problem = Status::Problem::Unavailable;
    log::error(logHistory(), QStringLiteral("History store unavailable %1").arg(status.reason));
    m_db->close();
    setState(Availability::Unavailable, std::move(status));
}

void SessionHistory::retryUnwritable() {
    const bool mayPass = (m_availability == Availability::Unavailable || m_availability == Availability::ReadOnly) &&
                         m_status.problem != Status::Problem::NewerSchema;
    if (!mayPass || !m_db)
        return;
    m_db->close();
    m_availability = Availability::Closed;
    const Status before = m_status;
    open();
    waitUntilOpen();
    if (m_status != before)
        emit changed();
}

void SessionHistory::openMemory() {
    try {
        m_db->openInMemory();
        prepareRunningTables();
        setState(Availability::InMemory, {});
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("An in-memory history store could not be made: %1").arg(error.description()));
        becomeUnavailable(statusOf({}, error.reason()));
    }
}

void SessionHistory::prepareRunningTables() {
    if (!m_db->prepareRunningTables())
        log::error(logHistory(), QStringLiteral("History keeps no running session: the store cannot take it (%1); a "
                                                "crash loses the session that runs")
                                     .arg(m_db->runningTablesFailure()));
    else if (!m_db->noteTablesFailure().isEmpty())
        log::error(logHistory(), QStringLiteral("History keeps no room and no notes for the running session: the "
                                                "store cannot take them (%1); a disk that fills may cost its latest "
                                                "minutes")
                                     .arg(m_db->noteTablesFailure()));
}

bool SessionHistory::ensureOpen() {
    open();
    return writable() || m_availability == Availability::ReadOnly;
}

QString SessionHistory::unsavedReason(const QDateTime& startedAt) const {
    for (const StoredSession& session : m_pending) {
        if (session.startedAt == startedAt)
            return m_saveFailure;
    }
    return {};
}

std::optional<QUuid> SessionHistory::record(const SessionSummary& summary, const QDateTime& now,
                                            std::optional<QUuid> runningID) {
    // A store opened just now has just failed: trying it again at once would only fail again.
    if (m_availability == Availability::Closed)
        open();
    else
        retryUnwritable();
    flush();
    const QUuid sessionID = runningID ? *runningID : QUuid::createUuid();
    const StoredSession stored = StoredSession::fromSummary(sessionID, summary);
    // The session has ended: from here on it is told as a session waiting, if it waits (its note, if any, stays
    // until it is stored).
    clearRunningLoss();
    if (!writable()) {
        // While an existing file is read through, a session simply waits for it.
        if (m_availability != Availability::Checking) {
            m_saveFailure = unwritableReason();
            log::error(logHistory(), QStringLiteral("History save failed %1").arg(m_saveFailure));
            log::notice(logHistory(),
                        QStringLiteral("History keeps session %1 to write it again").arg(idText(sessionID)));
        }
        m_pending.append(stored);
        if (m_notedRunning == sessionID)
            noteRunning(stored, m_saveFailure, true);
        emit waitingChanged();
        return sessionID;
    }
    std::optional<QDateTime> cutoff;
    if (m_options.retention && std::isfinite(*m_options.retention))
        cutoff = now.addMSecs(-roundedNumber(*m_options.retention * 1000.0));
    try {
        m_db->insert(stored, cutoff);
        m_kept.remove(sessionID);
        forgetRunningNote(sessionID);
        emit changed();
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        m_saveFailure = error.reason();
        log::notice(logHistory(), QStringLiteral("History keeps session %1 to write it again").arg(idText(sessionID)));
        m_pending.append(stored);
        // Should this process not live to write it, the next launch finds it where the running session was kept.
        leaveToNextLaunch(stored);
        emit waitingChanged();
    }
    return sessionID;
}

void SessionHistory::keepRoomAhead() {
    open();
    if (!writable())
        return;
    if (!m_db->keepsRunning() || !m_db->noteTablesFailure().isEmpty())
        prepareRunningTables();
    takeRoom();
}

void SessionHistory::takeRoom() {
    try {
        const qint64 kept = m_db->reserveSpace(reservedBytes);
        if (kept < reservedBytes)
            log::notice(logHistory(),
                        QStringLiteral("History kept %1 kB of room for the running session: the disk had no more")
                            .arg(kept / 1024));
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("History could not keep room for the running session %1").arg(error.description()));
    }
}

void SessionHistory::keepRunning(const QUuid& sessionID, const SessionSummary& snapshot) {
    // Only a file that can be written keeps it: while an existing file is still checked, the next write
    // (within a minute) catches up.
    open();
    const StoredSession stored = StoredSession::fromSummary(sessionID, snapshot);
    if (sessionID != m_runningID) {
        m_runningID = sessionID;
        m_wholeSeconds = 0;
        m_recordSeconds = 0;
    }
    if (!writable()) {
        if (m_availability != Availability::Checking)
            setRunningLoss(stored, {RunningLoss::Kind::Nothing, 0, unwritableReason(), false});
        return;
    }
    if (!m_kept.contains(sessionID)) {
        // A store that could not take the running tables (or their notes) when it opened may take them now.
        if (!m_db->keepsRunning() || !m_db->noteTablesFailure().isEmpty())
            prepareRunningTables();
    }
    if (m_roomFor != sessionID) {
        // The session's first write takes room for the rest of it while the disk still has some; once only, as a
        // disk without room would otherwise be lengthened and shortened again before every write.
        m_roomFor = sessionID;
        takeRoom();
    }
    QString failure;
    try {
        m_db->writeRunning(stored);
        ++m_runningWrites;
        m_kept.insert(sessionID, Kept::Running);
        m_wholeSeconds = m_recordSeconds = finiteOrZero(stored.focusedSeconds);
        setRunningLoss(stored, {});
        return;
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("History could not keep the running session %1").arg(error.description()));
        failure = error.reason();
    }
    if (m_kept.contains(sessionID) && touchRunning(stored, false, failure)) {
        log::notice(logHistory(), QStringLiteral("History kept the time and figures of the running session %1; its "
                                                 "timeline stays as last written")
                                      .arg(idText(sessionID)));
        m_recordSeconds = finiteOrZero(stored.focusedSeconds);
        setRunningLoss(stored, {RunningLoss::Kind::Timeline, m_wholeSeconds, failure});
        return;
    }
    // The record stays as it was, if there is one: the user hears of what it lacks while the session runs.
    const double kept = m_kept.contains(sessionID) ? m_recordSeconds : 0.0;
    setRunningLoss(stored, kept >= shortestStored ? RunningLoss{RunningLoss::Kind::Behind, kept, failure}
                                                  : RunningLoss{RunningLoss::Kind::Nothing, kept, failure});
}

bool SessionHistory::touchRunning(const StoredSession& snapshot, bool stopped, const QString& failure) {
    try {
        return m_db->touchRunning(snapshot, stopped, failure);
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("History could not keep the running session %1").arg(error.description()));
        return false;
    }
}

void SessionHistory::leaveToNextLaunch(const StoredSession& stored) {
    const auto kept = m_kept.find(stored.sessionID);
    if (kept == m_kept.end() || !writable())
        return;
    QString failure;
    try {
        m_db->writeRunning(stored, true);
        *kept = Kept::EndedWhole;
        forgetRunningNote(stored.sessionID);
        return;
    } catch (const HistoryStoreError& error) {
        log::error(logHistory(),
                   QStringLiteral("History could not keep the running session %1").arg(error.description()));
        failure = error.reason();
    }
    if (touchRunning(stored, true, failure))
        *kept = Kept::EndedInPart;
    // Its record lacks the session's end (or its timeline's, which a store without notes cannot say): the next
    // launch learns how much from the notes.
    noteRunning(stored, failure, true);
}

void SessionHistory::setRunningLoss(const StoredSession& now, const RunningLoss& loss) {
    if (loss.kind == RunningLoss::Kind::None)
        forgetRunningNote(now.sessionID);
    else
        noteRunning(now, loss.reason, false);
    if (loss == m_runningLoss)
        return;
    m_runningLoss = loss;
    emit waitingChanged();
}

void SessionHistory::clearRunningLoss() {
    if (m_runningLoss == RunningLoss{})
        return;
    m_runningLoss = {};
    emit waitingChanged();
}

void SessionHistory::noteRunning(const StoredSession& now, const QString& reason, bool stopped) {
    UserDefaults* notes = m_options.notes;
    if (!notes)
        return;
    if (m_notedRunning != now.sessionID) {
        forgetRunningNote(m_notedRunning);
        notes->setString(QString::fromLatin1(runningStartKey), now.startedAt.toString(Qt::ISODateWithMs));
    }
    notes->setDouble(QString::fromLatin1(runningSecondsKey), finiteOrZero(now.focusedSeconds));
    notes->setString(QString::fromLatin1(runningReasonKey), reason);
    notes->setBool(QString::fromLatin1(runningStoppedKey), stopped);
    if (m_notedRunning != now.sessionID)
        notes->setString(QString::fromLatin1(runningIdKey), idText(now.sessionID));
    m_notedRunning = now.sessionID;
}

void SessionHistory::forgetRunningNote(const QUuid& sessionID) {
    if (!m_options.notes || sessionID.isNull() || m_notedRunning != sessionID)
        return;
    m_notedRunning = {};
    for (const char* key : {runningIdKey, runningStartKey, runningSecondsKey, runningReasonKey, runningStoppedKey})
        m_options.notes->remove(QString::fromLatin1(key));
}

void SessionHistory::setDeleteFailure(const QString& failure) {
    if (failure == m_deleteFailure)
        return;
    m_deleteFailure = failure;
    emit waitingChanged();
}

void SessionHistory::dropRunning(const QUuid& sessionID) {
    // Under a minute, it would not have been stored: nothing is lost.
    forgetRunningNote(sessionID);
    clearRunningLoss();
    open();
    if (!writable())
        return;
    try {
        m_db->dropRunning(sessionID);
        m_kept.remove(sessionID);
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
    }
}

void SessionHistory::endRunningUnexpectedly(const QUuid& sessionID, const SessionSummary& snapshot,
                                            double minimumSeconds) {
    open();
    const StoredSession stored = StoredSession::fromSummary(sessionID, snapshot);
    if (!writable()) {
        if (m_availability != Availability::Checking && finiteOrZero(stored.focusedSeconds) >= minimumSeconds)
            noteRunning(stored, unwritableReason(), false);
        return;
    }
    try {
        const bool kept = m_db->endRunning(stored, minimumSeconds, true);
        m_kept.remove(sessionID);
        forgetRunningNote(sessionID);
        if (kept)
            log::notice(logHistory(), QStringLiteral("History stored session %1 as ended early: Tavrine stopped "
                                                     "unexpectedly")
                                          .arg(idText(sessionID)));
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        // The next launch stores it from its record, brought as far as the store still takes, and learns from the
        // notes what that lacks.
        if (m_kept.contains(sessionID))
            touchRunning(stored, false, error.reason());
        if (finiteOrZero(stored.focusedSeconds) >= minimumSeconds)
            noteRunning(stored, error.reason(), false);
        else
            forgetRunningNote(sessionID);
    }
}

int SessionHistory::recoverRunning(double minimumSeconds) {
    open();
    if (m_availability == Availability::Checking) {
        // Done once the check ends, before this run can keep a session of its own.
        m_pendingRecovery = minimumSeconds;
        return 0;
    }
    if (!writable()) {
        // Its record, if any, stays in the file for a launch that can store it; this one tells what it knows.
        resolveLeftRunning({}, {});
        return 0;
    }
    int stored = 0;
    const qsizetype partlyBefore = m_lostAtLastQuit.partlySaved.size();
    QHash<QUuid, StoredSession> storedNow;
    QSet<QUuid> toldInPart;
    try {
        for (const HistoryDatabase::RunningRecord& record : m_db->runningRecords()) {
            const StoredSession& left = record.session;
            const std::optional<HistoryDatabase::RunningNote>& note = record.note;
            // A session its user ended, that the store could not take then, is no unexpected stop.
            const bool stoppedByUser =
                (note && note->stopped) ||
                (m_leftRunning && m_leftRunning->sessionID == left.sessionID && m_leftRunning->stopped);
            const bool unexpected = !stoppedByUser;
            if (m_db->endRunning(left, minimumSeconds, unexpected)) {
                ++stored;
                storedNow.insert(left.sessionID, left);
                log::notice(logHistory(),
                            unexpected ? QStringLiteral("History stored session %1 as ended early at its last write: "
                                                        "Tavrine stopped unexpectedly")
                                             .arg(idText(left.sessionID))
                                       : QStringLiteral("History stored session %1, which the last run ended and left "
                                                        "to this launch")
                                             .arg(idText(left.sessionID)));
                const double missing = note ? double(note->keptUntil.msecsTo(left.endedAt)) / 1000.0 : 0.0;
                if (note && !note->failure.isEmpty() && missing > 0) {
                    const QString& reason = note->failure;
                    m_lostAtLastQuit.partlySaved.append({left.startedAt, missing, reason});
                    toldInPart.insert(left.sessionID);
                    log::error(logHistory(),
                               QStringLiteral("History stored session %1 without the timeline of its "
                                              "last %2 s: %3")
                                   .arg(idText(left.sessionID), QString::number(missing, 'f', 0), reason));
                }
            } else {
                log::notice(logHistory(),
                            QStringLiteral("History dropped session %1 left running: under a minute was used")
                                .arg(idText(left.sessionID)));
            }
        }
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        // What its record kept is unknown: the word waits for a launch that can read it.
        if (m_lostAtLastQuit.partlySaved.size() != partlyBefore)
            emit waitingChanged();
        if (stored > 0)
            emit changed();
        return stored;
    }
    resolveLeftRunning(storedNow, toldInPart);
    if (m_lostAtLastQuit.partlySaved.size() != partlyBefore)
        emit waitingChanged();
    if (stored > 0)
        emit changed();
    return stored;
}

void SessionHistory::resolveLeftRunning(const QHash<QUuid, StoredSession>& stored, const QSet<QUuid>& toldInPart) {
    const std::optional<LeftRunning> left = std::exchange(m_leftRunning, std::nullopt);
    if (!left)
        return;
    if (UserDefaults* notes = m_options.notes;
        notes && notes->stringValue(QString::fromLatin1(runningIdKey)) == idText(left->sessionID)) {
        for (const char* key : {runningIdKey, runningStartKey, runningSecondsKey, runningReasonKey, runningStoppedKey})
            notes->remove(QString::fromLatin1(key));
    }
    const QString id = idText(left->sessionID);
    const auto found = stored.constFind(left->sessionID);
    if (found == stored.cend()) {
        log::error(logHistory(), QStringLiteral("History lost session %1, which ran %2 s: %3")
                                     .arg(id, QString::number(left->usedSeconds, 'f', 0), left->reason));
        m_lostAtLastQuit.lostRunning.append({left->startedAt, left->usedSeconds, left->reason});
        emit waitingChanged();
        return;
    }
    if (toldInPart.contains(left->sessionID))
        return;
    const StoredSession& session = *found;
    // Under a second short is the rounding of stored times, not a loss.
    const double missingTime = left->usedSeconds - finiteOrZero(session.focusedSeconds);
    SessionHistory::LostSessions::PartlySaved partly{session.startedAt, missingTime, left->reason, false};
    if (missingTime < 1.0) {
        // Its time reached the end; its timeline may not have, with no note in the store to say so.
        QDateTime reach = session.startedAt;
        for (const StoredSegment& segment : session.segments)
            reach = std::max(reach, segment.endedAt);
        partly.missingSeconds = double(reach.msecsTo(session.endedAt)) / 1000.0;
        partly.figuresKept = true;
        if (partly.missingSeconds < 1.0)
            return;
    }
    log::error(logHistory(), QStringLiteral("History stored session %1 without its last %2 s%3: %4")
                                 .arg(id, QString::number(partly.missingSeconds, 'f', 0),
                                      partly.figuresKept ? QStringLiteral(" of timeline") : QString(), left->reason));
    m_lostAtLastQuit.partlySaved.append(partly);
    emit waitingChanged();
}

QString SessionHistory::unwritableReason() const {
    switch (m_status.problem) {
    case Status::Problem::NewerSchema:
        return QStringLiteral("the history file is from a newer version of Tavrine");
    case Status::Problem::None:
    case Status::Problem::SetAside:
        break;
    case Status::Problem::ReadOnly:
    case Status::Problem::Unavailable:
        return m_status.reason;
    }
    return QStringLiteral("the history is not open");
}

void SessionHistory::flush() {
    if (m_pending.isEmpty())
        return;
    open();
    if (!writable())
        return;
    bool wrote = false;
    while (!m_pending.isEmpty()) {
        try {
            m_db->insert(m_pending.first(), std::nullopt);
        } catch (const HistoryStoreError& error) {
            logSaveFailed(error);
            m_saveFailure = error.reason();
            break;
        }
        log::notice(logHistory(),
                    QStringLiteral("History wrote kept session %1").arg(idText(m_pending.first().sessionID)));
        m_kept.remove(m_pending.first().sessionID);
        m_pending.removeFirst();
        wrote = true;
    }
    if (m_pending.isEmpty())
        m_saveFailure.clear();
    if (wrote) {
        emit waitingChanged();
        emit changed();
    }
}

void SessionHistory::quitting() {
    if (m_pending.isEmpty())
        return;
    waitUntilOpen();
    retryUnwritable();
    flush();
    qint64 lost = 0;
    for (const StoredSession& left : std::as_const(m_pending)) {
        // Its end may still fit where it did not when the session stopped.
        if (m_kept.value(left.sessionID, Kept::EndedWhole) == Kept::Running)
            leaveToNextLaunch(left);
        const auto kept = m_kept.constFind(left.sessionID);
        if (kept == m_kept.cend()) {
            ++lost;
            // Told as lost at quit; no word of it as a running session besides.
            forgetRunningNote(left.sessionID);
            log::error(logHistory(),
                       QStringLiteral("History lost session %1: %2").arg(idText(left.sessionID), m_saveFailure));
            continue;
        }
        if (*kept == Kept::Running) {
            // Its record falls short of its end: the notes tell the next launch how far.
            log::error(logHistory(), QStringLiteral("History left session %1 to the next launch as far as its record "
                                                    "reaches: %2")
                                         .arg(idText(left.sessionID), m_saveFailure));
            continue;
        }
        log::notice(logHistory(),
                    QStringLiteral("History left session %1 to the next launch to store%2: %3")
                        .arg(idText(left.sessionID),
                             *kept == Kept::EndedInPart ? QStringLiteral(" without its latest timeline") : QString(),
                             m_saveFailure));
    }
    if (lost > 0)
        noteLost(lost);
    m_pending.clear();
}

void SessionHistory::noteLost(qint64 count) {
    if (!m_options.notes)
        return;
    m_options.notes->setInteger(QString::fromLatin1(lostCountKey), count);
    m_options.notes->setString(QString::fromLatin1(lostReasonKey), m_saveFailure);
}

void SessionHistory::updatePhrases(const QUuid& sessionID, const SessionSummary& summary) {
    update(Column::Phrase, sessionID, summary);
}

void SessionHistory::updateIntents(const QUuid& sessionID, const SessionSummary& summary) {
    update(Column::Intent, sessionID, summary);
}

void SessionHistory::update(Column column, const QUuid& sessionID, const SessionSummary& summary) {
    open();
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
    if (!writable())
        return;

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

bool SessionHistory::deleteSession(const QUuid& sessionID) {
    const qsizetype waiting = m_pending.removeIf([&](const StoredSession& s) { return s.sessionID == sessionID; });
    if (waiting > 0)
        emit waitingChanged();
    open();
    waitUntilOpen();
    if (!writable()) {
        if (waiting > 0)
            emit changed();
        // A file that is only read still shows the session.
        if (m_availability == Availability::ReadOnly && find(sessionID)) {
            log::error(logHistory(), QStringLiteral("History delete failed %1").arg(unwritableReason()));
            setDeleteFailure(unwritableReason());
            return false;
        }
        return true;
    }
    flush();
    int deleted = 0;
    try {
        deleted = m_db->deleteSession(sessionID);
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        setDeleteFailure(error.reason());
        if (waiting > 0)
            emit changed();
        return false;
    }
    setDeleteFailure({});
    if (deleted > 0 || waiting > 0)
        emit changed();
    return true;
}

QString SessionHistory::saveFailure() const {
    return m_pending.isEmpty() ? QString() : m_saveFailure;
}

SessionHistory::DeleteAllResult SessionHistory::deleteAll() {
    auto refused = [](const QString& failure) {
        log::error(logHistory(), QStringLiteral("History clear failed %1").arg(failure));
        return DeleteAllResult{false, failure};
    };
    open();
    waitUntilOpen();
    // Clearing only the sessions waiting in memory would leave the file's sessions behind while claiming success.
    if (m_availability == Availability::ReadOnly)
        return refused(QStringLiteral("The history file %1 can only be read: %2.")
                           .arg(QDir::toNativeSeparators(storePath()), unwritableReason()));
    if (!writable())
        return refused(QStringLiteral("The history store could not be opened: %1.").arg(unwritableReason()));
    try {
        m_db->deleteAll();
    } catch (const HistoryStoreError& error) {
        logSaveFailed(error);
        return refused(error.description());
    }
    const bool hadWaiting = !m_pending.isEmpty();
    m_pending.clear();
    if (hadWaiting)
        emit waitingChanged();
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
    return page(offset, limit, true);
}

QList<StoredSession> SessionHistory::sessionsWithoutSegments(qint64 offset, qint64 limit) {
    return page(offset, limit, false);
}

QList<StoredSession> SessionHistory::page(qint64 offset, qint64 limit, bool withSegments) {
    if (!ensureOpen())
        return {};
    try {
        return m_db->sessions(offset, limit,
                              withSegments ? HistoryDatabase::Segments::With : HistoryDatabase::Segments::Without);
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
