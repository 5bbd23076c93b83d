#include "tavrine/session/FocusSession.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Numbers.h"
#include "tavrine/core/Observable.h"
#include "tavrine/core/Text.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/model/ActivityClassifying.h"
#include "tavrine/model/ActivityObserving.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/model/NudgeWriting.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/model/RecapWriting.h"
#include "tavrine/model/WorkspaceEventSource.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/FinalNudgeCheck.h"
#include "tavrine/session/FocusMode.h"
#include "tavrine/session/MissingClassifierError.h"
#include "tavrine/session/NudgeFlow.h"
#include "tavrine/session/ObservationQueue.h"
#include "tavrine/session/PeriodicCheck.h"
#include "tavrine/session/Rehearsal.h"
#include "tavrine/session/SessionLoops.h"
#include "tavrine/session/SessionServicesFactory.h"
#include "tavrine/session/SessionWrapUp.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/speech/SpeakNudgesSetting.h"

#include <QThread>
#include <QUuid>
#include <cmath>

namespace tavrine {

namespace {
constexpr int maximumIntentionCharacters = 400;
constexpr int maximumMinutes = 180;
// A session used for less than a minute is not summarised, stored or written about.
constexpr double minimumStoredSeconds = 60.0;

QString twoDigits(qint64 value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
} // namespace

FocusSession::FocusSession(FocusSessionOptions options, QObject* parent) : QObject(parent) {
    m_clock = options.clock ? options.clock : &Clock::system();
    m_defaults = options.defaults ? options.defaults : &UserDefaults::standard();
    m_speakNudges = readSpeakNudges(*m_defaults);
    m_nudgeVoice = new NudgeVoiceMeter(this);
    m_startedDate = m_clock->date();
    m_demo = options.demo;

    // The services, in the order the factory documents: observer, classifier, then the writers.
    SessionServicesFactory* services = options.services;
    m_observer = options.observer ? options.observer : (services ? services->makeObserver() : nullptr);
    m_classifier = options.classifier ? options.classifier : (services ? services->makeClassifier(!m_demo) : nullptr);
    std::shared_ptr<NudgeWriting> nudgeWriter = std::move(options.nudgeWriter);
    std::shared_ptr<RecapWriting> recapWriter = std::move(options.recapWriter);
    std::shared_ptr<HistoryIntentWriting> intentWriter = std::move(options.intentWriter);
    if (!m_demo && services) {
        if (!nudgeWriter)
            nudgeWriter = services->makeNudgeWriter();
        if (!recapWriter)
            recapWriter = services->makeRecapWriter();
        if (!intentWriter)
            intentWriter = services->makeIntentWriter();
    }

    // Each role gets the one interface it needs (the conversions to private bases are made here, where they
    // are accessible).
    m_loops = std::make_unique<SessionLoops>(static_cast<SessionLoopsHost&>(*this));
    m_periodicCheck = std::make_unique<PeriodicCheck>(static_cast<PeriodicCheckHost&>(*this));
    m_queue = std::make_unique<ObservationQueue>(static_cast<ObservationQueueHost&>(*this));
    m_finalCheck = std::make_unique<FinalNudgeCheck>(static_cast<FinalNudgeCheckHost&>(*this));
    m_nudgeFlow = std::make_unique<NudgeFlow>(static_cast<NudgeFlowHost&>(*this), std::move(nudgeWriter),
                                              std::move(options.speaker));
    FocusThiefList thieves = options.focusThieves ? std::move(*options.focusThieves) : FocusThiefList::builtIn();
    m_focusMode = std::make_unique<FocusMode>(static_cast<FocusModeHost&>(*this), std::move(thieves));
    m_wrapUp = std::make_unique<SessionWrapUp>(static_cast<SessionWrapUpHost&>(*this), std::move(options.history),
                                               std::move(recapWriter), std::move(intentWriter));
    m_rehearsal = std::make_unique<Rehearsal>(static_cast<RehearsalHost&>(*this));

    m_nudgeVoice->onSettled = [this, alive = std::weak_ptr<bool>(m_alive)] {
        if (auto living = alive.lock(); living && *living)
            m_nudgeFlow->releaseHold();
    };

    refreshPermissions();
    connectWorkspaceEvents(options.workspaceEvents);
}

FocusSession::~FocusSession() {
    // Every task sees the flag on its next step; cancelling wakes the sleeps and service awaits it is in, and
    // the wake-ups resume it later through the event queue, never inside this destructor.
    *m_alive = false;
    for (const auto& token : std::as_const(m_notificationTokens))
        disconnect(token);
    m_nudgeVoice->onSettled = nullptr;
    m_lifetime.cancel();
    m_loops->shutdown();
    m_queue->halt();
    m_finalCheck->halt();
    m_rehearsal->shutdown();
    m_wrapUp->shutdown();
    if (m_observer)
        m_observer->cancelCapture();
    m_nudgeFlow->shutdown();
}

// --- Observable state -----------------------------------------------------------------------------------------

template <typename T, typename U> void FocusSession::update(T& field, U&& value, void (FocusSession::*changed)()) {
    if (assignIfChanged(field, std::forward<U>(value)))
        emit(this->*changed)();
}

void FocusSession::setIntention(const QString& intention) {
    update(m_intention, intention, &FocusSession::intentionChanged);
}
void FocusSession::setMinutes(int minutes) {
    update(m_minutes, minutes, &FocusSession::minutesChanged);
}
void FocusSession::setLogScreenContent(bool on) {
    update(m_logScreenContent, on, &FocusSession::logScreenContentChanged);
}
void FocusSession::setSpeakNudges(bool speak) {
    update(m_speakNudges, speak, &FocusSession::speakNudgesChanged);
    m_defaults->setBool(speakNudgesKey, speak);
}
void FocusSession::setOnNudge(Callback callback) {
    m_onNudge = std::move(callback);
    emit onNudgeChanged();
}
void FocusSession::setOnDismissNudge(Callback callback) {
    m_onDismissNudge = std::move(callback);
    emit onDismissNudgeChanged();
}
void FocusSession::setOnFinish(Callback callback) {
    m_onFinish = std::move(callback);
    emit onFinishChanged();
}
void FocusSession::setPhase(SessionPhase phase) {
    update(m_phase, phase, &FocusSession::phaseChanged);
}
void FocusSession::setRemaining(double remaining) {
    update(m_remaining, remaining, &FocusSession::remainingChanged);
}
void FocusSession::setStatus(const QString& status) {
    update(m_status, status, &FocusSession::statusChanged);
}
void FocusSession::setMonitoringState(const MonitoringState& state) {
    if (state.kind == MonitoringState::Kind::CheckFailed)
        setLastCheckFailure(state.text);
    update(m_monitoringState, state, &FocusSession::monitoringStateChanged);
}
void FocusSession::setLastCheckFailure(std::optional<QString> failure) {
    if (m_lastCheckFailure == failure)
        return;
    m_lastCheckFailure = std::move(failure);
    refreshMenuBarBackground();
    emit lastCheckFailedChanged();
}
void FocusSession::setLabel(std::optional<ActivityRelevance> label) {
    update(m_label, label, &FocusSession::labelChanged);
}
void FocusSession::setObservedApp(const QString& app) {
    update(m_observedApp, app, &FocusSession::observedAppChanged);
}
void FocusSession::setSource(const QString& source) {
    update(m_source, source, &FocusSession::sourceChanged);
}
void FocusSession::setChecks(qint64 checks) {
    update(m_checks, checks, &FocusSession::checksChanged);
}
void FocusSession::setLatency(double latency) {
    update(m_latency, latency, &FocusSession::latencyChanged);
}
void FocusSession::setIsJudging(bool judging) {
    update(m_isJudging, judging, &FocusSession::isJudgingChanged);
}
void FocusSession::setLastExplanation(const QString& text) {
    update(m_lastExplanation, text, &FocusSession::lastExplanationChanged);
}
void FocusSession::setDiscardedChecks(qint64 count) {
    update(m_discardedChecks, count, &FocusSession::discardedChecksChanged);
}
void FocusSession::setDiagnostic(const QString& text) {
    update(m_diagnostic, text, &FocusSession::diagnosticChanged);
}
void FocusSession::setLastDriftAt(std::optional<double> at) {
    update(m_lastDriftAt, at, &FocusSession::lastDriftAtChanged);
}
void FocusSession::setDriftText(const QString& text) {
    update(m_driftText, text, &FocusSession::driftTextChanged);
}
void FocusSession::setMenuBarSessionBackground(MenuBarSessionBackground background) {
    update(m_menuBarSessionBackground, background, &FocusSession::menuBarSessionBackgroundChanged);
}
void FocusSession::setActivityLogItems(QList<SessionLogItem> items) {
    update(m_activityLogItems, std::move(items), &FocusSession::activityLogItemsChanged);
}
void FocusSession::setLastWorkWindow(std::optional<ActivityWindowIdentity> window) {
    update(m_lastWorkWindow, std::move(window), &FocusSession::lastWorkWindowChanged);
}
void FocusSession::setPendingNudge(std::optional<ActivityEvidence> evidence) {
    update(m_pendingNudge, std::move(evidence), &FocusSession::pendingNudgeChanged);
}
void FocusSession::setPendingNudgeReason(const QString& reason) {
    update(m_pendingNudgeReason, reason, &FocusSession::pendingNudgeReasonChanged);
}
void FocusSession::countCheck() {
    setChecks(m_checks + 1);
}
void FocusSession::countDiscardedCheck() {
    setDiscardedChecks(m_discardedChecks + 1);
}
void FocusSession::countNudge() {
    update(m_nudges, m_nudges + 1, &FocusSession::nudgesChanged);
}
void FocusSession::countCorrection() {
    update(m_correctionsCount, m_correctionsCount + 1, &FocusSession::correctionsCountChanged);
}
void FocusSession::setSummary(std::optional<SessionSummary> summary) {
    update(m_summary, std::move(summary), &FocusSession::summaryChanged);
}

void FocusSession::setBackgroundWritersRunning(bool running) {
    update(m_backgroundWritersRunning, running, &FocusSession::backgroundWritersRunningChanged);
}

void FocusSession::clearSummary() {
    setSummary(std::nullopt);
}
void FocusSession::setRehearsalIntention(std::optional<QString> intention) {
    update(m_rehearsalIntention, std::move(intention), &FocusSession::rehearsalIntentionChanged);
}

// --- Lifecycle ------------------------------------------------------------------------------------------------

bool FocusSession::canStart() const {
    return !text::trimmed(m_intention).isEmpty() && text::graphemeCount(m_intention) <= maximumIntentionCharacters &&
           canStartFocusMode();
}

bool FocusSession::canStartFocusMode() const {
    if (m_minutes < 1 || m_minutes > maximumMinutes)
        return false;
    return m_demo || (m_accessibilityReady && m_screenReady);
}

void FocusSession::refreshPermissions() {
    const bool hadAccessibility = m_accessibilityReady;
    const bool hadScreen = m_screenReady;
    const bool accessibility = m_demo || (m_observer && m_observer->accessibilityTrusted());
    const bool screen = m_demo || (m_observer && m_observer->screenCaptureAllowed());
    update(m_accessibilityReady, accessibility, &FocusSession::accessibilityReadyChanged);
    update(m_screenReady, screen, &FocusSession::screenReadyChanged);
    if (isRunning() && !accessibility)
        setMonitoringState(MonitoringState::accessibilityRequired());
    if (accessibility != hadAccessibility || screen != hadScreen)
        log::info(logFocus(), QStringLiteral("Permissions accessibility=%1 screen=%2")
                                  .arg(accessibility ? u"true" : u"false", screen ? u"true" : u"false"));
}

void FocusSession::start(bool isFocusSession) {
    if (isActive() || isRehearsing()) {
        logSession(isRehearsing() ? QStringLiteral("Start ignored: a rehearsal is running")
                                  : QStringLiteral("Start ignored: a session is already %1").arg(rawValue(m_phase)));
        return;
    }
    setIntention(text::trimmed(m_intention));
    update(m_isFocusSession, isFocusSession, &FocusSession::isFocusSessionChanged);
    setLastWorkWindow(std::nullopt);
    m_focusMode->reset();
    m_nudgeFlow->forgetThief();

    // In floating point: the start gates bound the minutes, but a caller that skipped them must not overflow.
    const double duration = double(m_minutes) * 60.0;
    setRemaining(duration);
    update(m_plannedDuration, duration, &FocusSession::plannedDurationChanged);
    const double t = now();
    m_deadline = t + duration;
    m_startedUptime = t;
    m_startedDate = m_clock->date();
    m_asleepAtStart = m_clock->asleep();

    update(m_summary, std::optional<SessionSummary>(), &FocusSession::summaryChanged);
    setPhase(SessionPhase::Running);
    ++m_sessionGeneration;
    m_sessionID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    ++m_activityRevision;
    m_policy = NudgePolicy();
    m_policy.restart(t, false);

    m_queue->clearVerdicts();
    setChecks(0);
    update(m_nudges, qint64(0), &FocusSession::nudgesChanged);
    update(m_correctionsCount, qint64(0), &FocusSession::correctionsCountChanged);
    setLatency(0);

    m_lastDefiniteMenuBarBackground = MenuBarSessionBackground::None;
    m_awaitingClassificationAfterDrift = false;
    setLastCheckFailure(std::nullopt);
    setLabel(std::nullopt);
    refreshMenuBarBackground();
    setDiscardedChecks(0);
    setDiagnostic(QStringLiteral("Waiting for an observation"));
    setLastDriftAt(std::nullopt);
    refreshDriftText();
    logSession(QStringLiteral("Session started policy=drift-v4 mode=%1").arg(isFocusSession ? u"focus" : u"intention"));

    m_periodicCheck->restart();
    m_activityLog.entries.clear();
    refreshActivityLogItems();
    setStatus(QStringLiteral("Watching for context"));
    setMonitoringState(m_demo ? MonitoringState::monitoring() : MonitoringState::waiting());

    if (m_classifier)
        m_classifier->prepare(m_intention);
    m_wrapUp->keeper().start();
    m_loops->startLoops();
}

void FocusSession::pause() {
    if (isRehearsing()) {
        dismissNudge();
        return;
    }
    if (!isRunning())
        return;
    setRemaining(std::max(0.0, finiteOrZero(m_deadline - now())));
    setPhase(SessionPhase::Paused);
    setLastDriftAt(std::nullopt);
    refreshDriftText();
    logSession(QStringLiteral("Session paused"));
    haltChecks();
    m_activityLog.addPause(activityLogTime());
    refreshActivityLogItems();
    setStatus(QStringLiteral("On a break \u00b7 monitoring paused"));
    setMonitoringState(MonitoringState::paused());
}

void FocusSession::resume() {
    refreshPermissions();
    if (m_phase != SessionPhase::Paused)
        return;
    if (!m_accessibilityReady) {
        setMonitoringState(MonitoringState::accessibilityRequired());
        return;
    }
    if (!m_screenReady) {
        setMonitoringState(MonitoringState::screenRecordingRecommended());
        return;
    }
    const double t = now();
    m_deadline = t + m_remaining;
    ++m_sessionGeneration;
    ++m_activityRevision;
    m_policy.restart(t, false);
    setPhase(SessionPhase::Running);
    m_periodicCheck->restart();
    m_activityLog.close(activityLogTime());
    refreshActivityLogItems();
    setStatus(QStringLiteral("Watching for context"));
    setMonitoringState(m_demo ? MonitoringState::monitoring() : MonitoringState::waiting());
    m_awaitingClassificationAfterDrift = false;
    m_lastDefiniteMenuBarBackground = MenuBarSessionBackground::None;
    refreshMenuBarBackground();
}

SessionSummary FocusSession::summarySoFar() const {
    return m_wrapUp->snapshot();
}

void FocusSession::stop(bool completed) {
    logSession(QStringLiteral("Session stopped completed=%1").arg(completed ? u"true" : u"false"));
    const bool wasActive = isActive();
    const double left = isRunning() ? std::max(0.0, finiteOrZero(m_deadline - now())) : finiteOrZero(m_remaining);
    setPhase(completed ? SessionPhase::Finished : SessionPhase::Idle);
    setRemaining(0);
    setLogScreenContent(false);
    setLastExplanation(QString());
    setLastDriftAt(std::nullopt);
    refreshDriftText();
    m_activityLog.close(activityLogTime());
    refreshActivityLogItems();

    const double used = m_plannedDuration - left;
    if (wasActive && used >= minimumStoredSeconds) {
        SessionSummary summary = m_wrapUp->summarise(completed, used);
        setSummary(summary);
        m_wrapUp->handOff(summary);
    } else {
        m_wrapUp->keeper().finish(true);
    }

    haltChecks();
    m_queue->clearVerdicts();
    m_focusMode->reset();
    setLastWorkWindow(std::nullopt);
    setStatus(completed ? QStringLiteral("Session complete. Nice work.") : QStringLiteral("Ready when you are"));
    setMonitoringState(MonitoringState::waiting());
    setLastCheckFailure(std::nullopt);
    if (completed && m_summary && m_onFinish)
        m_onFinish();
}

QString FocusSession::remainingText() const {
    const qint64 seconds = std::max<qint64>(0, wholeNumber(std::ceil(m_remaining)));
    return twoDigits(seconds / 60) + QLatin1Char(':') + twoDigits(seconds % 60);
}

void FocusSession::openPrivacySettings(const QString& anchor) {
    PrivacySettingsOpening::open(anchor);
}

void FocusSession::dismissNudge() {
    const bool closesRehearsalNudge = isRehearsing() && m_pendingNudge.has_value();
    m_nudgeFlow->silence();
    m_rehearsal->silence();
    setPendingNudge(std::nullopt);
    m_nudgeFlow->forgetThief();
    setPendingNudgeReason(QString());
    if (m_onDismissNudge)
        m_onDismissNudge();
    if (closesRehearsalNudge)
        m_rehearsal->nudgeClosed();
}

void FocusSession::showNudgeCard() {
    if (m_onNudge)
        m_onNudge();
}

// --- Shared steps -----------------------------------------------------------------------------------------------

double FocusSession::now() const {
    return m_clock->now();
}

double FocusSession::sleptSinceStart() const {
    return std::max(0.0, std::round(finiteOrZero(m_clock->asleep() - m_asleepAtStart)));
}

double FocusSession::activityLogTime() const {
    return now() + sleptSinceStart();
}

void FocusSession::noteObservation(double t) {
    m_policy.touch(t);
    m_queue->forgetLatestEvaluation();
    setLabel(std::nullopt);
    refreshMenuBarBackground();
}

void FocusSession::refreshMenuBarBackground() {
    if (isRehearsing())
        return;
    if (!isRunning()) {
        m_awaitingClassificationAfterDrift = false;
        m_lastDefiniteMenuBarBackground = MenuBarSessionBackground::None;
        setMenuBarSessionBackground(MenuBarSessionBackground::None);
        return;
    }
    const bool drifting = m_policy.driftStartedAt.has_value();
    if (!drifting)
        m_awaitingClassificationAfterDrift = false;
    MenuBarSessionBackground background = MenuBarSessionBackground::None;
    if (m_awaitingClassificationAfterDrift)
        background = MenuBarSessionBackground::DriftPending;
    // A green kept from before a failed check would say the work is being watched while nothing is judged.
    else if (!m_lastCheckFailure && (m_lastDefiniteMenuBarBackground == MenuBarSessionBackground::Relevant ||
                                     m_label == ActivityRelevance::Relevant))
        background = MenuBarSessionBackground::Relevant;
    else if (m_lastDefiniteMenuBarBackground == MenuBarSessionBackground::Unrelated ||
             m_label == ActivityRelevance::Unrelated || drifting)
        background = MenuBarSessionBackground::Unrelated;
    setMenuBarSessionBackground(background);
}

void FocusSession::refreshDriftText() {
    if (isRunning() && m_policy.driftStartedAt) {
        const qint64 s = std::max<qint64>(0, wholeNumber(now() - *m_policy.driftStartedAt));
        const QString time = s < 3600 ? twoDigits(s / 60) + QLatin1Char(':') + twoDigits(s % 60)
                                      : QString::number(s / 3600) + QLatin1Char(':') + twoDigits((s % 3600) / 60) +
                                            QLatin1Char(':') + twoDigits(s % 60);
        setDriftText(time + QStringLiteral(" observed drift"));
    } else {
        setDriftText(QStringLiteral("No drift yet"));
    }
    refreshMenuBarBackground();
}

void FocusSession::refreshActivityLogItems() {
    setActivityLogItems(m_activityLog.items(activityLogTime()));
    if (m_wrapUp)
        m_wrapUp->keeper().noteLog(m_activityLog);
}

double FocusSession::usedSeconds() const {
    return m_plannedDuration - (isRunning() ? std::max(0.0, finiteOrZero(m_deadline - now())) : m_remaining);
}

void FocusSession::endUnexpectedly() {
    if (isActive())
        logSession(QStringLiteral("Session ended unexpectedly"));
    m_wrapUp->keeper().endUnexpectedly();
}

void FocusSession::haltChecks() {
    ++m_sessionGeneration;
    ++m_activityRevision;
    if (m_observer)
        m_observer->cancelCapture();
    m_loops->clearSettleCheck();
    m_queue->halt();
    m_finalCheck->halt();
    m_queue->forgetLatestEvaluation();
    setIsJudging(false);
    setLabel(std::nullopt);
    refreshMenuBarBackground();
    setObservedApp(QString());
    setSource(QString());
    m_periodicCheck->forgetWindow();
    dismissNudge();
    if (m_classifier)
        m_classifier->reset();
}

void FocusSession::recordActivity(double observedAt, ActivityRelevance label, const QString& activity,
                                  const ActivityEvidence& evidence) {
    if (label == ActivityRelevance::Uncertain)
        return;
    const SessionLogKind kind = label == ActivityRelevance::Relevant ? SessionLogKind::Related : SessionLogKind::Detour;
    const QString phrase = SessionActivityLog::phraseOrFallback(activity, evidence);
    const QString key = SessionActivityLog::mergeKey(kind, evidence);
    const double time = observedAt + sleptSinceStart();
    const ActivityClues clues = ActivityClues::fromEvidence(evidence, activity);
    auto& entries = m_activityLog.entries;
    if (!entries.isEmpty() && !entries.last().endedAt && entries.last().mergeKey == key) {
        SessionLogEntry& open = entries.last();
        if (SessionActivityLog::isAcceptablePhrase(phrase))
            open.phrase = phrase;
        open.clues.merge(clues);
    } else {
        m_activityLog.close(time);
        entries.append(SessionLogEntry{QUuid::createUuid(), key, phrase, kind, time, std::nullopt, clues});
    }
    refreshActivityLogItems();
}

QCoro::Task<ActivityJudgment> FocusSession::classify(QString intention, ActivityEvidence evidence,
                                                     std::function<void(ActivityRelevance)> onLabel,
                                                     CancellationToken token) {
    if (!m_classifier)
        throw MissingClassifierError();
    co_return co_await cancellable(
        m_classifier->classify(std::move(intention), std::move(evidence), std::move(onLabel)), std::move(token));
}

std::function<void(ActivityRelevance)> FocusSession::earlyLabelCallback(qint64 generation,
                                                                        std::optional<qint64> revision) {
    return [this, alive = std::weak_ptr<bool>(m_alive), generation, revision](ActivityRelevance label) {
        const auto living = alive.lock();
        if (!living || !*living || m_sessionGeneration != generation || (revision && m_activityRevision != *revision))
            return;
        noteDefiniteVerdict(label);
        refreshMenuBarBackground();
    };
}

void FocusSession::noteDefiniteVerdict(ActivityRelevance label) {
    if (label == ActivityRelevance::Uncertain)
        return;
    m_lastDefiniteMenuBarBackground =
        label == ActivityRelevance::Relevant ? MenuBarSessionBackground::Relevant : MenuBarSessionBackground::Unrelated;
    m_awaitingClassificationAfterDrift = false;
}

void FocusSession::noteRelevantWindow(const ActivityEvidence& evidence) {
    setLastWorkWindow(evidence.windowIdentity());
}

void FocusSession::noteDriftAt(double t) {
    if (!m_lastDriftAt)
        setLastDriftAt(t);
}

// --- Log lines ----------------------------------------------------------------------------------------------------

void FocusSession::logSession(const QString& message) const {
    if (log::enabled(logFocus(), log::Level::Info))
        log::info(logFocus(), QStringLiteral("session=%1 %2").arg(m_sessionID, log::priv(message)));
}

void FocusSession::logCheckEvent(const QString& check, const QString& message, bool error) const {
    const auto level = error ? log::Level::Error : log::Level::Info;
    if (log::enabled(logFocus(), level))
        log::write(logFocus(), level,
                   QStringLiteral("session=%1 check=%2 %3").arg(m_sessionID, check, log::priv(message)));
}

void FocusSession::logEvidenceContext(const QString& check, const ActivityEvidence& evidence) const {
    if (!m_logScreenContent)
        return;
    const QStringList lines{QStringLiteral("app=") + evidence.app, QStringLiteral("bundle=") + evidence.bundle,
                            QStringLiteral("window=") + evidence.title, QStringLiteral("url=") + evidence.url,
                            evidence.diagnosticLine()};
    logEvidence(m_sessionID, check, QStringLiteral("context"), lines.join(QLatin1Char('\n')));
    if (!evidence.header.isEmpty())
        logEvidence(m_sessionID, check, QStringLiteral("ax-header"), evidence.header);
}

void FocusSession::logUnexpectedFailure(const QString& what, std::exception_ptr error) const {
    log::error(logFocus(),
               QStringLiteral("session=%1 %2 failed unexpectedly %3").arg(m_sessionID, what, errorKindCode(error)));
}

// --- Workspace events ---------------------------------------------------------------------------------------------

void FocusSession::connectWorkspaceEvents(WorkspaceEventSource* events) {
    if (!events)
        return;
    // Connections made with the session as context end with it: a notification after that reaches nobody.
    m_notificationTokens << connect(events, &WorkspaceEventSource::applicationActivated, this,
                                    [this] { applicationDidActivate(); });
    m_notificationTokens << connect(events, &WorkspaceEventSource::activeSpaceChanged, this,
                                    [this] { reshowPendingNudge(); });
    m_notificationTokens << connect(events, &WorkspaceEventSource::willSleep, this, [this] { pause(); });
    m_notificationTokens << connect(events, &WorkspaceEventSource::screensDidSleep, this, [this] { pause(); });
    m_notificationTokens << connect(events, &WorkspaceEventSource::sessionDidResignActive, this, [this] { pause(); });
}

void FocusSession::applicationDidActivate() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!isRunning())
        return;
    activityChanged();
    reshowPendingNudge();
}

void FocusSession::activityChanged() {
    ++m_activityRevision;
    m_queue->forgetLatestEvaluation();
    m_awaitingClassificationAfterDrift = m_policy.driftStartedAt.has_value();
    setLabel(std::nullopt);
    refreshMenuBarBackground();
    m_periodicCheck->noteActivation(now());
    setMonitoringState(m_queue->isEvaluating() ? MonitoringState::checking() : MonitoringState::waiting());
    logSession(QStringLiteral("Activity changed; keeping active evaluation and awaiting fresh evidence"));
    m_activityLog.close(activityLogTime());
    refreshActivityLogItems();
    if (const auto identity = currentWindowIdentity())
        m_periodicCheck->previewKnownVerdict(*identity);
    m_loops->scheduleSettleCheck();
}

void FocusSession::reshowPendingNudge() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_pendingNudge && !m_nudgeFlow->isHolding() && m_onNudge)
        m_onNudge();
}

// --- Steps of the roles -----------------------------------------------------------------------------------------

void FocusSession::openNudge(std::optional<QString> reason, bool forceVoice) {
    m_nudgeFlow->openNudge(std::move(reason), forceVoice);
}

// --- Answers, rehearsal and demo -------------------------------------------------------------------------------------

void FocusSession::acknowledgeNudge() {
    m_nudgeFlow->acknowledgeNudge();
}

void FocusSession::returnToWork() {
    m_nudgeFlow->returnToWork();
}

void FocusSession::grantSessionPass() {
    m_nudgeFlow->grantSessionPass();
}

bool FocusSession::startRehearsal(const QString& intention, int minutes, std::shared_ptr<NudgeSpeaking> speaker) {
    return m_rehearsal->start(intention, minutes, std::move(speaker));
}

void FocusSession::endRehearsal() {
    m_rehearsal->end();
}

void FocusSession::setOnRehearsalNudgeClosed(Callback callback) {
    m_rehearsal->setOnNudgeClosed(std::move(callback));
}

void FocusSession::setRehearsalTint(MenuBarSessionBackground background) {
    if (isRehearsing())
        setMenuBarSessionBackground(background);
}

void FocusSession::setRehearsalNudge(const ActivityEvidence& evidence, const QString& reason) {
    if (!isRehearsing())
        return;
    setPendingNudge(evidence);
    setPendingNudgeReason(reason);
}

void FocusSession::runDemoDrift() {
    m_rehearsal->runDemoDrift();
}

// --- What the roles ask of the session -----------------------------------------------------------------------------

const std::optional<FocusSession::NudgeHandOff>& FocusSession::lastNudgeHandOff() const {
    return m_nudgeFlow->lastHandOff();
}
const std::optional<FocusThief>& FocusSession::pendingNudgeThief() const {
    return m_nudgeFlow->pendingThief();
}
const FocusThiefList& FocusSession::focusThieves() const {
    return m_focusMode->thieves();
}
bool FocusSession::isPreparingNudge() const {
    return m_finalCheck->isPreparingNudge();
}

void FocusSession::rememberDefiniteTint(ActivityRelevance label) {
    if (label != ActivityRelevance::Uncertain)
        m_lastDefiniteMenuBarBackground = label == ActivityRelevance::Relevant ? MenuBarSessionBackground::Relevant
                                                                               : MenuBarSessionBackground::Unrelated;
}

void FocusSession::startNewActivity() {
    ++m_activityRevision;
    m_queue->forgetLatestEvaluation();
}

void FocusSession::changeActivityLog(const std::function<void(SessionActivityLog&)>& change) {
    change(m_activityLog);
    refreshActivityLogItems();
}

PeriodicCheckHost::PassReadings FocusSession::passReadings() const {
    const double t = now();
    return {t, isRunning(), isPreparingNudge(), m_policy.isDue(t), m_isFocusSession, m_isCapturing};
}

bool FocusSession::isNudgeDue() const {
    return m_policy.isDue(now());
}

void FocusSession::restartDriftClock(bool acknowledged) {
    m_policy.restart(now(), acknowledged);
}

void FocusSession::noteNudgeShown() {
    m_policy.lastNudge = now();
}

QCoro::Task<std::optional<AccessibilityCaptureDebug>> FocusSession::captureFrontmost() {
    const auto alive = m_alive;
    m_isCapturing = true;
    std::optional<AccessibilityCaptureDebug> result;
    if (const auto observer = m_observer) {
        try {
            // Only the session's end wakes this await early; a halted session cancels the capture itself.
            result = co_await cancellable(observer->captureFrontmostActivity(true), m_lifetime.token());
        } catch (...) {
            // The observer reports problems inside the evidence; anything thrown counts as no result.
        }
    }
    if (*alive)
        m_isCapturing = false;
    co_return result;
}

std::optional<ActivityWindowIdentity> FocusSession::currentWindowIdentity() const {
    return m_observer ? m_observer->currentWindowIdentity() : std::nullopt;
}

QCoro::Task<std::optional<FrontmostPage>> FocusSession::readFrontmostPage(QSet<QString> browsers,
                                                                          CancellationToken token) {
    if (!m_observer)
        co_return std::nullopt;
    // The observer answers on its own time; the token lets a halted or destroyed session stop waiting.
    const auto observer = m_observer;
    try {
        co_return co_await cancellable(observer->frontmostPage(std::move(browsers)), std::move(token));
    } catch (...) {
        // A failed read counts as no page.
        co_return std::nullopt;
    }
}

void FocusSession::returnToWindow(const ActivityWindowIdentity& window) {
    if (m_observer)
        m_observer->returnToWindow(window);
}

std::optional<double> FocusSession::lastConfidence() const {
    return m_classifier ? m_classifier->lastConfidence() : std::nullopt;
}

std::optional<QString> FocusSession::lastWorkNote() const {
    return m_classifier ? m_classifier->lastWorkNote() : std::nullopt;
}

QCoro::Task<void> FocusSession::runPeriodicCheck() {
    return m_periodicCheck->run();
}
void FocusSession::captureAtOnce() {
    m_periodicCheck->captureAtOnce();
}
void FocusSession::enqueueSnapshot(ActivitySnapshot snapshot) {
    m_queue->enqueue(std::move(snapshot));
}
bool FocusSession::isEvaluating() const {
    return m_queue->isEvaluating();
}
void FocusSession::dropPendingSnapshotIfDue() {
    m_queue->dropPendingSnapshotIfDue();
}
void FocusSession::forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence) {
    m_queue->forgetEvaluationUnlessSameContent(evidence);
}
std::optional<ActivityRelevance> FocusSession::knownWindowVerdict(const ActivityWindowIdentity& identity) const {
    return m_queue->knownWindowVerdict(identity);
}
void FocusSession::storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence) {
    m_queue->storeVerdict(label, evidence);
}
void FocusSession::grantWindowPass(const QString& key) {
    m_queue->grantWindowPass(key);
}
void FocusSession::checkNudgeDue() {
    m_finalCheck->checkNudgeDue();
}
QCoro::Task<void> FocusSession::runFinalCheck(CancellationToken token) {
    return m_finalCheck->run(std::move(token));
}
QCoro::Task<bool> FocusSession::checkFocusThiefList() {
    return m_focusMode->checkFocusThiefList();
}
QCoro::Task<void> FocusSession::fastLaneNudgeCheck(CancellationToken token) {
    return m_focusMode->fastLaneNudgeCheck(std::move(token));
}
void FocusSession::grantThiefPass(const QString& thiefID) {
    m_focusMode->grantPass(thiefID);
}
QCoro::Task<void> FocusSession::handOffNudge(NudgeHandOff handOff) {
    return m_nudgeFlow->handOff(std::move(handOff), [this] { emit nudgeHandedOff(); });
}
QCoro::Task<void> FocusSession::showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                          QString checkID, qint64 generation, QString intention,
                                          CancellationToken token) {
    return m_nudgeFlow->showNudge(std::move(facts), std::move(evidence), std::move(thief), std::move(checkID),
                                  generation, std::move(intention), std::move(token));
}
NudgeSpeaking* FocusSession::rehearsalSpeaker() const {
    return m_rehearsal->speaker();
}

void FocusSession::tick() {
    m_loops->tick();
}
QCoro::Task<void> FocusSession::periodicPass() {
    return m_periodicCheck->run();
}

} // namespace tavrine
