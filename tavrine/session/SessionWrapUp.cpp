#include "tavrine/session/SessionWrapUp.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Numbers.h"
#include "tavrine/history/SessionTimeline.h"
#include "tavrine/history/TimelineBlocks.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/model/RecapWriting.h"
#include "tavrine/session/Cancellable.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace tavrine {

namespace {

constexpr qsizetype topDetourLimit = 3;

// A line about a finished session carries that session's identifier, also when another one runs by now.
void logFor(const QString& sessionID, const QString& message) {
    if (log::enabled(logFocus(), log::Level::Info))
        log::info(logFocus(), QStringLiteral("session=%1 %2").arg(sessionID, log::priv(message)));
}

QHash<QString, QString> toHash(const QMap<QString, QString>& map) {
    QHash<QString, QString> hash;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        hash.insert(it.key(), it.value());
    return hash;
}

} // namespace

SessionSummary SessionWrapUp::summarise(bool completed, double usedSeconds) const {
    return summariseLog(m_session.activityLog().entries, m_session.activityLogTime(), completed, usedSeconds);
}

SessionSummary SessionWrapUp::snapshot() const {
    const double logTime = m_session.activityLogTime();
    SessionActivityLog closed = m_session.activityLog();
    closed.close(logTime);
    return summariseLog(closed.entries, logTime, false, m_session.usedSeconds());
}

SessionSummary SessionWrapUp::summariseLog(const QList<SessionLogEntry>& entries, double logTime, bool completed,
                                           double usedSeconds) const {
    const SessionWrapUpHost& s = m_session;
    const double startedUptime = s.startedUptime();
    const QDateTime startedDate = s.startedDate();
    QList<SessionLogEntry> detourEntries;
    double detourSeconds = 0;
    for (const SessionLogEntry& entry : entries) {
        if (entry.kind != SessionLogKind::Detour)
            continue;
        detourEntries.append(entry);
        detourSeconds += entry.duration(logTime);
    }

    SessionSummary summary;
    summary.intention = s.intention();
    summary.startedAt = startedDate;
    summary.focusedSeconds = usedSeconds;
    summary.completed = completed;
    summary.detours = detourEntries.size();
    summary.detourSeconds = detourSeconds;
    summary.longestStreak = std::min(longestStreak(entries, startedUptime, logTime), usedSeconds);
    summary.topDetours = buildTopDetours(detourEntries, startedDate, startedUptime, logTime);
    if (summary.topDetours.size() > topDetourLimit)
        summary.topDetours.resize(topDetourLimit);
    summary.timeline = timelineFromLogEntries(entries, startedUptime, logTime);
    return summary;
}

void SessionWrapUp::handOff(const SessionSummary& summary) {
    std::optional<QUuid> historyID;
    if (m_history)
        historyID = m_history->record(summary, m_session.clock().date(), m_keeper.id());
    m_keeper.finish(false);
    requestRecapLines(summary, historyID);
    requestHistoryIntents(summary, historyID);
}

void SessionWrapUp::shutdown() {
    m_keeper.shutdown();
    for (auto& [id, slot] : m_recapTasks)
        slot.clear();
    for (auto& [id, slot] : m_intentTasks)
        slot.clear();
}

void SessionWrapUp::refreshRunning() {
    m_session.setBackgroundWritersRunning(runningWriters() > 0);
}

int SessionWrapUp::runningWriters() const {
    return int(m_recapTasks.size() + m_intentTasks.size());
}

QList<RecapDetourFacts> SessionWrapUp::recapFacts(const SessionSummary& summary) {
    QList<RecapDetourFacts> facts;
    for (const SessionSummary::Detour& detour : summary.topDetours) {
        RecapDetourFacts fact;
        fact.id = detour.key;
        fact.app = detour.clues.app;
        fact.site = detour.clues.host;
        fact.minutes = std::max<qint64>(1, roundedNumber(detour.seconds / 60.0));
        fact.titles = detour.clues.titles;
        fact.captions = detour.clues.captions;
        fact.fallback = detour.phrase;
        facts.append(fact);
    }
    return facts;
}

void SessionWrapUp::applyIntents(SessionSummary& summary, const QMap<QString, QString>& intents) {
    for (SessionTimeline::Segment& segment : summary.timeline.segments) {
        if (segment.kind == SessionTimeline::Kind::Gap)
            continue;
        const auto found = intents.constFind(QString::number(segment.id));
        if (found != intents.cend())
            segment.intent = *found;
    }
}

void SessionWrapUp::finish(std::map<QString, TaskSlot>& tasks, const QString& sessionID, quint64 taskID) {
    const auto found = tasks.find(sessionID);
    if (found == tasks.end())
        return;
    found->second.finish(taskID);
    if (!found->second.isPresent())
        tasks.erase(found);
    refreshRunning();
}

void SessionWrapUp::requestRecapLines(const SessionSummary& summary, std::optional<QUuid> historyID) {
    SessionWrapUpHost& s = m_session;
    // Only this session's own earlier task is replaced; another session's goes on to its stored record.
    if (const auto existing = m_recapTasks.find(s.sessionID()); existing != m_recapTasks.end())
        existing->second.cancel();
    if (!m_recapWriter || summary.topDetours.isEmpty())
        return;
    writeRecapLines(m_recapWriter, summary, recapFacts(summary), historyID, s.sessionID(),
                    m_recapTasks[s.sessionID()].begin(), s.alive());
    refreshRunning();
}

QCoro::Task<void> SessionWrapUp::writeRecapLines(std::shared_ptr<RecapWriting> writer, SessionSummary summary,
                                                 QList<RecapDetourFacts> facts, std::optional<QUuid> historyID,
                                                 QString sessionID, TaskSlot::Ticket ticket,
                                                 std::shared_ptr<bool> alive) {
    try {
        QMap<QString, QString> lines;
        std::exception_ptr failure;
        try {
            lines = co_await cancellable(writer->write(summary.intention, std::move(facts)), ticket.token);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!*alive)
            co_return;
        SessionWrapUpHost& s = m_session;
        finish(m_recapTasks, sessionID, ticket.id);
        if (failure) {
            logFor(sessionID, QStringLiteral("Recap lines failed %1; keeping fallbacks").arg(errorKindCode(failure)));
            co_return;
        }
        if (ticket.token.isCancelled())
            co_return;

        const QHash<QString, QString> phrases = toHash(lines);
        if (historyID && m_history) {
            SessionSummary stored = summary;
            stored.applyDetourPhrases(phrases);
            m_history->updatePhrases(*historyID, stored);
        }
        if (s.sessionID() != sessionID || !s.summary())
            co_return;
        SessionSummary live = *s.summary();
        live.applyDetourPhrases(phrases);
        s.setSummary(std::move(live));
        s.changeActivityLog([&phrases](SessionActivityLog& log) {
            for (SessionLogEntry& entry : log.entries) {
                const auto found = phrases.constFind(entry.mergeKey);
                // A blank line never replaces a phrase.
                if (found != phrases.cend() && !found->trimmed().isEmpty())
                    entry.phrase = *found;
            }
        });
        logFor(sessionID, QStringLiteral("Recap lines written count=%1 prompt=%2")
                              .arg(QString::number(lines.size()), writer->promptVersion()));
    } catch (const std::exception& error) {
        // Nobody awaits this task: whatever escapes would be lost.
        if (*alive)
            logFor(sessionID, QStringLiteral("Recap lines failed %1; keeping fallbacks").arg(errorKindCode(error)));
    }
}

void SessionWrapUp::requestHistoryIntents(const SessionSummary& summary, std::optional<QUuid> historyID) {
    SessionWrapUpHost& s = m_session;
    if (const auto existing = m_intentTasks.find(s.sessionID()); existing != m_intentTasks.end())
        existing->second.cancel();
    QList<HistoryBlockFacts> blocks = makeHistoryBlockFacts(summary.timeline.segments);
    if (!m_intentWriter || blocks.isEmpty())
        return;
    writeHistoryIntents(m_intentWriter, summary, std::move(blocks), historyID, s.sessionID(),
                        m_intentTasks[s.sessionID()].begin(), s.alive());
    refreshRunning();
}

QCoro::Task<void> SessionWrapUp::writeHistoryIntents(std::shared_ptr<HistoryIntentWriting> writer,
                                                     SessionSummary summary, QList<HistoryBlockFacts> blocks,
                                                     std::optional<QUuid> historyID, QString sessionID,
                                                     TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    try {
        QMap<QString, QString> intents;
        std::exception_ptr failure;
        try {
            intents = co_await cancellable(writer->write(summary.intention, std::move(blocks)), ticket.token);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!*alive)
            co_return;
        SessionWrapUpHost& s = m_session;
        finish(m_intentTasks, sessionID, ticket.id);
        if (failure) {
            logFor(sessionID,
                   QStringLiteral("History lines failed %1; keeping logged lines").arg(errorKindCode(failure)));
            co_return;
        }
        if (ticket.token.isCancelled())
            co_return;

        if (historyID && m_history) {
            SessionSummary stored = summary;
            applyIntents(stored, intents);
            m_history->updateIntents(*historyID, stored);
        }
        logFor(sessionID, QStringLiteral("History lines written count=%1 prompt=%2")
                              .arg(QString::number(intents.size()), writer->promptVersion()));
        if (s.sessionID() != sessionID || !s.summary())
            co_return;
        SessionSummary live = *s.summary();
        applyIntents(live, intents);
        s.setSummary(std::move(live));
    } catch (const std::exception& error) {
        if (*alive)
            logFor(sessionID,
                   QStringLiteral("History lines failed %1; keeping logged lines").arg(errorKindCode(error)));
    }
}

} // namespace tavrine
