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
#include "tavrine/session/ActivitySnapshot.h"
#include "tavrine/session/FocusThiefList.h"
#include "tavrine/session/MonitoringState.h"
#include "tavrine/session/TaskSlot.h"
#include "tavrine/session/VerdictCache.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QSet>
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
class FocusSession final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString intention READ intention WRITE setIntention NOTIFY intentionChanged)
    Q_PROPERTY(int minutes READ minutes WRITE setMinutes NOTIFY minutesChanged)
    Q_PROPERTY(tavrine::SessionPhase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(double remaining READ remaining NOTIFY remainingChanged)
    Q_PROPERTY(double plannedDuration READ plannedDuration NOTIFY plannedDurationChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(tavrine::MonitoringState monitoringState READ monitoringState NOTIFY monitoringStateChanged)
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

    // A drift that the final check confirmed, handed to the nudge flow: the judged activity, the fresh evidence
    // and the check's own context.
    struct NudgeHandOff {
        QString activity;
        ActivityEvidence evidence;
        QString checkID;
        qint64 generation = 0;
        QString intention;
        // Cancelled when the check that confirmed the drift is halted.
        CancellationToken token;
    };

    explicit FocusSession(FocusSessionOptions options = {}, QObject* parent = nullptr);
    ~FocusSession() override;

    // --- Observable state ---------------------------------------------------------------------------------
    QString intention() const { return m_intention; }
    void setIntention(const QString& intention);
    int minutes() const { return m_minutes; }
    void setMinutes(int minutes);
    SessionPhase phase() const { return m_phase; }
    // Seconds left; frozen while paused.
    double remaining() const { return m_remaining; }
    double plannedDuration() const { return m_plannedDuration; }
    const std::optional<SessionSummary>& summary() const { return m_summary; }
    QString status() const { return m_status; }
    MonitoringState monitoringState() const { return m_monitoringState; }
    // The current verdict on the frontmost activity.
    std::optional<ActivityRelevance> label() const { return m_label; }
    QString observedApp() const { return m_observedApp; }
    QString source() const { return m_source; }
    qint64 checks() const { return m_checks; }
    qint64 nudges() const { return m_nudges; }
    qint64 correctionsCount() const { return m_correctionsCount; }
    double latency() const { return m_latency; }
    bool isJudging() const { return m_isJudging; }
    bool accessibilityReady() const { return m_accessibilityReady; }
    bool screenReady() const { return m_screenReady; }
    bool logScreenContent() const { return m_logScreenContent; }
    void setLogScreenContent(bool on);
    bool speakNudges() const { return m_speakNudges; }
    // Every assignment, an unchanged one too, writes the flag to the user defaults.
    void setSpeakNudges(bool speak);
    QString lastExplanation() const { return m_lastExplanation; }
    // The evidence the open nudge is about; absent while no nudge is open.
    const std::optional<ActivityEvidence>& pendingNudge() const { return m_pendingNudge; }
    QString pendingNudgeReason() const { return m_pendingNudgeReason; }
    NudgeVoiceMeter& nudgeVoice() const { return *m_nudgeVoice; }
    qint64 discardedChecks() const { return m_discardedChecks; }
    QString diagnostic() const { return m_diagnostic; }
    // Session-clock seconds when the current drift was first noticed.
    std::optional<double> lastDriftAt() const { return m_lastDriftAt; }
    QString driftText() const { return m_driftText; }
    MenuBarSessionBackground menuBarSessionBackground() const { return m_menuBarSessionBackground; }
    const QList<SessionLogItem>& activityLogItems() const { return m_activityLogItems; }
    bool isFocusSession() const { return m_isFocusSession; }
    // The last window judged relevant: what "back to work" raises.
    const std::optional<ActivityWindowIdentity>& lastWorkWindow() const { return m_lastWorkWindow; }
    // Present exactly while an onboarding rehearsal runs.
    const std::optional<QString>& rehearsalIntention() const { return m_rehearsalIntention; }
    // The last drift handed to the nudge flow.
    const std::optional<NudgeHandOff>& lastNudgeHandOff() const { return m_lastNudgeHandOff; }
    // The known distraction the open nudge is about; absent for a nudge about a judged window.
    const std::optional<FocusThief>& pendingNudgeThief() const { return m_pendingNudgeThief; }
    const FocusThiefList& focusThieves() const { return m_focusThieves; }
    // The recap or history-intent writer of a finished session is still waiting for its answer: quitting now
    // would leave the stored session without its phrases.
    bool backgroundWritersRunning() const { return m_backgroundWritersRunning; }

    // The shell's hooks: show the nudge, hide it, a session finished. Setting one always notifies.
    void setOnNudge(Callback callback);
    void setOnDismissNudge(Callback callback);
    void setOnFinish(Callback callback);

    // --- Lifecycle ------------------------------------------------------------------------------------------
    // Running or paused.
    bool isActive() const { return m_phase == SessionPhase::Running || m_phase == SessionPhase::Paused; }
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
    // Forgets the finished session's summary, so the next one can be set up.
    void clearSummary();
    // "mm:ss" of the remaining time rounded up ("180:00", "01:00", "00:00").
    QString remainingText() const;
    // Closes the open nudge.
    void dismissNudge();
    // Speaks `reason` (the nudge's own sentence when none) and opens the card once the voice begins, or after
    // two seconds at the latest. `forceVoice` speaks even when spoken nudges are switched off.
    void openNudge(std::optional<QString> reason = std::nullopt, bool forceVoice = false);

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
    friend class SessionLoops;
    friend class PeriodicCheck;
    friend class ObservationQueue;
    friend class FinalNudgeCheck;
    friend class NudgeFlow;
    friend class FocusMode;
    friend class SessionWrapUp;
    friend class Rehearsal;
    // The engine's tests reach state that only later answers (a granted window pass) would write.
    friend class FocusSessionProbe;

    // --- Setters of the observable state (notify only on a real change) ---
    template <typename T, typename U> void update(T& field, U&& value, void (FocusSession::*changed)());
    void setPhase(SessionPhase phase);
    void setRemaining(double remaining);
    void setStatus(const QString& status);
    void setMonitoringState(const MonitoringState& state);
    void setLabel(std::optional<ActivityRelevance> label);
    void setObservedApp(const QString& app);
    void setSource(const QString& source);
    void setChecks(qint64 checks);
    void setLatency(double latency);
    void setIsJudging(bool judging);
    void setLastExplanation(const QString& text);
    void setDiscardedChecks(qint64 count);
    void setDiagnostic(const QString& text);
    void setLastDriftAt(std::optional<double> at);
    void setDriftText(const QString& text);
    void setMenuBarSessionBackground(MenuBarSessionBackground background);
    void setActivityLogItems(QList<SessionLogItem> items);
    void setLastWorkWindow(std::optional<ActivityWindowIdentity> window);
    void setPendingNudge(std::optional<ActivityEvidence> evidence);
    void setPendingNudgeReason(const QString& reason);
    void setPendingNudgeThief(std::optional<FocusThief> thief);
    void setNudges(qint64 nudges);
    void setCorrectionsCount(qint64 count);
    void setSummary(std::optional<SessionSummary> summary);
    void setRehearsalIntention(std::optional<QString> intention);
    void setBackgroundWritersRunning(bool running);

    // --- Shared steps of the engine ---
    double now() const;
    // The whole seconds the computer slept since the start (never negative).
    double sleptSinceStart() const;
    // The session clock plus the whole seconds slept since the start: the time of the activity log.
    double activityLogTime() const;
    // A fresh check identifier: the first 8 characters of a new UUID's text.
    static QString makeCheckID();
    bool isRunning() const { return m_phase == SessionPhase::Running; }
    bool isRehearsing() const { return m_rehearsalIntention.has_value(); }
    // An observation at `t` that gave no verdict: the drift clock notes it, the shown verdict is forgotten.
    void noteObservation(double t);
    void refreshMenuBarBackground();
    void refreshDriftText();
    void refreshActivityLogItems();
    // Stops every check in flight: counters raised, tasks cancelled, snapshots dropped, the nudge closed.
    void haltChecks();
    // Keeps or forgets the verdict of a model decision for its window and page.
    void storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence);
    // Writes a verdict into the activity log (uncertain ones are not written).
    void recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                        const ActivityEvidence& evidence);
    // Asks the classifier; throws MissingClassifierError without one, CancelledError once `token` is cancelled.
    QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                           std::function<void(ActivityRelevance)> onLabel, CancellationToken token);
    // The classifier's early label: applied to the menu-bar inputs while the judged snapshot is still the
    // session's (its generation, and its activity revision when given).
    std::function<void(ActivityRelevance)> earlyLabelCallback(qint64 generation, std::optional<qint64> revision);
    // The tint a definite verdict leaves on the menu bar; an uncertain one leaves it as it was.
    void noteDefiniteVerdict(ActivityRelevance label);
    // The verdict's window becomes the work window to return to.
    void noteRelevantWindow(const ActivityEvidence& evidence);
    // Marks the start of the drift the user sees, unless one is already marked.
    void noteDriftAt(double t);

    // --- Log lines on the "Focus" category ---
    void logSession(const QString& message) const;
    void logCheckEvent(const QString& check, const QString& message, bool error = false) const;
    // The observation's context for the diagnostics log, while screen content may be logged.
    void logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const;
    // A task that nobody awaits failed in a way no step expects; error level.
    void logUnexpectedFailure(const QString& what, std::exception_ptr error) const;

    // --- Workspace events ---
    void connectWorkspaceEvents(WorkspaceEventSource* events);
    void applicationDidActivate();
    // The frontmost activity may have changed: everything about the shown activity is forgotten.
    void activityChanged();
    // Shows the open nudge again on the desktop or application now in front.
    void reshowPendingNudge();
    // The voice began, or the wait for it ran out: the held nudge opens.
    void releaseNudgeHold();

    // --- Calls into the nudge flow and focus mode ---
    // Focus mode's check of the known distractions; true when it finished the pass.
    QCoro::Task<bool> checkFocusThiefList();
    // Focus mode's fast lane: a nudge about a listed distraction without asking the judge.
    QCoro::Task<void> fastLaneNudgeCheck(CancellationToken token);
    // A drift confirmed by the final check: build the nudge and present it.
    QCoro::Task<void> showNudgeForVerdict(NudgeHandOff handOff);

    // --- Stored state ---
    QString m_intention;
    int m_minutes = 30;
    SessionPhase m_phase = SessionPhase::Idle;
    double m_remaining = 0;
    double m_plannedDuration = 0;
    std::optional<SessionSummary> m_summary;
    QString m_status = QStringLiteral("Ready when you are");
    MonitoringState m_monitoringState = MonitoringState::waiting();
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
    Callback m_onNudge;
    Callback m_onDismissNudge;
    Callback m_onFinish;
    qint64 m_discardedChecks = 0;
    QString m_diagnostic = QStringLiteral("No observations yet");
    std::optional<double> m_lastDriftAt;
    QString m_driftText = QStringLiteral("No drift yet");
    MenuBarSessionBackground m_menuBarSessionBackground = MenuBarSessionBackground::None;
    QList<SessionLogItem> m_activityLogItems;
    bool m_isFocusSession = false;
    std::optional<ActivityWindowIdentity> m_lastWorkWindow;

    std::shared_ptr<ActivityObserving> m_observer;
    std::shared_ptr<ActivityClassifying> m_classifier;
    std::shared_ptr<NudgeWriting> m_nudgeWriter;
    // Their running tasks are kept per session by the wrap-up.
    std::shared_ptr<RecapWriting> m_recapWriter;
    std::shared_ptr<HistoryIntentWriting> m_intentWriter;
    std::shared_ptr<NudgeSpeaking> m_speaker;
    bool m_isPreparingNudge = false;
    double m_nudgeVoiceWait = 2.0;
    TaskSlot m_nudgeHold;
    double m_nudgeHeldAt = 0;
    Clock* m_clock = nullptr;
    double m_asleepAtStart = 0;
    std::shared_ptr<SessionHistory> m_history;
    NudgePolicy m_policy;
    QSet<QString> m_windowPasses;
    qint64 m_sessionGeneration = 0;
    QString m_sessionID;
    qint64 m_activityRevision = 0;
    double m_deadline = 0;
    double m_startedUptime = 0;
    QDateTime m_startedDate;
    std::optional<EvaluatedActivity> m_latestEvaluation;
    bool m_isCapturing = false;
    QList<QMetaObject::Connection> m_notificationTokens;
    VerdictCache m_verdictCache;
    double m_lastCheck = -std::numeric_limits<double>::infinity();
    std::optional<ActivityWindowIdentity> m_lastWindowIdentity;
    SessionActivityLog m_activityLog;
    double m_lastActivation = 0;
    int m_consecutiveUnreadableChecks = 0;
    bool m_awaitingClassificationAfterDrift = false;
    MenuBarSessionBackground m_lastDefiniteMenuBarBackground = MenuBarSessionBackground::None;
    FocusThiefList m_focusThieves;
    QSet<QString> m_sessionPasses;
    std::optional<QString> m_currentListHit;
    std::optional<FocusThief> m_pendingNudgeThief;
    std::optional<QString> m_rehearsalIntention;
    Callback m_onRehearsalNudgeClosed;
    std::shared_ptr<NudgeSpeaking> m_rehearsalSpeaker;
    TaskSlot m_rehearsalClock;
    bool m_demo = false;
    UserDefaults* m_defaults = nullptr;
    std::optional<NudgeHandOff> m_lastNudgeHandOff;
    bool m_backgroundWritersRunning = false;

    // Every task holds a copy and stops at its next step once the session is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // Cancelled when the session is destroyed: wakes every await that no task slot covers.
    CancellationSource m_lifetime;

    // The roles of the engine, each on the state above.
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
