#pragma once

#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/history/SessionSummary.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class Clock;

// What the wrap-up of a session asks of it.
class SessionWrapUpHost {
public:
    // Every task holds a copy and stops at its next step once the session is gone.
    virtual std::shared_ptr<bool> alive() const = 0;
    virtual Clock& clock() const = 0;
    virtual QString intention() const = 0;
    // Running or paused.
    virtual bool isActive() const = 0;
    // The time used so far: the planned duration less what remains; a pause does not count.
    virtual double usedSeconds() const = 0;
    virtual QString sessionID() const = 0;
    // Session-clock seconds and the date when the current session started.
    virtual double startedUptime() const = 0;
    virtual QDateTime startedDate() const = 0;
    // The session clock plus the whole seconds slept since the start: the time of the activity log.
    virtual double activityLogTime() const = 0;
    virtual const SessionActivityLog& activityLog() const = 0;
    // Changes the activity log and refreshes its rows.
    virtual void changeActivityLog(const std::function<void(SessionActivityLog&)>& change) = 0;

    virtual const std::optional<SessionSummary>& summary() const = 0;
    // Each notifies only on a real change.
    virtual void setSummary(std::optional<SessionSummary> summary) = 0;
    virtual void setBackgroundWritersRunning(bool running) = 0;

protected:
    ~SessionWrapUpHost() = default;
};

} // namespace tavrine
