#pragma once

#include "tavrine/session/SessionTaskHost.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>

namespace tavrine {

class Clock;

// What the session's loops (ticker, worker, settle check) ask of it.
class SessionLoopsHost : public SessionTaskHost {
public:
    // Running or paused.
    virtual bool isActive() const = 0;
    // Seconds left; frozen while paused.
    virtual double remaining() const = 0;
    virtual bool isDemo() const = 0;
    virtual Clock& clock() const = 0;
    // Session-clock seconds when the running countdown reaches zero.
    virtual double deadline() const = 0;
    // A task that nobody awaits failed in a way no step expects; error level.
    virtual void logUnexpectedFailure(const QString& what, std::exception_ptr error) const = 0;

    virtual void setRemaining(double remaining) = 0;
    virtual void refreshDriftText() = 0;
    virtual void refreshActivityLogItems() = 0;
    // The countdown ran out.
    virtual void completeSession() = 0;
    // Starts the final check when a nudge is due.
    virtual void checkNudgeDue() = 0;
    virtual QCoro::Task<void> runPeriodicCheck() = 0;

protected:
    ~SessionLoopsHost() = default;
};

} // namespace tavrine
