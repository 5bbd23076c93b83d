#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/history/SessionSummary.h"
#include "tavrine/model/AccessibilityCaptureDebug.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityJudgment.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/model/FrontmostPage.h"
#include "tavrine/model/MenuBarSessionBackground.h"
#include "tavrine/model/NudgeFacts.h"
#include "tavrine/model/NudgePolicy.h"
#include "tavrine/session/ActivitySnapshot.h"
#include "tavrine/session/FocusThief.h"
#include "tavrine/session/MonitoringState.h"
#include "tavrine/session/NudgeHandOff.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class ActivityClassifying;
class Clock;
class FocusSession;
class NudgeSpeaking;

// What the roles of a focus session may ask of it. The session owns what several roles share and what views
// observe; a role reads that through the session's public API (`view()`) and changes it only through the named
// operations below, each of which keeps the session's invariants (a setter notifies on a real change only, the
// drift clock and the menu-bar tint move together, the activity log refreshes its rows). The operations that
// reach another role ("check whether a nudge is due", "hand off a nudge") are routed by the session, so no role
// holds another.
class SessionEngine {
public:
    // --- What every task needs ------------------------------------------------------------------------------
    // The observable state, read-only.
    virtual const FocusSession& view() const = 0;
    // Every task holds a copy and stops at its next step once the session is gone.
    virtual std::shared_ptr<bool> alive() const = 0;
    // Cancelled when the session is destroyed.
    virtual CancellationToken lifetime() const = 0;
    virtual Clock& clock() const = 0;
    // Session-clock seconds.
    virtual double now() const = 0;
    // The session clock plus the whole seconds slept since the start: the time of the activity log.
    virtual double activityLogTime() const = 0;
    virtual bool isRunning() const = 0;
    virtual bool isRehearsing() const = 0;
    virtual bool isDemo() const = 0;
    // Raised by every start, resume and halt: a task that began under another generation is stale.
    virtual qint64 generation() const = 0;
    // Raised whenever the frontmost activity may have changed.
    virtual qint64 activityRevision() const = 0;
    virtual QString sessionID() const = 0;
    // Session-clock seconds and the date when the current session started.
    virtual double startedUptime() const = 0;
    virtual QDateTime startedDate() const = 0;
    // Session-clock seconds when the running countdown reaches zero.
    virtual double deadline() const = 0;

    // --- Log lines on the "Focus" category ---
    virtual void logSession(const QString& message) const = 0;
    virtual void logCheckEvent(const QString& check, const QString& message, bool error = false) const = 0;
    // The observation's context for the diagnostics log, while screen content may be logged.
    virtual void logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const = 0;
    // A task that nobody awaits failed in a way no step expects; error level.
    virtual void logUnexpectedFailure(const QString& what, std::exception_ptr error) const = 0;

    // --- The observable state (each notifies only on a real change) ---
    virtual void setRemaining(double remaining) = 0;
    virtual void setStatus(const QString& status) = 0;
    virtual void setMonitoringState(const MonitoringState& state) = 0;
    virtual void setLabel(std::optional<ActivityRelevance> label) = 0;
    virtual void setObservedApp(const QString& app) = 0;
    virtual void setSource(const QString& source) = 0;
    virtual void setLatency(double latency) = 0;
    virtual void setIsJudging(bool judging) = 0;
    virtual void setLastExplanation(const QString& text) = 0;
    virtual void setDiagnostic(const QString& text) = 0;
    virtual void setLastDriftAt(std::optional<double> at) = 0;
    virtual void setMenuBarSessionBackground(MenuBarSessionBackground background) = 0;
    virtual void setLastWorkWindow(std::optional<ActivityWindowIdentity> window) = 0;
    virtual void setPendingNudge(std::optional<ActivityEvidence> evidence) = 0;
    virtual void setPendingNudgeReason(const QString& reason) = 0;
    virtual void setSummary(std::optional<SessionSummary> summary) = 0;
    virtual void setRehearsalIntention(std::optional<QString> intention) = 0;
    virtual void setBackgroundWritersRunning(bool running) = 0;
    // The counters go up by one.
    virtual void countCheck() = 0;
    virtual void countDiscardedCheck() = 0;
    virtual void countNudge() = 0;
    virtual void countCorrection() = 0;

    // --- Steps on the shared state ---
    // Reads both permissions again.
    virtual void rereadPermissions() = 0;
    // An observation at `t` that gave no verdict: the drift clock notes it, the shown verdict is forgotten.
    virtual void noteObservation(double t) = 0;
    virtual void refreshMenuBarBackground() = 0;
    virtual void refreshDriftText() = 0;
    virtual void refreshActivityLogItems() = 0;
    // A definite verdict tints the menu bar and ends the wait for a verdict after a drift.
    virtual void noteDefiniteVerdict(ActivityRelevance label) = 0;
    // A definite verdict tints the menu bar; the wait after a drift goes on.
    virtual void rememberDefiniteTint(ActivityRelevance label) = 0;
    // The wait for a verdict after a drift ends without one.
    virtual void stopAwaitingClassification() = 0;
    // The verdict's window becomes the work window to return to.
    virtual void noteRelevantWindow(const ActivityEvidence& evidence) = 0;
    // Marks the start of the drift the user sees, unless one is already marked.
    virtual void noteDriftAt(double t) = 0;
    // A new activity in front that no capture saw: the revision goes up and the last evaluation is forgotten.
    virtual void startNewActivity() = 0;
    // Writes a verdict into the activity log (uncertain ones are not written).
    virtual void recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                                const ActivityEvidence& evidence) = 0;
    // Changes the activity log and refreshes its rows.
    virtual void changeActivityLog(const std::function<void(SessionActivityLog&)>& change) = 0;
    virtual const SessionActivityLog& activityLog() const = 0;

    // --- The drift clock ---
    virtual const NudgePolicy& driftClock() const = 0;
    // The drift clock says a nudge is due now.
    virtual bool isNudgeDue() const = 0;
    virtual void recordVerdict(ActivityRelevance label, double t) = 0;
    virtual void recordListHit(double t) = 0;
    // The fast lane closes; the drift goes on under the normal rule.
    virtual void endFastLane() = 0;
    // Starts over; `acknowledged` also forgets the cooldown of the last nudge.
    virtual void restartDriftClock(bool acknowledged) = 0;
    virtual void noteNudgeShown() = 0;

    // --- The session's services ---
    // Captures the frontmost window (none without an observer or when the capture fails); only the session's
    // end wakes it early. `isCapturing` is true meanwhile.
    virtual QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmost() = 0;
    virtual bool isCapturing() const = 0;
    virtual std::optional<ActivityWindowIdentity> currentWindowIdentity() const = 0;
    // The frontmost page, or none without an observer or when the read fails.
    virtual QCoro::Task<std::optional<FrontmostPage>> readFrontmostPage(QSet<QString> browsers,
                                                                        CancellationToken token) = 0;
    virtual void returnToWindow(const ActivityWindowIdentity& window) = 0;
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

    // --- Hooks of the shell ---
    // The nudge card opens (or shows again).
    virtual void showNudgeCard() = 0;
    // Closes the open nudge.
    virtual void closeNudge() = 0;
    // The countdown ran out.
    virtual void completeSession() = 0;

    // --- Steps of other roles ---
    virtual QCoro::Task<void> runPeriodicCheck() = 0;
    virtual void captureAtOnce() = 0;
    virtual void enqueueSnapshot(ActivitySnapshot snapshot) = 0;
    virtual bool isEvaluating() const = 0;
    virtual void dropPendingSnapshotIfDue() = 0;
    // The last accepted evaluation is forgotten when the new evidence shows other content.
    virtual void forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence) = 0;
    // A window pass, or fresh cached verdicts that all agree, for this window.
    virtual std::optional<ActivityRelevance> knownWindowVerdict(const ActivityWindowIdentity& identity) const = 0;
    virtual void storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence) = 0;
    virtual void grantWindowPass(const QString& key) = 0;
    virtual void checkNudgeDue() = 0;
    // The final nudge check inside the caller's task, with that task's token.
    virtual QCoro::Task<void> runFinalCheck(CancellationToken token) = 0;
    virtual bool isPreparingNudge() const = 0;
    virtual QCoro::Task<bool> checkFocusThiefList() = 0;
    virtual QCoro::Task<void> fastLaneNudgeCheck(CancellationToken token) = 0;
    virtual void grantThiefPass(const QString& thiefID) = 0;
    // A drift confirmed by the final check: recorded as the last hand-off, announced, and shown.
    virtual QCoro::Task<void> handOffNudge(NudgeHandOff handOff) = 0;
    virtual QCoro::Task<void> showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                        QString checkID, qint64 generation, QString intention,
                                        CancellationToken token) = 0;
    virtual void openNudge(std::optional<QString> reason, bool forceVoice) = 0;
    // The rehearsal's voice while a rehearsal runs.
    virtual NudgeSpeaking* rehearsalSpeaker() const = 0;

protected:
    ~SessionEngine() = default;
};

} // namespace tavrine
