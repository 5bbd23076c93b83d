#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/model/HistoryBlockFacts.h"
#include "tavrine/model/RecapDetourFacts.h"
#include "tavrine/session/RunningSessionKeeper.h"
#include "tavrine/session/SessionWrapUpHost.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>
#include <map>
#include <memory>
#include <optional>

namespace tavrine {

class HistoryIntentWriting;
class RecapWriting;
class SessionHistory;

// The end of a session: its closed activity log becomes a summary and a timeline, the summary is stored in the
// history, and the recap and history-intent writers improve its phrases in the background. Writer tasks
// outlive the session run: their lines always reach the stored record of the session they were written for,
// and the live summary only while that session is still the one shown. Each session has its own writer tasks,
// so a later session never cancels an earlier one's.
//
// Owns the history store, the two writers and their running tasks. Reaches the session only through
// `SessionWrapUpHost`.
class SessionWrapUp {
public:
    SessionWrapUp(SessionWrapUpHost& session, std::shared_ptr<SessionHistory> history,
                  std::shared_ptr<RecapWriting> recapWriter, std::shared_ptr<HistoryIntentWriting> intentWriter)
        : m_session(session), m_history(std::move(history)), m_recapWriter(std::move(recapWriter)),
          m_intentWriter(std::move(intentWriter)), m_keeper(session, m_history, [this] { return snapshot(); }) {}

    // The summary of the session as its closed log stands, `usedSeconds` being the time the user spent in it.
    SessionSummary summarise(bool completed, double usedSeconds) const;
    // The summary the session would have if it were ended early now; its log stays as it is.
    SessionSummary snapshot() const;
    // Stores the summary (when there is a history) and starts the two writers for it.
    void handOff(const SessionSummary& summary);
    // The running session's record in the history: kept from the start, dropped when the session ends without
    // being stored, ended as an unexpected stop when the process goes away under it.
    RunningSessionKeeper& keeper() { return m_keeper; }
    // The session is going away: every writer task stops waiting.
    void shutdown();

    // Writer tasks still waiting for their answer.
    int runningWriters() const;

    // One fact per top detour, for the recap writer; at least one minute each.
    static QList<RecapDetourFacts> recapFacts(const SessionSummary& summary);
    // Gives every non-gap timeline segment whose id (in decimal) the map names its intent.
    static void applyIntents(SessionSummary& summary, const QMap<QString, QString>& intents);

private:
    void requestRecapLines(const SessionSummary& summary, std::optional<QUuid> historyID);
    void requestHistoryIntents(const SessionSummary& summary, std::optional<QUuid> historyID);
    QCoro::Task<void> writeRecapLines(std::shared_ptr<RecapWriting> writer, SessionSummary summary,
                                      QList<RecapDetourFacts> facts, std::optional<QUuid> historyID, QString sessionID,
                                      TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);
    QCoro::Task<void> writeHistoryIntents(std::shared_ptr<HistoryIntentWriting> writer, SessionSummary summary,
                                          QList<HistoryBlockFacts> blocks, std::optional<QUuid> historyID,
                                          QString sessionID, TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);
    // A writer task ended: its slot goes, unless a newer task of the same session took it.
    void finish(std::map<QString, TaskSlot>& tasks, const QString& sessionID, quint64 taskID);
    // Tells the session whether any writer is still waiting.
    void refreshRunning();
    SessionSummary summariseLog(const QList<SessionLogEntry>& entries, double logTime, bool completed,
                                double usedSeconds) const;

    SessionWrapUpHost& m_session;
    std::shared_ptr<SessionHistory> m_history;
    std::shared_ptr<RecapWriting> m_recapWriter;
    std::shared_ptr<HistoryIntentWriting> m_intentWriter;
    // Keyed by the session's `sessionID`.
    std::map<QString, TaskSlot> m_recapTasks;
    std::map<QString, TaskSlot> m_intentTasks;
    RunningSessionKeeper m_keeper;
};

} // namespace tavrine
