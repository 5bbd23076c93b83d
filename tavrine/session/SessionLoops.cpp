#include "tavrine/session/SessionLoops.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Numbers.h"

#include <cmath>

namespace tavrine {

void SessionLoops::startLoops() {
    if (!m_ticker.isPresent()) {
        const auto ticket = m_ticker.begin();
        tickerLoop(ticket.token, m_session.alive());
    }
    if (!m_worker.isPresent()) {
        const auto ticket = m_worker.begin();
        workerLoop(ticket.token, m_session.alive());
    }
}

void SessionLoops::scheduleSettleCheck() {
    m_settleCheck.cancel();
    if (m_session.isDemo())
        return;
    settleCheck(m_settleCheck.begin(), m_session.alive());
}

void SessionLoops::clearSettleCheck() {
    m_settleCheck.clear();
}

void SessionLoops::shutdown() {
    m_ticker.clear();
    m_worker.clear();
    m_settleCheck.clear();
}

double SessionLoops::tickerDelay(bool running, double remaining) {
    if (!running || !std::isfinite(remaining))
        return 1.0;
    const double r = std::max(0.0, remaining);
    const qint64 c = wholeNumber(std::ceil(r));
    if (c == 0)
        return 0.05;
    return std::max(0.001, r - double(c - 1));
}

void SessionLoops::tick() {
    SessionLoopsHost& s = m_session;
    if (s.isActive()) {
        s.refreshDriftText();
        s.refreshActivityLogItems();
    }
    if (!s.isRunning())
        return;
    const double left = s.deadline() - s.now();
    s.setRemaining(left > 0 ? left : 0.0);
    if (s.remaining() == 0)
        s.completeSession();
    else
        s.checkNudgeDue();
}

QCoro::Task<void> SessionLoops::tickerLoop(CancellationToken token, std::shared_ptr<bool> alive) {
    for (;;) {
        if (token.isCancelled() || !*alive)
            co_return;
        const double delay = tickerDelay(m_session.isRunning(), m_session.deadline() - m_session.now());
        try {
            co_await m_session.clock().sleep(delay, token);
        } catch (const CancelledError&) {
        }
        if (!*alive)
            co_return;
        tick();
    }
}

QCoro::Task<void> SessionLoops::workerLoop(CancellationToken token, std::shared_ptr<bool> alive) {
    for (;;) {
        if (token.isCancelled() || !*alive)
            co_return;
        if (m_session.isRunning() && !m_session.isDemo()) {
            try {
                co_await m_session.runPeriodicCheck();
            } catch (...) {
                // The loop outlives any one pass: report the failure and go on with the next second.
                if (*alive)
                    m_session.logUnexpectedFailure(QStringLiteral("Periodic check"), std::current_exception());
            }
            if (!*alive)
                co_return;
        }
        try {
            co_await m_session.clock().sleep(1.0, token);
        } catch (const CancelledError&) {
        }
    }
}

QCoro::Task<void> SessionLoops::settleCheck(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    try {
        co_await m_session.clock().sleep(1.0, ticket.token);
    } catch (const CancelledError&) {
    }
    if (ticket.token.isCancelled() || !*alive)
        co_return;
    if (!m_session.isRunning())
        co_return;
    try {
        co_await m_session.runPeriodicCheck();
    } catch (...) {
        if (*alive)
            m_session.logUnexpectedFailure(QStringLiteral("Settle check"), std::current_exception());
    }
}

} // namespace tavrine
