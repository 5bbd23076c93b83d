#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/history/SessionSummary.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityJudgment.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/model/MenuBarSessionBackground.h"
#include "tavrine/model/NudgePolicy.h"
#include "tavrine/model/SessionPhase.h"
#include "tavrine/session/EngineSteps.h"
#include "tavrine/session/FinalNudgeCheckHost.h"
#include "tavrine/session/FocusModeHost.h"
#include "tavrine/session/FocusThiefList.h"
#include "tavrine/session/MonitoringState.h"
#include "tavrine/session/NudgeFlowHost.h"
#include "tavrine/session/NudgeHandOff.h"
#include "tavrine/session/ObservationQueueHost.h"
#include "tavrine/session/PeriodicCheckHost.h"
#include "tavrine/session/RehearsalHost.h"
#include "tavrine/session/SessionLoopsHost.h"
#include "tavrine/session/SessionWrapUpHost.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

namespace tavrine {

class ActivityClassifying;
class ActivityObserving;
class Clock;
class HistoryIntentWriting;
class NudgeSpeaking;
class NudgeVoiceMeter;
class NudgeWriting;
class RecapWriting;
class SessionHistory;
class SessionServicesFactory;
class UserDefaults;
class WorkspaceEventSource;

class SessionLoops;
class PeriodicCheck;
class ObservationQueue;
class FinalNudgeCheck;
class NudgeFlow;
class FocusMode;
class SessionWrapUp;
class Rehearsal;

// What a focus session is built with. Services left empty are asked of `services` (and stay absent when it
// has none to give); the shell passes only its speaker, its history store (none under "--demo" and "--e2e"),
// a factory that knows the maker's API, and the desktop's workspace events.
struct FocusSessionOptions {
    // Permissions count as granted, no job expander and no writers are built, and no periodic check runs.
    bool demo = false;
    std::shared_ptr<ActivityObserving> observer;
    std::shared_ptr<ActivityClassifying> classifier;
    std::shared_ptr<NudgeWriting> nudgeWriter;
    std::shared_ptr<RecapWriting> recapWriter;
    std::shared_ptr<HistoryIntentWriting> intentWriter;
    std::shared_ptr<NudgeSpeaking> speaker;
    // Where finished sessions are stored; absent means nothing is saved.
    std::shared_ptr<SessionHistory> history;
    // Focus mode's known distractions; the list compiled into the program when none.
    std::optional<FocusThiefList> focusThieves;
    // Builds the services not given above; none builds nothing.
    SessionServicesFactory* services = nullptr;
    // The session clock (uptime that stands still while the computer sleeps) and the time slept; the system
    // clock when none.
    Clock* clock = nullptr;
    // Where "speakNudges" is kept; the standard user defaults when none.
    UserDefaults* defaults = nullptr;
    // Activations, desktop changes, sleep and session switches; none means the session hears of none.
    WorkspaceEventSource* workspaceEvents = nullptr;
};

// The one object that runs a focus session: the intention and its countdown, the monitoring loops, the
// capture, judgment and drift clock, the final check before a nudge, and the live state every view reads.
// Main thread only. Every task it starts ends, or does nothing, once the session is destroyed.
//
// The session owns the state that views observe and that several roles share (the drift clock, the generation
// and activity revision, the activity log, the menu-bar tint, the capture in flight); each role below owns its
// own state and reaches the session only through its own narrow interface (`SessionLoopsHost`, `PeriodicCheckHost`,
// …), each naming just the operations that role asks for.
class FocusSession final : public QObject,
                           private SessionLoopsHost,
                           private PeriodicCheckHost,
                           private ObservationQueueHost,
                           private FinalNudgeCheckHost,
                           private NudgeFlowHost,
                           private FocusModeHost,
                           private SessionWrapUpHost,
                           private RehearsalHost,
                           private EngineSteps {
    Q_OBJECT
    Q_PROPERTY(QString intention READ intention WRITE setIntention NOTIFY intentionChanged)
    Q_PROPERTY(int minutes READ minutes WRITE setMinutes NOTIFY minutesChanged)
    Q_PROPERTY(tavrine::SessionPhase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(double remaining READ remaining NOTIFY remainingChanged)
    Q_PROPERTY(double plannedDuration READ plannedDuration NOTIFY plannedDurationChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(tavrine::MonitoringState monitoringState READ monitoringState NOTIFY monitoringStateChanged)
    Q_PROPERTY(bool lastCheckFailed READ lastCheckFailed NOTIFY lastCheckFailedChanged)
    Q_PROPERTY(QString observedApp READ observedApp NOTIFY observedAppChanged)
    Q_PROPERTY(QString source READ source NOTIFY sourceChanged)
    Q_PROPERTY(qint64 checks READ checks NOTIFY checksChanged)
    Q_PROPERTY(qint64 nudges READ nudges NOTIFY nudgesChanged)
    Q_PROPERTY(qint64 correctionsCount READ correctionsCount NOTIFY correctionsCountChanged)
    Q_PROPERTY(double latency READ latency NOTIFY latencyChanged)
    Q_PROPERTY(bool isJudging READ isJudging NOTIFY isJudgingChanged)
    Q_PROPERTY(bool accessibilityReady READ accessibilityReady NOTIFY accessibilityReadyChanged)
    Q_PROPERTY(bool screenReady READ screenReady NOTIFY screenReadyChanged)
    Q_PROPERTY(bool logScreenContent READ logScreenContent WRITE setLogScreenContent NOTIFY logScreenContentChanged)
    Q_PROPERTY(bool speakNudges READ speakNudges WRITE setSpeakNudges NOTIFY speakNudgesChanged)
    Q_PROPERTY(QString lastExplanation READ lastExplanation NOTIFY lastExplanationChanged)
    Q_PROPERTY(QString pendingNudgeReason READ pendingNudgeReason NOTIFY pendingNudgeReasonChanged)
    Q_PROPERTY(qint64 discardedChecks READ discardedChecks NOTIFY discardedChecksChanged)
    Q_PROPERTY(QString diagnostic READ diagnostic NOTIFY diagnosticChanged)
    Q_PROPERTY(QString driftText READ driftText NOTIFY driftTextChanged)
    Q_PROPERTY(tavrine::MenuBarSessionBackground menuBarSessionBackground READ menuBarSessionBackground NOTIFY
                   menuBarSessionBackgroundChanged)
    Q_PROPERTY(bool isFocusSession READ isFocusSession NOTIFY isFocusSessionChanged)
    Q_PROPERTY(QString remainingText READ remainingText NOTIFY remainingChanged)
    Q_PROPERTY(std::optional<tavrine::SessionSummary> summary READ summary NOTIFY summaryChanged)
    Q_PROPERTY(std::optional<tavrine::ActivityRelevance> label READ label NOTIFY labelChanged)
    Q_PROPERTY(std::optional<tavrine::ActivityEvidence> pendingNudge READ pendingNudge NOTIFY pendingNudgeChanged)
    Q_PROPERTY(std::optional<double> lastDriftAt READ lastDriftAt NOTIFY lastDriftAtChanged)
    Q_PROPERTY(QList<tavrine::SessionLogItem> activityLogItems READ activityLogItems NOTIFY activityLogItemsChanged)
    Q_PROPERTY(
        std::optional<tavrine::ActivityWindowIdentity> lastWorkWindow READ lastWorkWindow NOTIFY lastWorkWindowChanged)
    Q_PROPERTY(std::optional<QString> rehearsalIntention READ rehearsalIntention NOTIFY rehearsalIntentionChanged)
    Q_PROPERTY(bool isActive READ isActive NOTIFY phaseChanged)
    Q_PROPERTY(bool backgroundWritersRunning READ backgroundWritersRunning NOTIFY backgroundWritersRunningChanged)

public:
    using Callback = std::function<void()>;

    using NudgeHandOff = tavrine::NudgeHandOff;

    explicit FocusSession(FocusSessionOptions options = {}, QObject* parent = nullptr);
    ~FocusSession() override;

    // --- Observable state ---------------------------------------------------------------------------------
    QString intention() const override { return m_intention; }
    void setIntention(const QString& intention);
    int minutes() const { return m_minutes; }
    void setMinutes(int minutes);
    SessionPhase phase() const { return m_phase; }
    // Seconds left; frozen while paused.
    double remaining() const override { return m_remaining; }
    double plannedDuration() const { return m_plannedDuration; }
    const std::optional<SessionSummary>& summary() const override { return m_summary; }
    QString status() const { return m_status; }
    MonitoringState monitoringState() const override { return m_monitoringState; }
    // Set from a failed check of this session until a check succeeds: the monitoring state moves on to
    // "checking" with every observation and cannot tell that nothing has been judged since.
    bool lastCheckFailed() const { return m_lastCheckFailure.has_value(); }
    // What the failed check said ("Couldn’t check this activity."); empty while none failed. Its change notifies
    // through lastCheckFailedChanged too.
    QString lastCheckFailure() const { return m_lastCheckFailure.value_or(QString()); }
    // The current verdict on the frontmost activity.
    std::optional<ActivityRelevance> label() const { return m_label; }
    QString observedApp() const { return m_observedApp; }
    QString source() const { return m_source; }
    qint64 checks() const { return m_checks; }
    qint64 nudges() const { return m_nudges; }
    qint64 correctionsCount() const { return m_correctionsCount; }
    double latency() const override { return m_latency; }
    bool isJudging() const { return m_isJudging; }
    bool accessibilityReady() const override { return m_accessibilityReady; }
    bool screenReady() const override { return m_screenReady; }
    bool logScreenContent() const override { return m_logScreenContent; }
    void setLogScreenContent(bool on);
    bool speakNudges() const { return m_speakNudges; }
    // Every assignment, an unchanged one too, writes the flag to the user defaults.
    void setSpeakNudges(bool speak);
    QString lastExplanation() const { return m_lastExplanation; }
    // The evidence the open nudge is about; absent while no nudge is open.
    const std::optional<ActivityEvidence>& pendingNudge() const override { return m_pendingNudge; }
    QString pendingNudgeReason() const override { return m_pendingNudgeReason; }
    NudgeVoiceMeter& nudgeVoice() const override { return *m_nudgeVoice; }
    qint64 discardedChecks() const { return m_discardedChecks; }
    QString diagnostic() const { return m_diagnostic; }
    // Session-clock seconds when the current drift was first noticed.
    std::optional<double> lastDriftAt() const { return m_lastDriftAt; }
    QString driftText() const { return m_driftText; }
    MenuBarSessionBackground menuBarSessionBackground() const { return m_menuBarSessionBackground; }
    const QList<SessionLogItem>& activityLogItems() const { return m_activityLogItems; }
    bool isFocusSession() const override { return m_isFocusSession; }
    // The last window judged relevant: what "back to work" raises.
    const std::optional<ActivityWindowIdentity>& lastWorkWindow() const override { return m_lastWorkWindow; }
    // Present exactly while an onboarding rehearsal runs.
    const std::optional<QString>& rehearsalIntention() const { return m_rehearsalIntention; }
    // The last drift handed to the nudge flow.
    const std::optional<NudgeHandOff>& lastNudgeHandOff() const;
    // The known distraction the open nudge is about; absent for a nudge about a judged window.
    const std::optional<FocusThief>& pendingNudgeThief() const;
    const FocusThiefList& focusThieves() const;
    // What the session noticed so far: the source of its summary and its activity rows.
    const SessionActivityLog& activityLog() const override { return m_activityLog; }
    // The summary the running session would have if it were ended now; its log stays as it is.
    SessionSummary summarySoFar() const;
    // A nudge is being verified or written.
    bool isPreparingNudge() const;
    // Single steps for benchmarks and engine tests.
    EngineSteps& steps() { return *this; }
    // The recap or history-intent writer of a finished session is still waiting for its answer: quitting now
    // would leave the stored session without its phrases.
    bool backgroundWritersRunning() const { return m_backgroundWritersRunning; }

    // The shell's hooks: show the nudge, hide it, a session finished. Setting one always notifies.
    void setOnNudge(Callback callback);
    void setOnDismissNudge(Callback callback);
    void setOnFinish(Callback callback);

    // --- Lifecycle ------------------------------------------------------------------------------------------
    // Running or paused.
    bool isActive() const override { return m_phase == SessionPhase::Running || m_phase == SessionPhase::Paused; }
    // The start button of the intention mode: a non-blank intention of at most 400 characters, and the
    // focus-mode gate.
    bool canStart() const;
    // The start button of focus mode: 1 to 180 minutes, and both permissions (or demo mode).
    bool canStartFocusMode() const;
    // Reads both permissions again; a running session without accessibility shows that it needs it.
    void refreshPermissions();
    // Starts a session of `minutes` for the intention. Does nothing (and logs why) while a session is running
    // or paused, or while a rehearsal runs, so that the unsaved activity log is never wiped.
    void start(bool isFocusSession);
    // Takes a break: the countdown stands still and every check in flight stops. During a rehearsal it only
    // closes the nudge.
    void pause();
    // Continues a paused session once both permissions are there.
    void resume();
    // Ends the session: completed when the countdown ran out, else ended early by the user.
    void stop(bool completed);
    // The process is going away without a stop (its display is gone): a running session is stored as ended
    // early, marked as Tavrine stopping unexpectedly, without touching any window or task.
    void endUnexpectedly();
    // Forgets the finished session's summary, so the next one can be set up.
    void clearSummary();
    // "mm:ss" of the remaining time rounded up ("180:00", "01:00", "00:00").
    QString remainingText() const;
    // Closes the open nudge.
    void dismissNudge();
    // Speaks `reason` (the nudge's own sentence when none) and opens the card once the voice begins, or after
    // two seconds at the latest. `forceVoice` speaks even when spoken nudges are switched off.
    void openNudge(std::optional<QString> reason = std::nullopt, bool forceVoice = false) override;

    // --- Answers to an open nudge ------------------------------------------------------------------------------
    // Closing the nudge: a new one needs a whole new drift.
    void acknowledgeNudge();
    // "Get back to work": closes the nudge and brings the last work window back to the front.
    void returnToWork();
    // "This is relevant": the nudged window and page, and in focus mode the nudged distraction, are allowed for
    // the rest of the session. Does nothing without an open nudge.
    void grantSessionPass();
    // ("Take a break" is `pause`.)

    // --- Rehearsal and demo ---------------------------------------------------------------------------------
    // The onboarding's practice run: a countdown of `minutes` without deadline, capture or judging, voiced by
    // `speaker`. False, changing nothing, while a session is running or paused or a rehearsal runs.
    bool startRehearsal(const QString& intention, int minutes, std::shared_ptr<NudgeSpeaking> speaker);
    // Ends a running rehearsal (closing its nudge without telling the rehearsal); otherwise does nothing.
    void endRehearsal();
    // Told when a rehearsal's nudge closes.
    void setOnRehearsalNudgeClosed(Callback callback);
    // The rehearsal script's tint of the menu-bar item and its nudge; both do nothing outside a rehearsal.
    void setRehearsalTint(MenuBarSessionBackground background);
    void setRehearsalNudge(const ActivityEvidence& evidence, const QString& reason);
    // Fabricates a five-minute social-feed detour and opens its nudge; only in a running demo session.
    void runDemoDrift();

    // Takes the user where a permission is granted. For "Privacy_Accessibility" it switches the desktop's
    // accessibility on (applications already running may need a restart to expose their windows); for
    // "Privacy_ScreenCapture" there is nothing to grant on X11. Needs no session.
    static void openPrivacySettings(const QString& anchor);

signals:
    void intentionChanged();
    void minutesChanged();
    void phaseChanged();
    void remainingChanged();
    void plannedDurationChanged();
    void summaryChanged();
    void statusChanged();
    void monitoringStateChanged();
    void lastCheckFailedChanged();
    void labelChanged();
    void observedAppChanged();
    void sourceChanged();
    void checksChanged();
    void nudgesChanged();
    void correctionsCountChanged();
    void latencyChanged();
    void isJudgingChanged();
    void accessibilityReadyChanged();
    void screenReadyChanged();
    void logScreenContentChanged();
    void speakNudgesChanged();
    void lastExplanationChanged();
    void pendingNudgeChanged();
    void pendingNudgeReasonChanged();
    void onNudgeChanged();
    void onDismissNudgeChanged();
    void onFinishChanged();
    void discardedChecksChanged();
    void diagnosticChanged();
    void lastDriftAtChanged();
    void driftTextChanged();
    void menuBarSessionBackgroundChanged();
    void activityLogItemsChanged();
    void isFocusSessionChanged();
    void lastWorkWindowChanged();
    void rehearsalIntentionChanged();
    void backgroundWritersRunningChanged();
    // A final check confirmed a drift and handed it to the nudge flow.
    void nudgeHandedOff();

private:
    // --- What the roles may ask (their `…Host` interfaces) ---
    PassReadings passReadings() const override;
    std::shared_ptr<bool> alive() const override { return m_alive; }
    CancellationToken lifetime() const override { return m_lifetime.token(); }
    Clock& clock() const override { return *m_clock; }
    double now() const override;
    double activityLogTime() const override;
    bool isRunning() const override { return m_phase == SessionPhase::Running; }
    bool isRehearsing() const override { return m_rehearsalIntention.has_value(); }
    bool isDemo() const override { return m_demo; }
    qint64 generation() const override { return m_sessionGeneration; }
    qint64 activityRevision() const override { return m_activityRevision; }
    QString sessionID() const override { return m_sessionID; }
    double startedUptime() const override { return m_startedUptime; }
    QDateTime startedDate() const override { return m_startedDate; }
    double deadline() const override { return m_deadline; }
    double usedSeconds() const override;

    void logSession(const QString& message) const override;
    void logCheckEvent(const QString& check, const QString& message, bool error = false) const override;
    void logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const override;
    void logUnexpectedFailure(const QString& what, std::exception_ptr error) const override;

    template <typename T, typename U> void update(T& field, U&& value, void (FocusSession::*changed)());
    void setPhase(SessionPhase phase);
    void setRemaining(double remaining) override;
    void setStatus(const QString& status) override;
    void setMonitoringState(const MonitoringState& state) override;
    void setLastCheckFailure(std::optional<QString> failure);
    void noteCheckSucceeded() override { setLastCheckFailure(std::nullopt); }
    void setLabel(std::optional<ActivityRelevance> label) override;
    void setObservedApp(const QString& app) override;
    void setSource(const QString& source) override;
    void setChecks(qint64 checks);
    void setLatency(double latency) override;
    void setIsJudging(bool judging) override;
    void setLastExplanation(const QString& text) override;
    void setDiscardedChecks(qint64 count);
    void setDiagnostic(const QString& text) override;
    void setLastDriftAt(std::optional<double> at) override;
    void setDriftText(const QString& text);
    void setMenuBarSessionBackground(MenuBarSessionBackground background) override;
    void setActivityLogItems(QList<SessionLogItem> items);
    void setLastWorkWindow(std::optional<ActivityWindowIdentity> window) override;
    void setPendingNudge(std::optional<ActivityEvidence> evidence) override;
    void setPendingNudgeReason(const QString& reason) override;
    void setSummary(std::optional<SessionSummary> summary) override;
    void setRehearsalIntention(std::optional<QString> intention) override;
    void setBackgroundWritersRunning(bool running) override;
    void countCheck() override;
    void countDiscardedCheck() override;
    void countNudge() override;
    void countCorrection() override;

    void rereadPermissions() override { refreshPermissions(); }
    void noteObservation(double t) override;
    void refreshMenuBarBackground() override;
    void refreshDriftText() override;
    void refreshActivityLogItems() override;
    void noteDefiniteVerdict(ActivityRelevance label) override;
    void rememberDefiniteTint(ActivityRelevance label) override;
    void stopAwaitingClassification() override { m_awaitingClassificationAfterDrift = false; }
    void noteRelevantWindow(const ActivityEvidence& evidence) override;
    void noteDriftAt(double t) override;
    void startNewActivity() override;
    void recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                        const ActivityEvidence& evidence) override;
    void changeActivityLog(const std::function<void(SessionActivityLog&)>& change) override;

    const NudgePolicy& driftClock() const override { return m_policy; }
    bool isNudgeDue() const override;
    void recordVerdict(ActivityRelevance label, double t) override { m_policy.record(label, t); }
    void recordListHit(double t) override { m_policy.recordListHit(t); }
    void endFastLane() override { m_policy.listHitAt.reset(); }
    void restartDriftClock(bool acknowledged) override;
    void noteNudgeShown() override;

    QCoro::Task<std::optional<AccessibilityCaptureDebug>> captureFrontmost() override;
    bool isCapturing() const override { return m_isCapturing; }
    std::optional<ActivityWindowIdentity> currentWindowIdentity() const override;
    QCoro::Task<std::optional<FrontmostPage>> readFrontmostPage(QSet<QString> browsers,
                                                                CancellationToken token) override;
    void returnToWindow(const ActivityWindowIdentity& window) override;
    QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                           std::function<void(ActivityRelevance)> onLabel,
                                           CancellationToken token) override;
    std::function<void(ActivityRelevance)> earlyLabelCallback(qint64 generation,
                                                              std::optional<qint64> revision) override;
    std::optional<double> lastConfidence() const override;
    std::optional<QString> lastWorkNote() const override;

    void showNudgeCard() override;
    void closeNudge() override { dismissNudge(); }
    void completeSession() override { stop(true); }

    QCoro::Task<void> runPeriodicCheck() override;
    void captureAtOnce() override;
    void enqueueSnapshot(ActivitySnapshot snapshot) override;
    bool isEvaluating() const override;
    void dropPendingSnapshotIfDue() override;
    void forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence) override;
    std::optional<ActivityRelevance> knownWindowVerdict(const ActivityWindowIdentity& identity) const override;
    void storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence) override;
    void grantWindowPass(const QString& key) override;
    void checkNudgeDue() override;
    QCoro::Task<void> runFinalCheck(CancellationToken token) override;
    QCoro::Task<bool> checkFocusThiefList() override;
    QCoro::Task<void> fastLaneNudgeCheck(CancellationToken token) override;
    void grantThiefPass(const QString& thiefID) override;
    QCoro::Task<void> handOffNudge(NudgeHandOff handOff) override;
    QCoro::Task<void> showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                QString checkID, qint64 generation, QString intention,
                                CancellationToken token) override;
    NudgeSpeaking* rehearsalSpeaker() const override;

    // --- EngineSteps ---
    void tick() override;
    QCoro::Task<void> periodicPass() override;

    // --- The session's own steps ---
    // The whole seconds the computer slept since the start (never negative).
    double sleptSinceStart() const;
    // Stops every check in flight: counters raised, tasks cancelled, snapshots dropped, the nudge closed.
    void haltChecks();
    void connectWorkspaceEvents(WorkspaceEventSource* events);
    void applicationDidActivate();
    // The frontmost activity may have changed: everything about the shown activity is forgotten.
    void activityChanged();
    // Shows the open nudge again on the desktop or application now in front.
    void reshowPendingNudge();

    // --- Observable state ---
    QString m_intention;
    int m_minutes = 30;
    SessionPhase m_phase = SessionPhase::Idle;
    double m_remaining = 0;
    double m_plannedDuration = 0;
    std::optional<SessionSummary> m_summary;
    QString m_status = QStringLiteral("Ready when you are");
    MonitoringState m_monitoringState = MonitoringState::waiting();
    std::optional<QString> m_lastCheckFailure;
    std::optional<ActivityRelevance> m_label;
    QString m_observedApp;
    QString m_source;
    qint64 m_checks = 0;
    qint64 m_nudges = 0;
    qint64 m_correctionsCount = 0;
    double m_latency = 0;
    bool m_isJudging = false;
    bool m_accessibilityReady = false;
    bool m_screenReady = false;
    bool m_logScreenContent = false;
    bool m_speakNudges = true;
    QString m_lastExplanation;
    std::optional<ActivityEvidence> m_pendingNudge;
    QString m_pendingNudgeReason;
    NudgeVoiceMeter* m_nudgeVoice = nullptr; // a child of the session
    qint64 m_discardedChecks = 0;
    QString m_diagnostic = QStringLiteral("No observations yet");
    std::optional<double> m_lastDriftAt;
    QString m_driftText = QStringLiteral("No drift yet");
    MenuBarSessionBackground m_menuBarSessionBackground = MenuBarSessionBackground::None;
    QList<SessionLogItem> m_activityLogItems;
    bool m_isFocusSession = false;
    std::optional<ActivityWindowIdentity> m_lastWorkWindow;
    std::optional<QString> m_rehearsalIntention;
    bool m_backgroundWritersRunning = false;
    Callback m_onNudge;
    Callback m_onDismissNudge;
    Callback m_onFinish;

    // --- Shared by the roles ---
    std::shared_ptr<ActivityObserving> m_observer;
    std::shared_ptr<ActivityClassifying> m_classifier;
    Clock* m_clock = nullptr;
    UserDefaults* m_defaults = nullptr;
    bool m_demo = false;
    double m_asleepAtStart = 0;
    // The drift clock.
    NudgePolicy m_policy;
    qint64 m_sessionGeneration = 0;
    QString m_sessionID;
    qint64 m_activityRevision = 0;
    double m_deadline = 0;
    double m_startedUptime = 0;
    QDateTime m_startedDate;
    bool m_isCapturing = false;
    SessionActivityLog m_activityLog;
    // The menu-bar tint's memory of the last definite verdict, and whether a verdict is awaited after a drift.
    MenuBarSessionBackground m_lastDefiniteMenuBarBackground = MenuBarSessionBackground::None;
    bool m_awaitingClassificationAfterDrift = false;
    QList<QMetaObject::Connection> m_notificationTokens;

    // Every task holds a copy and stops at its next step once the session is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // Cancelled when the session is destroyed: wakes every await that no task slot covers.
    CancellationSource m_lifetime;

    // The roles of the engine, each with its own state.
    std::unique_ptr<SessionLoops> m_loops;
    std::unique_ptr<PeriodicCheck> m_periodicCheck;
    std::unique_ptr<ObservationQueue> m_queue;
    std::unique_ptr<FinalNudgeCheck> m_finalCheck;
    std::unique_ptr<NudgeFlow> m_nudgeFlow;
    std::unique_ptr<FocusMode> m_focusMode;
    std::unique_ptr<SessionWrapUp> m_wrapUp;
    std::unique_ptr<Rehearsal> m_rehearsal;
};

} // namespace tavrine
