#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/session/PeriodicCheckHost.h"

#include <QCoro/QCoroTask>
#include <limits>
#include <optional>

namespace tavrine {

// One pass of the monitoring loop: hand a due nudge to the final check, notice a changed window, and capture
// the frontmost window when 12 seconds passed since the last capture (at once after a window change) and a
// second since the last activation. A capture that still belongs to the session becomes a snapshot for the
// queue, or tells why the window cannot be read.
//
// Owns the capture gate: the last capture's time and window, the last activation, the unreadable streak. Reaches the
// session only through `PeriodicCheckHost`.
class PeriodicCheck {
public:
    explicit PeriodicCheck(PeriodicCheckHost& session) : m_session(session) {}

    // Safe at any time; does nothing outside a running session.
    QCoro::Task<void> run();

    // Shows a verdict already known for a newly focused window (a window pass, or fresh cache entries that all
    // agree) before it is judged again.
    void previewKnownVerdict(const ActivityWindowIdentity& identity);

    // A new session or a resumed one: nothing captured yet.
    void restart();
    // The next pass captures without the 12-second wait.
    void captureAtOnce();
    // The focused window is no longer known.
    void forgetWindow() { m_lastWindowIdentity.reset(); }
    // An application came to the front at `t`: the capture waits for it to settle, then starts afresh.
    void noteActivation(double t);

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

    PeriodicCheckHost& m_session;
    double m_lastCheck = -std::numeric_limits<double>::infinity();
    std::optional<ActivityWindowIdentity> m_lastWindowIdentity;
    double m_lastActivation = 0;
    int m_consecutiveUnreadableChecks = 0;
};

} // namespace tavrine
