#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityJudgment.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/NudgePolicy.h"
#include "tavrine/session/MonitoringHost.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

namespace tavrine {

// What the two roles that have a snapshot judged share: the observation queue and the final nudge check. Both
// ask the classifier, move the drift clock and write the activity log with the verdict.
class JudgingHost : public MonitoringHost {
public:
    virtual QString intention() const = 0;
    virtual bool isFocusSession() const = 0;
    // Screen content may go to the diagnostics log.
    virtual bool logScreenContent() const = 0;
    virtual QString sessionID() const = 0;
    // A task that nobody awaits failed in a way no step expects; error level.
    virtual void logUnexpectedFailure(const QString& what, std::exception_ptr error) const = 0;

    // Asks the classifier; throws MissingClassifierError without one, CancelledError once `token` is cancelled.
    virtual QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                                   std::function<void(ActivityRelevance)> onLabel,
                                                   CancellationToken token) = 0;
    // The classifier's early label: applied to the menu-bar inputs while the judged snapshot is still the
    // session's (its generation, and its activity revision when given).
    virtual std::function<void(ActivityRelevance)> earlyLabelCallback(qint64 generation,
                                                                      std::optional<qint64> revision) = 0;
    // The classifier's P(yes) and work note of its last judgment; none without a classifier.
    virtual std::optional<double> lastConfidence() const = 0;
    virtual std::optional<QString> lastWorkNote() const = 0;

    // The drift clock.
    virtual const NudgePolicy& driftClock() const = 0;
    // The drift clock says a nudge is due now.
    virtual bool isNudgeDue() const = 0;
    virtual void recordVerdict(ActivityRelevance label, double t) = 0;
    // The judge answered: a failure shown since an earlier check is over.
    virtual void noteCheckSucceeded() = 0;

    // An observation at `t` that gave no verdict: the drift clock notes it, the shown verdict is forgotten.
    virtual void noteObservation(double t) = 0;
    // The verdict's window becomes the work window to return to.
    virtual void noteRelevantWindow(const ActivityEvidence& evidence) = 0;
    // Marks the start of the drift the user sees, unless one is already marked.
    virtual void noteDriftAt(double t) = 0;
    // Writes a verdict into the activity log (uncertain ones are not written).
    virtual void recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                                const ActivityEvidence& evidence) = 0;
    // Each notifies only on a real change.
    virtual void setLastDriftAt(std::optional<double> at) = 0;
    virtual void setLastExplanation(const QString& text) = 0;
    virtual void refreshDriftText() = 0;

protected:
    ~JudgingHost() = default;
};

} // namespace tavrine
