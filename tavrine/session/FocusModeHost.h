#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/FrontmostPage.h"
#include "tavrine/model/NudgeFacts.h"
#include "tavrine/session/FocusThief.h"
#include "tavrine/session/MonitoringHost.h"

#include <QCoro/QCoroTask>
#include <QSet>
#include <QString>
#include <optional>

namespace tavrine {

// What focus mode asks of the session.
class FocusModeHost : public MonitoringHost {
public:
    virtual QString intention() const = 0;
    virtual bool accessibilityReady() const = 0;
    // The evidence the open nudge is about; absent while no nudge is open.
    virtual const std::optional<ActivityEvidence>& pendingNudge() const = 0;
    // Cancelled when the session is destroyed.
    virtual CancellationToken lifetime() const = 0;
    virtual void logSession(const QString& message) const = 0;

    // Each notifies only on a real change.
    virtual void setObservedApp(const QString& app) = 0;
    virtual void setSource(const QString& source) = 0;
    virtual void refreshDriftText() = 0;
    // A new activity in front that no capture saw: the revision goes up and the last evaluation is forgotten.
    virtual void startNewActivity() = 0;
    // Marks the start of the drift the user sees, unless one is already marked.
    virtual void noteDriftAt(double t) = 0;
    // Writes a verdict into the activity log (uncertain ones are not written).
    virtual void recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                                const ActivityEvidence& evidence) = 0;

    // --- The drift clock ---
    virtual void recordListHit(double t) = 0;
    // The fast lane closes; the drift goes on under the normal rule.
    virtual void endFastLane() = 0;

    // The frontmost page, or none without an observer or when the read fails.
    virtual QCoro::Task<std::optional<FrontmostPage>> readFrontmostPage(QSet<QString> browsers,
                                                                        CancellationToken token) = 0;

    // --- Steps of other roles ---
    // The next periodic pass captures without the 12-second wait.
    virtual void captureAtOnce() = 0;
    // Starts the final check when a nudge is due.
    virtual void checkNudgeDue() = 0;
    virtual QCoro::Task<void> showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                        QString checkID, qint64 generation, QString intention,
                                        CancellationToken token) = 0;

protected:
    ~FocusModeHost() = default;
};

} // namespace tavrine
