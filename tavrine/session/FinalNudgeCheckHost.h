#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/AccessibilityCaptureDebug.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/session/JudgingHost.h"
#include "tavrine/session/NudgeHandOff.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

namespace tavrine {

// What the final nudge check asks of the session beyond what every judging role asks.
class FinalNudgeCheckHost : public JudgingHost {
public:
    // The evidence the open nudge is about; absent while no nudge is open.
    virtual const std::optional<ActivityEvidence>& pendingNudge() const = 0;
    virtual bool screenReady() const = 0;
    virtual bool isDemo() const = 0;
    // The observation's context for the diagnostics log, while screen content may be logged.
    virtual void logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const = 0;

    // The wait for a verdict after a drift ends without one.
    virtual void stopAwaitingClassification() = 0;

    // Captures the frontmost window (none without an observer or when the capture fails); only the session's
    // end wakes it early. `isCapturing` is true meanwhile.
    virtual QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmost() = 0;
    virtual bool isCapturing() const = 0;

    // --- Steps of other roles ---
    virtual bool isEvaluating() const = 0;
    virtual void dropPendingSnapshotIfDue() = 0;
    // Keeps or forgets the verdict of a model decision for its window and page.
    virtual void storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence) = 0;
    virtual QCoro::Task<void> fastLaneNudgeCheck(CancellationToken token) = 0;
    // A drift confirmed by the final check: recorded as the last hand-off, announced, and shown.
    virtual QCoro::Task<void> handOffNudge(NudgeHandOff handOff) = 0;

protected:
    ~FinalNudgeCheckHost() = default;
};

} // namespace tavrine
