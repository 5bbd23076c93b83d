#pragma once

#include "tavrine/model/AccessibilityCaptureDebug.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/session/ActivitySnapshot.h"
#include "tavrine/session/MonitoringHost.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace tavrine {

// What the periodic pass asks of the session.
class PeriodicCheckHost : public MonitoringHost {
public:
    // The readings a pass starts on, taken in one call: most passes end on them.
    struct PassReadings {
        // Session-clock seconds.
        double now = 0;
        bool running = false;
        // A nudge is being verified or written.
        bool preparingNudge = false;
        // The drift clock says a nudge is due at `now`.
        bool nudgeDue = false;
        bool focusSession = false;
        bool capturing = false;
    };
    virtual PassReadings passReadings() const = 0;

    virtual bool accessibilityReady() const = 0;
    virtual bool screenReady() const = 0;
    virtual bool isDemo() const = 0;
    // Raised whenever the frontmost activity may have changed.
    virtual qint64 activityRevision() const = 0;
    // The drift clock says a nudge is due now.
    virtual bool isNudgeDue() const = 0;

    // --- Log lines on the "Focus" category ---
    virtual void logSession(const QString& message) const = 0;
    // The observation's context for the diagnostics log, while screen content may be logged.
    virtual void logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const = 0;

    // Each notifies only on a real change.
    virtual void setObservedApp(const QString& app) = 0;
    virtual void setSource(const QString& source) = 0;
    virtual void setDiagnostic(const QString& text) = 0;
    // Reads both permissions again.
    virtual void rereadPermissions() = 0;
    // An observation at `t` that gave no verdict: the drift clock notes it, the shown verdict is forgotten.
    virtual void noteObservation(double t) = 0;

    // Captures the frontmost window (none without an observer or when the capture fails); only the session's
    // end wakes it early. `isCapturing` is true meanwhile.
    virtual QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmost() = 0;
    virtual bool isCapturing() const = 0;
    virtual std::optional<ActivityWindowIdentity> currentWindowIdentity() const = 0;

    // --- Steps of other roles ---
    // Starts the final check when a nudge is due.
    virtual void checkNudgeDue() = 0;
    // Focus mode's list check; true when it finished the pass.
    virtual QCoro::Task<bool> checkFocusThiefList() = 0;
    virtual void enqueueSnapshot(ActivitySnapshot snapshot) = 0;
    // The last accepted evaluation is forgotten when the new evidence shows other content.
    virtual void forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence) = 0;
    // A window pass, or fresh cached verdicts that all agree, for this window.
    virtual std::optional<ActivityRelevance> knownWindowVerdict(const ActivityWindowIdentity& identity) const = 0;

protected:
    ~PeriodicCheckHost() = default;
};

} // namespace tavrine
