#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/session/ActivitySnapshot.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <exception>
#include <memory>
#include <optional>

namespace tavrine {

class FocusSession;

// The stage between a captured snapshot and its effect. One snapshot is judged at a time while the newest one
// waits in a single slot. A decision comes from a window pass the user granted, a fresh confident verdict of
// the same content, or the classifier; an accepted one moves the drift clock, the activity log and what the
// session shows, and then gives the final nudge check its chance.
class ObservationQueue {
public:
    explicit ObservationQueue(FocusSession& session) : m_session(session) {}

    void enqueue(ActivitySnapshot snapshot);
    // A judgment is in flight.
    bool isEvaluating() const { return m_evaluation.isPresent(); }
    // Drops the waiting snapshot when a nudge is due.
    void dropPendingSnapshotIfDue();
    // Cancels the judgment in flight and forgets both snapshots.
    void halt();

private:
    void startEvaluation(ActivitySnapshot snapshot);
    QCoro::Task<void> evaluate(ActivitySnapshot snapshot, TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);
    QCoro::Task<void> decide(ActivitySnapshot snapshot, CancellationToken token);
    void modelFailed(const ActivitySnapshot& snapshot, std::exception_ptr error, const CancellationToken& token);
    void finishEvaluation(const ActivitySnapshot& snapshot, quint64 taskID);

    FocusSession& m_session;
    std::optional<ActivitySnapshot> m_pending;
    std::optional<ActivitySnapshot> m_active;
    TaskSlot m_evaluation;
};

} // namespace tavrine
