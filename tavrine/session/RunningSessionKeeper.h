#pragma once

#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/history/SessionSummary.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class SessionHistory;
class SessionWrapUpHost;

// Keeps the running session in the history store while it runs, so that a process that dies (a kill, a crash,
// a lost display) loses at most the last minute of it. The session is written when it starts, soon after its
// activity log gains a stretch (changes that come close together make one write), and whenever its time used
// reaches a whole minute, whatever was written between: so at any moment the record holds all but at most the
// last minute, and from the first minute on at least a minute, which is what a session needs to be kept. Never
// on the one-second tick. A session stopped normally is stored by the wrap-up under the same identifier, which
// removes this record in the same transaction.
class RunningSessionKeeper {
public:
    // The session is written each time its time used reaches a multiple of this.
    static constexpr double writeInterval = 60.0;
    // How often the keeper looks; log changes within one look are written together.
    static constexpr double lookInterval = 10.0;
    // A session used for less than this is never stored.
    static constexpr double minimumStoredSeconds = 60.0;

    using Snapshot = std::function<SessionSummary()>;

    RunningSessionKeeper(SessionWrapUpHost& session, std::shared_ptr<SessionHistory> history, Snapshot snapshot)
        : m_session(session), m_history(std::move(history)), m_snapshot(std::move(snapshot)) {}

    // A session started: a new record, written at once.
    void start();
    // The activity log may have changed; a new or ended stretch is written at the next look.
    void noteLog(const SessionActivityLog& log);
    // The identifier the running session is kept under; none when nothing is kept.
    std::optional<QUuid> id() const { return m_id; }
    // The session was stored by the wrap-up (which removed the record) or is not to be stored (`drop`).
    void finish(bool drop);
    // The process is going away without stopping the session: it ends here, as Tavrine stopping unexpectedly.
    void endUnexpectedly();
    void shutdown();

private:
    struct LogShape {
        qsizetype entries = 0;
        QUuid last;
        SessionLogKind kind = SessionLogKind::Related;
        bool open = false;
        bool operator==(const LogShape&) const = default;
    };

    void write();
    // The session as the record keeps it: as it would end now, with its open stretch cut here.
    SessionSummary runningSnapshot() const;
    QCoro::Task<void> keep(CancellationToken token, std::shared_ptr<bool> alive);

    SessionWrapUpHost& m_session;
    std::shared_ptr<SessionHistory> m_history;
    Snapshot m_snapshot;
    TaskSlot m_loop;
    std::optional<QUuid> m_id;
    LogShape m_shape;
    bool m_changed = false;
    // The time used at which the next whole-minute write is due.
    double m_nextMark = 0;
};

} // namespace tavrine
