#include "tavrine/session/RunningSessionKeeper.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/session/SessionWrapUpHost.h"

namespace tavrine {

void RunningSessionKeeper::start() {
    m_loop.clear();
    if (!m_history)
        return;
    m_id = QUuid::createUuid();
    m_shape = LogShape{};
    m_changed = false;
    write();
    const auto ticket = m_loop.begin();
    keep(ticket.token, m_session.alive());
}

void RunningSessionKeeper::noteLog(const SessionActivityLog& log) {
    if (!m_id)
        return;
    LogShape shape;
    shape.entries = log.entries.size();
    if (!log.entries.isEmpty()) {
        const SessionLogEntry& last = log.entries.last();
        shape.last = last.id;
        shape.kind = last.kind;
        shape.open = !last.endedAt.has_value();
    }
    if (shape == m_shape)
        return;
    m_shape = shape;
    m_changed = true;
}

void RunningSessionKeeper::finish(bool drop) {
    m_loop.clear();
    if (m_id && drop && m_history)
        m_history->dropRunning(*m_id);
    m_id.reset();
}

void RunningSessionKeeper::endUnexpectedly() {
    m_loop.clear();
    if (!m_id || !m_history || !m_session.isActive())
        return;
    m_history->endRunningUnexpectedly(*m_id, m_snapshot(), minimumStoredSeconds);
    m_id.reset();
}

void RunningSessionKeeper::shutdown() {
    m_loop.clear();
}

void RunningSessionKeeper::write() {
    m_changed = false;
    m_lastWrite = m_session.clock().now();
    m_history->keepRunning(*m_id, m_snapshot());
}

QCoro::Task<void> RunningSessionKeeper::keep(CancellationToken token, std::shared_ptr<bool> alive) {
    try {
        for (;;) {
            try {
                co_await m_session.clock().sleep(lookInterval, token);
            } catch (const CancelledError&) {
            }
            if (token.isCancelled() || !*alive)
                co_return;
            // The next look would come too late for the once-a-minute write: write on this one.
            if (m_id && (m_changed || m_session.clock().now() - m_lastWrite + lookInterval > writeInterval))
                write();
        }
    } catch (const std::exception&) {
        // Nobody awaits this task; the history logs its own failures, and the stop still stores the session.
    }
}

} // namespace tavrine
