#include "tavrine/session/PeriodicCheck.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/ActivityObserving.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/FinalNudgeCheck.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/session/ObservationQueue.h"

#include <QUuid>

namespace tavrine {

namespace {
QString cropText(const ActivityEvidence& evidence) {
    if (!evidence.contentFrame)
        return QStringLiteral("missing");
    return QString::number(wholeNumber(evidence.contentFrame->width())) + QLatin1Char('x') +
           QString::number(wholeNumber(evidence.contentFrame->height()));
}
} // namespace

bool PeriodicCheck::isUsableEvidence(const ActivityEvidence& evidence, bool demo) {
    if (evidence.issue)
        return false;
    if (demo)
        return !evidence.imageFingerprint.isEmpty() || text::graphemeCount(evidence.text) >= 30;
    return evidence.imagePNG.has_value() && !evidence.imageFingerprint.isEmpty();
}

QCoro::Task<void> PeriodicCheck::run() {
    FocusSession& s = m_session;
    const auto alive = s.m_alive;
    const double t = s.now();
    if (!s.isRunning() || s.m_isPreparingNudge)
        co_return;
    if (s.m_policy.isDue(t)) {
        s.m_finalCheck->checkNudgeDue();
        co_return;
    }
    if (s.m_isFocusSession && !s.m_isCapturing) {
        const bool finished = co_await s.checkFocusThiefList();
        if (!*alive || finished)
            co_return;
    }
    if (s.m_isCapturing)
        co_return;

    if (s.m_observer) {
        const auto identity = s.m_observer->currentWindowIdentity();
        if (identity && s.m_lastWindowIdentity && *identity != *s.m_lastWindowIdentity) {
            s.m_lastCheck = -std::numeric_limits<double>::infinity();
            s.logSession(QStringLiteral("Focused window changed; capturing without the 12-second wait"));
            previewKnownVerdict(*identity);
        }
    }
    // Written so that a comparison with a not-a-number result keeps the gate shut.
    const double activationAtGate = s.m_lastActivation;
    if (!(t - s.m_lastCheck >= captureInterval && t - activationAtGate >= activationSettle))
        co_return;

    s.refreshPermissions();
    if (!s.m_accessibilityReady) {
        s.noteObservation(t);
        s.setStatus(QStringLiteral("Accessibility permission is needed"));
        s.setMonitoringState(MonitoringState::accessibilityRequired());
        co_return;
    }
    co_await capture(t, activationAtGate);
}

QCoro::Task<void> PeriodicCheck::capture(double t, double activationAtGate) {
    FocusSession& s = m_session;
    const auto alive = s.m_alive;
    const qint64 generation = s.m_sessionGeneration;
    const qint64 revision = s.m_activityRevision;
    const double observedAt = s.now();
    const QString checkID = FocusSession::makeCheckID();
    const double captureStart = s.now();
    s.m_isCapturing = true;
    std::optional<AccessibilityCaptureDebug> result;
    if (s.m_observer) {
        try {
            // Only the session's end wakes this await early; a halted session cancels the capture itself.
            result = co_await cancellable(s.m_observer->captureFrontmostActivity(true), s.m_lifetime.token());
        } catch (...) {
            // The observer reports problems inside the evidence; anything thrown counts as no result.
        }
    }
    if (!*alive)
        co_return;
    s.m_isCapturing = false;

    if (!s.isRunning() || s.m_sessionGeneration != generation)
        co_return;
    const bool current = s.m_activityRevision == revision;
    if (t - activationAtGate < earlyCaptureWindow && !current) {
        s.logCheckEvent(checkID, QStringLiteral("Dropped early capture: activity changed while the window settled"));
        co_return;
    }
    if (!result) {
        s.logCheckEvent(checkID,
                        QStringLiteral("Capture returned nothing (Tavrine is frontmost or no app is readable)"));
        if (current) {
            s.noteObservation(observedAt);
            s.setMonitoringState(MonitoringState::waiting());
        }
        co_return;
    }

    const ActivityEvidence evidence = std::move(result->evidence);
    s.m_lastCheck = s.now();
    s.m_lastWindowIdentity = evidence.windowIdentity();
    if (current) {
        s.setObservedApp(evidence.app);
        s.setSource(evidence.source);
    }
    const bool usable = isUsableEvidence(evidence, s.m_demo);
    s.logCheckEvent(
        checkID,
        QStringLiteral("Observation path=window usable=%1 crop=%2 fingerprint=%3 headerChars=%4 "
                       "captureSeconds=%5")
            .arg(usable ? u"true" : u"false", cropText(evidence),
                 evidence.imageFingerprint.isEmpty() ? QStringLiteral("missing") : evidence.imageFingerprint.left(8),
                 QString::number(text::graphemeCount(evidence.header)), text::shortestDecimal(s.now() - captureStart)));
    s.logEvidenceContext(checkID, evidence);
    s.setDiagnostic(usable ? QStringLiteral("Captured the active window for the judge")
                           : QStringLiteral("Window capture unavailable"));
    if (!usable) {
        s.logCheckEvent(checkID, QStringLiteral("DECISION origin=insufficient-evidence accepted=false ") +
                                     evidence.diagnosticLine());
        if (s.m_activityRevision == revision)
            handleUnusable(evidence, observedAt);
        co_return;
    }

    s.m_consecutiveUnreadableChecks = 0;
    if (s.m_policy.isDue(s.now())) {
        s.logCheckEvent(checkID, QStringLiteral("Dropped ordinary observation because a nudge is due"));
        s.m_finalCheck->checkNudgeDue();
        co_return;
    }
    if (s.m_latestEvaluation && !s.m_latestEvaluation->snapshot.evidence.hasSameContent(evidence)) {
        s.m_latestEvaluation.reset();
        s.setLabel(std::nullopt);
        s.refreshMenuBarBackground();
    }
    s.m_queue->enqueue(ActivitySnapshot{QUuid::createUuid(), checkID, generation, revision, observedAt, evidence});
}

void PeriodicCheck::handleUnusable(const ActivityEvidence& evidence, double observedAt) {
    FocusSession& s = m_session;
    s.noteObservation(observedAt);
    ++s.m_consecutiveUnreadableChecks;
    // An issue that says nothing is no message for the user.
    const QString status = evidence.issue && !evidence.issue->isEmpty()
                               ? *evidence.issue
                               : QStringLiteral("Couldn\u2019t capture this window \u00b7 staying quiet");
    s.setStatus(status);
    if (!s.m_screenReady && evidence.capturePath == QLatin1String("screenshot-unavailable"))
        s.setMonitoringState(MonitoringState::screenRecordingRecommended());
    else if (s.m_consecutiveUnreadableChecks < 2)
        s.setMonitoringState(MonitoringState::waiting());
    else
        s.setMonitoringState(MonitoringState::unreadable(status));
}

void PeriodicCheck::previewKnownVerdict(const ActivityWindowIdentity& identity) {
    FocusSession& s = m_session;
    const QString key = identity.cacheKey();
    std::optional<ActivityRelevance> known;
    for (const QString& pass : std::as_const(s.m_windowPasses)) {
        if (pass.startsWith(key)) {
            known = ActivityRelevance::Relevant;
            break;
        }
    }
    if (!known)
        known = s.m_verdictCache.agreedLabel(key, s.now());
    if (!known)
        return;
    s.logSession(QStringLiteral("Previewing known verdict label=") + rawValue(*known));
    s.setLabel(std::nullopt);
    s.refreshMenuBarBackground();
    s.noteDefiniteVerdict(*known);
    s.refreshMenuBarBackground();
}

} // namespace tavrine
