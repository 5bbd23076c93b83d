#include "tavrine/session/RunningSessionKeeper.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/history/SessionTimeline.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/session/SessionWrapUpHost.h"

#include <algorithm>
#include <cmath>

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
    // Counted from the time used, not from this write: a write on a change must not push the next whole minute
    // further away.
    m_nextMark = (std::floor(m_session.usedSeconds() / writeInterval) + 1) * writeInterval;
    m_history->keepRunning(*m_id, runningSnapshot());
}

SessionSummary RunningSessionKeeper::runningSnapshot() const {
    SessionSummary summary = m_snapshot();
    // The open stretch is cut at the time the record stores, however short it is yet. An ended session leaves out
    // stretches under half a minute; this one has not ended, and without it the record's time would run past its
    // timeline (a kill a little after a new stretch began would keep the time and no segment of it).
    const SessionActivityLog& log = m_session.activityLog();
    if (log.entries.isEmpty() || log.entries.last().endedAt)
        return summary;
    const SessionLogEntry& open = log.entries.last();
    const double origin = m_session.startedUptime();
    const double cut = origin + summary.timeline.length;
    if (cut - open.startedAt >= SessionActivityLog::minimumStretch || !(cut > open.startedAt))
        return summary;
    summary.timeline.segments.append(segmentOfEntry(open, origin, cut));
    summary.timeline = normaliseTimeline(std::move(summary.timeline.segments), summary.timeline.length);
    return summary;
}

QCoro::Task<void> RunningSessionKeeper::keep(CancellationToken token, std::shared_ptr<bool> alive) {
    try {
        for (;;) {
            // Woken at the whole minute itself where it comes before the next look; a pause stops the time used,
            // so then the looks simply go on. Never a wait of nothing, so that time always moves on.
            const double untilMark = m_nextMark - m_session.usedSeconds();
            const double wait = std::clamp(untilMark, 0.001, lookInterval);
            try {
                co_await m_session.clock().sleep(wait, token);
            } catch (const CancelledError&) {
            }
            if (token.isCancelled() || !*alive)
                co_return;
            // A stretch that just ended is followed by the next once the new activity is judged: a change alone
            // waits for that, so that the record does not keep time after its last stretch with none open to cut.
            const SessionActivityLog& log = m_session.activityLog();
            const bool open = !log.entries.isEmpty() && !log.entries.last().endedAt;
            if (m_id && ((m_changed && open) || m_session.usedSeconds() >= m_nextMark))
                write();
        }
    } catch (const std::exception&) {
        // Nobody awaits this task; the history logs its own failures, and the stop still stores the session.
    }
}

} // namespace tavrine
