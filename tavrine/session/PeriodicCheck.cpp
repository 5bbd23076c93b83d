#include "tavrine/session/PeriodicCheck.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/CheckID.h"

#include <QUuid>
#include <limits>

namespace tavrine {

namespace {
QString cropText(const ActivityEvidence& evidence) {
    if (!evidence.contentFrame)
        return QStringLiteral("missing");
    return QString::number(wholeNumber(evidence.contentFrame->width())) + QLatin1Char('x') +
           QString::number(wholeNumber(evidence.contentFrame->height()));
}
} // namespace

void PeriodicCheck::restart() {
    m_lastCheck = -std::numeric_limits<double>::infinity();
    m_lastWindowIdentity.reset();
    m_consecutiveUnreadableChecks = 0;
}

void PeriodicCheck::captureAtOnce() {
    m_lastCheck = -std::numeric_limits<double>::infinity();
    m_lastWindowIdentity.reset();
}

void PeriodicCheck::noteActivation(double t) {
    m_lastActivation = t;
    restart();
}

bool PeriodicCheck::isUsableEvidence(const ActivityEvidence& evidence, bool demo) {
    if (evidence.issue)
        return false;
    if (demo)
        return !evidence.imageFingerprint.isEmpty() || text::graphemeCount(evidence.text) >= 30;
    return evidence.imagePNG.has_value() && !evidence.imageFingerprint.isEmpty();
}

QCoro::Task<void> PeriodicCheck::run() {
    PeriodicCheckHost& s = m_session;
    const auto alive = s.alive();
    // Most passes end here, once a second: one call reads what they end on.
    const PeriodicCheckHost::PassReadings readings = s.passReadings();
    const double t = readings.now;
    if (!readings.running || readings.preparingNudge)
        co_return;
    if (readings.nudgeDue) {
        s.checkNudgeDue();
        co_return;
    }
    bool capturing = readings.capturing;
    if (readings.focusSession && !capturing) {
        const bool finished = co_await s.checkFocusThiefList();
        if (!*alive || finished)
            co_return;
        capturing = s.isCapturing();
    }
    if (capturing)
        co_return;

    {
        const auto identity = s.currentWindowIdentity();
        if (identity && m_lastWindowIdentity && *identity != *m_lastWindowIdentity) {
            m_lastCheck = -std::numeric_limits<double>::infinity();
            s.logSession(QStringLiteral("Focused window changed; capturing without the 12-second wait"));
            previewKnownVerdict(*identity);
        }
    }
    // Written so that a comparison with a not-a-number result keeps the gate shut.
    const double activationAtGate = m_lastActivation;
    if (!(t - m_lastCheck >= captureInterval && t - activationAtGate >= activationSettle))
        co_return;

    s.rereadPermissions();
    if (!s.accessibilityReady()) {
        s.noteObservation(t);
        s.setStatus(QStringLiteral("Accessibility permission is needed"));
        s.setMonitoringState(MonitoringState::accessibilityRequired());
        co_return;
    }
    co_await capture(t, activationAtGate);
}

QCoro::Task<void> PeriodicCheck::capture(double t, double activationAtGate) {
    PeriodicCheckHost& s = m_session;
    const auto alive = s.alive();
    const qint64 generation = s.generation();
    const qint64 revision = s.activityRevision();
    const double observedAt = s.now();
    const QString checkID = makeCheckID();
    const double captureStart = s.now();
    std::optional<AccessibilityCaptureDebug> result = co_await s.captureFrontmost();
    if (!*alive)
        co_return;

    if (!s.isRunning() || s.generation() != generation)
        co_return;
    const bool current = s.activityRevision() == revision;
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
    m_lastCheck = s.now();
    m_lastWindowIdentity = evidence.windowIdentity();
    if (current) {
        s.setObservedApp(evidence.app);
        s.setSource(evidence.source);
    }
    const bool usable = isUsableEvidence(evidence, s.isDemo());
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
        if (s.activityRevision() == revision)
            handleUnusable(evidence, observedAt);
        co_return;
    }

    m_consecutiveUnreadableChecks = 0;
    if (s.isNudgeDue()) {
        s.logCheckEvent(checkID, QStringLiteral("Dropped ordinary observation because a nudge is due"));
        s.checkNudgeDue();
        co_return;
    }
    s.forgetEvaluationUnlessSameContent(evidence);
    s.enqueueSnapshot(ActivitySnapshot{QUuid::createUuid(), checkID, generation, revision, observedAt, evidence});
}

void PeriodicCheck::handleUnusable(const ActivityEvidence& evidence, double observedAt) {
    PeriodicCheckHost& s = m_session;
    s.noteObservation(observedAt);
    ++m_consecutiveUnreadableChecks;
    // An issue that says nothing is no message for the user.
    const QString status = evidence.issue && !evidence.issue->isEmpty()
                               ? *evidence.issue
                               : QStringLiteral("Couldn\u2019t capture this window \u00b7 staying quiet");
    s.setStatus(status);
    if (!s.screenReady() && evidence.capturePath == QLatin1String("screenshot-unavailable"))
        s.setMonitoringState(MonitoringState::screenRecordingRecommended());
    else if (m_consecutiveUnreadableChecks < 2)
        s.setMonitoringState(MonitoringState::waiting());
    else
        s.setMonitoringState(MonitoringState::unreadable(status));
}

void PeriodicCheck::previewKnownVerdict(const ActivityWindowIdentity& identity) {
    PeriodicCheckHost& s = m_session;
    const std::optional<ActivityRelevance> known = s.knownWindowVerdict(identity);
    if (!known)
        return;
    s.logSession(QStringLiteral("Previewing known verdict label=") + rawValue(*known));
    s.setLabel(std::nullopt);
    s.refreshMenuBarBackground();
    s.noteDefiniteVerdict(*known);
    s.refreshMenuBarBackground();
}

} // namespace tavrine
