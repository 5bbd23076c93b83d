#include "tavrine/session/ObservationQueue.h"

#include "tavrine/core/Error.h"
#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceDiagnostics.h"

namespace tavrine {

namespace {
const QString dueDropMessage = QStringLiteral("Dropped queued observation because a nudge is due");

QString statusFor(ActivityRelevance label, bool focusMode) {
    switch (label) {
    case ActivityRelevance::Relevant:
        return focusMode ? QStringLiteral("This looks like work")
                         : QStringLiteral("This looks connected to your intention");
    case ActivityRelevance::Unrelated:
        return QStringLiteral("This may be a detour \u00b7 giving you a moment");
    case ActivityRelevance::Uncertain:
        break;
    }
    return QStringLiteral("Not enough context to judge \u00b7 staying quiet");
}

bool isCancellation(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.isCancellation();
    } catch (...) {
    }
    return false;
}
} // namespace

void ObservationQueue::enqueue(ActivitySnapshot snapshot) {
    ObservationQueueHost& s = m_session;
    if (s.isNudgeDue()) {
        s.countDiscardedCheck();
        s.logCheckEvent(snapshot.checkID, dueDropMessage);
        s.checkNudgeDue();
        return;
    }
    if (!m_evaluation.isPresent()) {
        startEvaluation(std::move(snapshot));
        return;
    }
    if (m_pending) {
        s.countDiscardedCheck();
        s.logCheckEvent(snapshot.checkID, QStringLiteral("Coalesced an older pending observation"));
    }
    const bool current = snapshot.activityRevision == s.activityRevision();
    m_pending = std::move(snapshot);
    if (current) {
        s.setStatus(QStringLiteral("Latest activity queued for checking"));
        s.setMonitoringState(MonitoringState::checking());
    }
}

void ObservationQueue::dropPendingSnapshotIfDue() {
    ObservationQueueHost& s = m_session;
    if (!m_pending || !s.isNudgeDue())
        return;
    s.countDiscardedCheck();
    s.logCheckEvent(m_pending->checkID, dueDropMessage);
    m_pending.reset();
}

void ObservationQueue::halt() {
    m_evaluation.clear();
    m_active.reset();
    m_pending.reset();
}

void ObservationQueue::forgetEvaluationUnlessSameContent(const ActivityEvidence& evidence) {
    if (!m_latestEvaluation || m_latestEvaluation->snapshot.evidence.hasSameContent(evidence))
        return;
    m_latestEvaluation.reset();
    m_session.setLabel(std::nullopt);
    m_session.refreshMenuBarBackground();
}

void ObservationQueue::storeVerdict(ActivityRelevance label, const ActivityEvidence& evidence) {
    m_verdictCache.store(label, m_session.lastConfidence(), evidence, m_session.now());
}

std::optional<ActivityRelevance> ObservationQueue::knownWindowVerdict(const ActivityWindowIdentity& identity) const {
    const QString key = identity.cacheKey();
    for (const QString& pass : std::as_const(m_windowPasses)) {
        if (pass.startsWith(key))
            return ActivityRelevance::Relevant;
    }
    return m_verdictCache.agreedLabel(key, m_session.now());
}

void ObservationQueue::grantWindowPass(const QString& key) {
    m_windowPasses.insert(key);
    m_verdictCache.remove(key);
}

void ObservationQueue::clearVerdicts() {
    m_verdictCache.clear();
    m_windowPasses.clear();
}

void ObservationQueue::startEvaluation(ActivitySnapshot snapshot) {
    m_active = snapshot;
    // The slot is busy before the body runs: a decision that needs no await finishes inside this call.
    const auto ticket = m_evaluation.begin();
    evaluate(std::move(snapshot), ticket, m_session.alive());
}

QCoro::Task<void> ObservationQueue::evaluate(ActivitySnapshot snapshot, TaskSlot::Ticket ticket,
                                             std::shared_ptr<bool> alive) {
    try {
        co_await decide(snapshot, ticket.token);
    } catch (...) {
        // Nobody awaits this task: a failure is reported here and must not stall the queue.
        if (*alive)
            m_session.logUnexpectedFailure(QStringLiteral("Evaluation"), std::current_exception());
    }
    if (*alive)
        finishEvaluation(snapshot, ticket.id);
}

QCoro::Task<void> ObservationQueue::decide(ActivitySnapshot snapshot, CancellationToken token) {
    ObservationQueueHost& s = m_session;
    const auto alive = s.alive();
    if (!s.isRunning() || snapshot.sessionGeneration != s.generation())
        co_return;
    const ActivityEvidence& evidence = snapshot.evidence;
    const double t = s.now();

    ActivityRelevance label = ActivityRelevance::Uncertain;
    QString activity;
    QString origin;
    if (m_windowPasses.contains(VerdictCache::key(evidence))) {
        s.logCheckEvent(snapshot.checkID, QStringLiteral("Decision origin=session-correction"));
        label = ActivityRelevance::Relevant;
        origin = QStringLiteral("session-correction");
    } else if (const auto cached = m_verdictCache.lookup(evidence, t)) {
        s.logCheckEvent(snapshot.checkID, QStringLiteral("Decision origin=verdict-cache"));
        label = *cached;
        origin = QStringLiteral("verdict-cache");
    } else {
        s.logCheckEvent(snapshot.checkID, QStringLiteral("Decision origin=model"));
        s.setIsJudging(true);
        if (snapshot.activityRevision == s.activityRevision()) {
            s.setStatus(QStringLiteral("Checking relevance"));
            s.setMonitoringState(MonitoringState::checking());
        }
        std::exception_ptr failure;
        ActivityJudgment judgment;
        try {
            judgment =
                co_await s.classify(s.intention(), evidence,
                                    s.earlyLabelCallback(snapshot.sessionGeneration, snapshot.activityRevision), token);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!*alive)
            co_return;
        s.setIsJudging(false);
        if (failure) {
            modelFailed(snapshot, failure, token);
            co_return;
        }
        label = judgment.label;
        activity = judgment.activity;
        origin = QStringLiteral("model");
    }

    if (!s.isRunning() || snapshot.sessionGeneration != s.generation()) {
        s.countDiscardedCheck();
        s.logCheckEvent(snapshot.checkID,
                        QStringLiteral("DECISION label=%1 origin=%2 accepted=false reason=session-ended")
                            .arg(rawValue(label), origin));
        co_return;
    }

    const bool fromModel = origin == QLatin1String("model");
    const auto confidence = fromModel ? s.lastConfidence() : std::nullopt;
    s.countCheck();
    s.setLatency(s.now() - t);
    s.setLastExplanation(QString());
    QString explanation = QStringLiteral("label: ") + rawValue(label);
    if (confidence)
        explanation += QStringLiteral("\nP(yes): ") + QString::number(*confidence, 'f', 4);
    // The work note describes the classifier's last judgment: it belongs to this decision only when the
    // classifier made it.
    const auto note = fromModel ? s.lastWorkNote() : std::nullopt;
    if (note && !note->isEmpty())
        explanation += QLatin1Char('\n') + *note;
    if (s.logScreenContent())
        logEvidence(s.sessionID(), snapshot.checkID, QStringLiteral("judge-output"), explanation);

    s.noteCheckSucceeded();
    s.recordVerdict(label, snapshot.observedAt);
    s.rememberDefiniteTint(label);
    if (fromModel)
        storeVerdict(label, evidence);
    if (label == ActivityRelevance::Relevant) {
        s.setLastDriftAt(std::nullopt);
        s.refreshDriftText();
        s.noteRelevantWindow(evidence);
    } else if (label == ActivityRelevance::Unrelated) {
        s.noteDriftAt(snapshot.observedAt);
        s.refreshDriftText();
    }
    s.setDiagnostic(QStringLiteral("Accepted %1 judgment from queued snapshot").arg(rawValue(label)));

    const bool current = snapshot.activityRevision == s.activityRevision();
    const NudgePolicy& driftClock = s.driftClock();
    const double drift = driftClock.driftStartedAt ? s.now() - *driftClock.driftStartedAt : 0.0;
    QString line = QStringLiteral("DECISION label=%1 origin=%2 accepted=true latency=%3 historical=%4 "
                                  "driftSeconds=%5 policy=drift-v4")
                       .arg(rawValue(label), origin, text::shortestDecimal(s.latency()), current ? u"false" : u"true",
                            QString::number(std::max<qint64>(0, wholeNumber(drift))));
    if (confidence)
        line += QStringLiteral(" P(yes)=") + QString::number(*confidence, 'f', 4);
    s.logCheckEvent(snapshot.checkID, line);

    if (current) {
        s.noteDefiniteVerdict(label);
        s.setLabel(label);
        s.refreshMenuBarBackground();
        // Kept only to compare later captures' content with, for as long as the verdict stands: the screenshot is
        // never read again, and its pixels (megabytes for a large window) would stay in memory all that time.
        m_latestEvaluation = EvaluatedActivity{snapshot, ActivityJudgment{label, activity}};
        m_latestEvaluation->snapshot.evidence.imagePNG.reset();
        s.recordActivity(snapshot.observedAt, label, activity, evidence);
        s.setStatus(statusFor(label, s.isFocusSession()));
    }
    dropPendingSnapshotIfDue();
    co_await s.runFinalCheck(token);
}

void ObservationQueue::modelFailed(const ActivitySnapshot& snapshot, std::exception_ptr error,
                                   const CancellationToken& token) {
    ObservationQueueHost& s = m_session;
    s.setIsJudging(false);
    const QString text = describeErrorForLog(error);
    const QString code = errorKindCode(error);
    const QString reason = errorReason(error);
    if (s.logScreenContent() && !text.isEmpty())
        logEvidence(s.sessionID(), snapshot.checkID, QStringLiteral("judge-error"), text);
    if (isCancellation(error) || token.isCancelled() || snapshot.sessionGeneration != s.generation()) {
        s.logCheckEvent(snapshot.checkID, QStringLiteral("Evaluation cancelled because the focus session ended"));
        return;
    }
    s.logCheckEvent(snapshot.checkID,
                    QStringLiteral("Inference failed ") + code + (reason.isEmpty() ? QString() : ": " + reason), true);
    if (snapshot.activityRevision != s.activityRevision())
        return;
    s.noteObservation(snapshot.observedAt);
    s.setDiagnostic(QStringLiteral("Inference failed (%1)").arg(text));
    s.setLastExplanation(text);
    s.setLabel(std::nullopt);
    s.refreshMenuBarBackground();
    s.setStatus(QStringLiteral("Couldn\u2019t judge this activity \u00b7 staying quiet"));
    const QString failed = QStringLiteral("Couldn\u2019t check this activity.");
    s.setMonitoringState(MonitoringState::checkFailed(reason.isEmpty() ? failed : failed + QLatin1Char(' ') + reason));
}

void ObservationQueue::finishEvaluation(const ActivitySnapshot& snapshot, quint64 taskID) {
    ObservationQueueHost& s = m_session;
    if (!m_active || m_active->id != snapshot.id)
        return;
    m_active.reset();
    m_evaluation.finish(taskID);
    if (!s.isRunning())
        return;
    if (s.isNudgeDue()) {
        dropPendingSnapshotIfDue();
    } else if (m_pending) {
        ActivitySnapshot next = std::move(*m_pending);
        m_pending.reset();
        startEvaluation(std::move(next));
        return;
    }
    if (s.monitoringState().kind == MonitoringState::Kind::Checking)
        s.setMonitoringState(MonitoringState::monitoring());
    s.checkNudgeDue();
}

} // namespace tavrine
