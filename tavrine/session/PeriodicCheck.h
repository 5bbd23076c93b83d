#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityWindowIdentity.h"

#include <QCoro/QCoroTask>

namespace tavrine {

class FocusSession;

// One pass of the monitoring loop: hand a due nudge to the final check, notice a changed window, and capture
// the frontmost window when 12 seconds passed since the last capture (at once after a window change) and a
// second since the last activation. A capture that still belongs to the session becomes a snapshot for the
// queue, or tells why the window cannot be read.
class PeriodicCheck {
public:
    explicit PeriodicCheck(FocusSession& session) : m_session(session) {}

    // Safe at any time; does nothing outside a running session.
    QCoro::Task<void> run();

    // Shows a verdict already known for a newly focused window (a window pass, or fresh cache entries that all
    // agree) before it is judged again.
    void previewKnownVerdict(const ActivityWindowIdentity& identity);

    // Evidence the judge may see: no capture problem, a screenshot and its fingerprint. In demo mode a record
    // without a problem that has a fingerprint or at least 30 characters of text.
    static bool isUsableEvidence(const ActivityEvidence& evidence, bool demo);

    static constexpr double captureInterval = 12.0;
    static constexpr double activationSettle = 1.0;
    // A capture started this soon after an activation is dropped when another activation happened meanwhile.
    static constexpr double earlyCaptureWindow = 2.0;

private:
    // Captures and handles the result; `t` and `activationAtGate` are the pass's readings.
    QCoro::Task<void> capture(double t, double activationAtGate);
    void handleUnusable(const ActivityEvidence& evidence, double observedAt);

    FocusSession& m_session;
};

} // namespace tavrine
