#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/session/JudgingHost.h"
#include "tavrine/session/MonitoringState.h"

#include <QCoro/QCoroTask>
#include <QtGlobal>

namespace tavrine {

// What the observation queue asks of the session beyond what every judging role asks.
class ObservationQueueHost : public JudgingHost {
public:
    virtual double latency() const = 0;
    virtual MonitoringState monitoringState() const = 0;
    // Raised whenever the frontmost activity may have changed.
    virtual qint64 activityRevision() const = 0;

    // The counters go up by one.
    virtual void countCheck() = 0;
    virtual void countDiscardedCheck() = 0;
    // Each notifies only on a real change.
    virtual void setLatency(double latency) = 0;
    virtual void setIsJudging(bool judging) = 0;
    virtual void setDiagnostic(const QString& text) = 0;
    // A definite verdict tints the menu bar; the wait after a drift goes on.
    virtual void rememberDefiniteTint(ActivityRelevance label) = 0;

    // --- Steps of the final nudge check ---
    // Starts the final check when a nudge is due.
    virtual void checkNudgeDue() = 0;
    // The final nudge check inside the caller's task, with that task's token.
    virtual QCoro::Task<void> runFinalCheck(CancellationToken token) = 0;

protected:
    ~ObservationQueueHost() = default;
};

} // namespace tavrine
