#include "tavrine/session/FinalNudgeCheck.h"

#include "tavrine/model/CheckID.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/PeriodicCheck.h"

namespace tavrine {

namespace {
const QString couldNotVerify = QStringLiteral("Couldn\u2019t verify the current activity.");
} // namespace

void FinalNudgeCheck::checkNudgeDue() {
    FinalNudgeCheckHost& s = m_session;
    if (m_verification.isPresent() || s.isEvaluating())
        return;
    if (!s.isNudgeDue())
        return;
    s.dropPendingSnapshotIfDue();
    // The slot is busy before the body runs, so a check that ends without waiting clears its own handle.
    verify(m_verification.begin(), s.alive());
}

QCoro::Task<void> FinalNudgeCheck::verify(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    try {
        co_await run(ticket.token);
    } catch (...) {
        // Nobody awaits this task: a failure is reported here and must not leave the slot taken for good.
        if (*alive)
            m_session.logUnexpectedFailure(QStringLiteral("Final nudge check"), std::current_exception());
    }
    if (*alive)
        m_verification.finish(ticket.id);
}

bool FinalNudgeCheck::fastLaneIsDue(double now) const {
    const NudgePolicy& policy = m_session.driftClock();
    if (!policy.driftStartedAt || !policy.listHitAt || !(now >= *policy.listHitAt))
        return false;
    if (!(now - *policy.listHitAt >= policy.fastThreshold))
        return false;
    return !policy.lastNudge || now - *policy.lastNudge >= policy.fastCooldown;
}

QCoro::Task<void> FinalNudgeCheck::run(CancellationToken token) {
    FinalNudgeCheckHost& s = m_session;
    const auto alive = s.alive();
    const double start = s.now();
    if (s.pendingNudge() || m_isPreparingNudge || !s.isNudgeDue() || s.isCapturing())
        co_return;
    if (s.isFocusSession() && fastLaneIsDue(start)) {
        // The fast lane's own mark: dropped when it ends, kept when the session went away meanwhile.
        s.dropPendingSnapshotIfDue();
        m_isPreparingNudge = true;
        co_await s.fastLaneNudgeCheck(token);
        if (!*alive)
            co_return;
        m_isPreparingNudge = false;
        co_return;
    }

    s.dropPendingSnapshotIfDue();
    m_isPreparingNudge = true;
    const qint64 generation = s.generation();
    const QString intention = s.intention();
    const QString checkID = makeCheckID();
    const double startedAt = s.now();
    // Is this check still the session's? Asked after every await.
    const auto stillValid = [&s, &token, generation, &intention] {
        return !token.isCancelled() && s.isRunning() && s.generation() == generation && s.intention() == intention;
    };

    std::optional<AccessibilityCaptureDebug> captured = co_await s.captureFrontmost();
    if (!*alive)
        co_return;
    if (!stillValid() || s.pendingNudge()) {
        m_isPreparingNudge = false;
        co_return;
    }

    if (!captured) {
        s.noteObservation(startedAt);
        s.setMonitoringState(MonitoringState::unreadable(couldNotVerify));
        s.logCheckEvent(checkID, QStringLiteral("Final nudge check postponed: current screen unreadable"));
        m_isPreparingNudge = false;
        co_return;
    }
    const ActivityEvidence evidence = std::move(captured->evidence);
    if (!PeriodicCheck::isUsableEvidence(evidence, s.isDemo())) {
        s.noteObservation(startedAt);
        const QString message = evidence.issue && !evidence.issue->isEmpty()
                                    ? *evidence.issue
                                    : QStringLiteral("Couldn\u2019t capture this window.");
        s.setStatus(message);
        if (!s.screenReady() && evidence.capturePath == QLatin1String("screenshot-unavailable"))
            s.setMonitoringState(MonitoringState::screenRecordingRecommended());
        else
            s.setMonitoringState(MonitoringState::unreadable(message));
        s.logCheckEvent(checkID, QStringLiteral("Final nudge check postponed: screenshot or fingerprint unavailable"));
        m_isPreparingNudge = false;
        co_return;
    }

    s.logEvidenceContext(checkID, evidence);
    s.logCheckEvent(checkID, QStringLiteral("Final nudge check started path=window"));
    std::exception_ptr failure;
    ActivityJudgment judgment;
    try {
        judgment = co_await s.classify(intention, evidence, s.earlyLabelCallback(generation, std::nullopt), token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!*alive)
        co_return;

    if (failure) {
        if (token.isCancelled() || !s.isRunning() || s.generation() != generation) {
            m_isPreparingNudge = false;
            co_return;
        }
        const QString text = describeErrorForLog(failure);
        if (s.logScreenContent() && !text.isEmpty())
            logEvidence(s.sessionID(), checkID, QStringLiteral("judge-error"), text);
        s.noteObservation(startedAt);
        const QString reason = errorReason(failure);
        s.setMonitoringState(MonitoringState::checkFailed(
            reason.isEmpty() ? couldNotVerify : couldNotVerify + QLatin1Char(' ') + reason));
        s.logCheckEvent(checkID,
                        QStringLiteral("Final nudge check failed %1; postponed").arg(errorKindCode(failure)) +
                            (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason),
                        true);
        m_isPreparingNudge = false;
        co_return;
    }
    if (!stillValid()) {
        m_isPreparingNudge = false;
        co_return;
    }

    const ActivityRelevance label = judgment.label;
    const auto confidence = s.lastConfidence();
    const auto note = s.lastWorkNote();
    s.setLastExplanation(QString());
    QString output = QStringLiteral("label: ") + rawValue(label);
    if (!judgment.activity.isEmpty())
        output += QStringLiteral("\nactivity: ") + judgment.activity;
    if (confidence)
        output += QStringLiteral("\nP(yes): ") + QString::number(*confidence, 'f', 4);
    if (note && !note->isEmpty())
        output += QLatin1Char('\n') + *note;
    if (s.logScreenContent())
        logEvidence(s.sessionID(), checkID, QStringLiteral("judge-output"), output);
    s.noteCheckSucceeded();
    s.recordVerdict(label, startedAt);
    QString line = QStringLiteral("Final nudge check label=") + rawValue(label);
    if (confidence)
        line += QStringLiteral(" P(yes)=") + QString::number(*confidence, 'f', 4);
    s.logCheckEvent(checkID, line);
    s.recordActivity(startedAt, label, judgment.activity, evidence);
    s.storeVerdict(label, evidence);

    s.stopAwaitingClassification();
    switch (label) {
    case ActivityRelevance::Relevant:
        s.setLastDriftAt(std::nullopt);
        s.noteRelevantWindow(evidence);
        s.noteDefiniteVerdict(label);
        s.setLabel(label);
        s.refreshMenuBarBackground();
        s.setStatus(QStringLiteral("Back on track \u00b7 nudge cancelled"));
        s.refreshDriftText();
        break;
    case ActivityRelevance::Uncertain:
        s.setLabel(label);
        s.refreshMenuBarBackground();
        s.setStatus(QStringLiteral("Final check was uncertain \u00b7 staying quiet"));
        break;
    case ActivityRelevance::Unrelated:
        s.noteDefiniteVerdict(label);
        s.setLabel(label);
        s.refreshMenuBarBackground();
        s.noteDriftAt(startedAt);
        s.refreshDriftText();
        co_await yieldToEventLoop();
        if (!*alive)
            co_return;
        if (stillValid()) {
            // A named value: GCC 12 destroys an aggregate temporary passed to a coroutine in a co_await twice.
            NudgeHandOff handOff{judgment.activity, evidence, checkID, generation, intention, token};
            co_await s.handOffNudge(std::move(handOff));
        }
        if (!*alive)
            co_return;
        break;
    }
    m_isPreparingNudge = false;
}

} // namespace tavrine
