#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/session/ActivitySnapshot.h"
#include "tavrine/session/ObservationQueueHost.h"
#include "tavrine/session/TaskSlot.h"
#include "tavrine/session/VerdictCache.h"

#include <QSet>
#include <QString>

#include <QCoro/QCoroTask>
#include <exception>
#include <memory>
#include <optional>

namespace tavrine {

class ActivityWindowIdentity;

// The stage between a captured snapshot and its effect. One snapshot is judged at a time while the newest one
// waits in a single slot. A decision comes from a window pass the user granted, a fresh confident verdict of
// the same content, or the classifier; an accepted one moves the drift clock, the activity log and what the
// session shows, and then gives the final nudge check its chance.
//
// Owns the waiting and the judged snapshot, the judgment task, the last accepted evaluation, the verdict cache and the
// window passes. Reaches the session only through `ObservationQueueHost`.
class ObservationQueue {
public:
    explicit ObservationQueue(ObservationQueueHost& session) : m_session(session) {}

    void enqueue(ActivitySnapshot snapshot);
    // A judgment is in flight.
    bool isEvaluating() const { return m_evaluation.isPresent(); }
    // Drops the waiting snapshot when a nudge is due.
    void dropPendingSnapshotIfDue();
    // Cancels the judgment in flight and forgets both snapshots.
    void halt();

    // The last accepted evaluation is forgotten (and with it the shown verdict, when the evidence differs).
    void forgetLatestEvaluation() { m_latestEvaluation.reset(); }
    void forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence);

    // Keeps or forgets the verdict of a model decision for its window and page.
    void storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence);
    // A window pass, or fresh cached verdicts that all agree, for this window.
    std::optional<ActivityRelevance> knownWindowVerdict(const ActivityWindowIdentity& identity) const;
    // The window and page of this key are relevant for the rest of the session; its cached verdict goes.
    void grantWindowPass(const QString& key);
    // A new session: no verdict and no pass carries over.
    void clearVerdicts();

private:
    void startEvaluation(ActivitySnapshot snapshot);
    QCoro::Task<void> evaluate(ActivitySnapshot snapshot, TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);
    QCoro::Task<void> decide(ActivitySnapshot snapshot, CancellationToken token);
    void modelFailed(const ActivitySnapshot& snapshot, std::exception_ptr error, const CancellationToken& token);
    void finishEvaluation(const ActivitySnapshot& snapshot, quint64 taskID);

    ObservationQueueHost& m_session;
    std::optional<ActivitySnapshot> m_pending;
    std::optional<ActivitySnapshot> m_active;
    TaskSlot m_evaluation;
    std::optional<EvaluatedActivity> m_latestEvaluation;
    VerdictCache m_verdictCache;
    QSet<QString> m_windowPasses;
};

} // namespace tavrine
