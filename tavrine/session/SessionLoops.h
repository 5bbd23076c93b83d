#pragma once

#include "tavrine/session/SessionLoopsHost.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <memory>

namespace tavrine {

// The three tasks that drive a running session: the ticker counts down and wakes exactly when the displayed
// remaining time changes, the worker runs the periodic check once a second, and the settle check runs it one
// second after an application activation. Ticker and worker are made by the first start and idle while no
// session runs; they end with the session object.
//
// Owns the three task slots. Reaches the session only through `SessionLoopsHost`.
class SessionLoops {
public:
    explicit SessionLoops(SessionLoopsHost& session) : m_session(session) {}

    // Makes the ticker and the worker unless they exist.
    void startLoops();
    // Replaces the pending settle check with one a second from now (none in demo mode), so a burst of
    // activations leads to one check after the last of them.
    void scheduleSettleCheck();
    // Cancels the settle check and forgets it.
    void clearSettleCheck();
    // The session is going away: every loop wakes and ends.
    void shutdown();

    // One countdown step: drift text and log rows refreshed, the remaining time read; at zero the session
    // completes, otherwise a due nudge gets its final check.
    void tick();

    // How long the ticker sleeps: until the remaining time passes the next whole second while running (at
    // least 1 ms; 50 ms polls once it reached zero), else a second.
    static double tickerDelay(bool running, double remaining);

private:
    QCoro::Task<void> tickerLoop(CancellationToken token, std::shared_ptr<bool> alive);
    QCoro::Task<void> workerLoop(CancellationToken token, std::shared_ptr<bool> alive);
    QCoro::Task<void> settleCheck(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);

    SessionLoopsHost& m_session;
    TaskSlot m_ticker;
    TaskSlot m_worker;
    TaskSlot m_settleCheck;
};

} // namespace tavrine
