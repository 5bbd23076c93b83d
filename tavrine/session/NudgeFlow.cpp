#include "tavrine/session/NudgeFlow.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/ActivityObserving.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/model/NudgeWriting.h"
#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/session/NudgeCopy.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QJsonDocument>

namespace tavrine {

namespace {

// The one log line of a failed writer call.
QString writerFailureLine(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const NudgeWriterError& error) {
        if (error.kind() == NudgeWriterError::Kind::rejected)
            return QStringLiteral("Nudge copy rejected: invalid format ") + error.text() +
                   QStringLiteral("; using fallback");
    } catch (...) {
    }
    return QStringLiteral("Nudge writing failed ") + errorKindCode(failure) + QStringLiteral("; using fallback");
}

} // namespace

QCoro::Task<void> NudgeFlow::showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                       QString checkID, qint64 generation, QString intention, CancellationToken token) {
    FocusSession& s = m_session;
    const auto alive = s.m_alive;
    const QString fallback = fallbackNudgeText(facts);
    // The speech key is fetched while the sentence is written.
    if (s.m_speaker)
        s.m_speaker->prepareKey();

    QString reason = fallback;
    std::optional<QString> voice;
    QString origin = QStringLiteral("fallback");
    QString prompt;
    if (const auto writer = s.m_nudgeWriter) {
        const double startedAt = s.now();
        if (s.m_logScreenContent) {
            const QString json = QString::fromUtf8(QJsonDocument(facts.toJson()).toJson(QJsonDocument::Compact));
            if (!json.isEmpty())
                logEvidence(s.m_sessionID, checkID, QStringLiteral("nudge-input"), json);
        }
        std::optional<WrittenNudge> written;
        std::exception_ptr failure;
        try {
            written = co_await cancellable(writer->write(facts), token);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!*alive)
            co_return;
        const QString latency = text::shortestDecimal(s.now() - startedAt);
        if (written) {
            if (s.m_logScreenContent && !written->text.isEmpty())
                logEvidence(s.m_sessionID, checkID, QStringLiteral("nudge-writer-output"), written->text);
            s.logCheckEvent(checkID, QStringLiteral("Nudge copy prepared origin=model prompt=%1 latency=%2")
                                         .arg(written->promptVersion, latency));
            reason = written->text;
            voice = written->speech;
            origin = QStringLiteral("model");
            prompt = written->promptVersion;
        } else {
            s.logCheckEvent(checkID, writerFailureLine(failure));
            s.logCheckEvent(checkID, QStringLiteral("Nudge copy prepared origin=fallback prompt= latency=") + latency);
        }
    }

    if (token.isCancelled() || !s.isRunning() || s.m_sessionGeneration != generation || s.m_intention != intention ||
        !s.m_policy.isDue(s.now()))
        co_return;

    s.setPendingNudge(evidence);
    s.setPendingNudgeThief(std::move(thief));
    s.setPendingNudgeReason(reason);
    if (s.m_logScreenContent && !reason.isEmpty())
        logEvidence(s.m_sessionID, checkID, QStringLiteral("nudge-output"), reason);
    s.m_policy.lastNudge = s.now();
    log::notice(logFocus(),
                QStringLiteral("session=%1 check=%2 Nudge shown after final unrelated check copyOrigin=%3 prompt=%4")
                    .arg(s.m_sessionID, checkID, origin, prompt));
    s.setNudges(s.m_nudges + 1);
    openNudge(voice, false);
}

void NudgeFlow::openNudge(std::optional<QString> reason, bool forceVoice) {
    FocusSession& s = m_session;
    s.m_nudgeHold.clear();
    const QString text = reason ? *reason : s.m_pendingNudgeReason;
    if (!s.isRehearsing()) {
        if (s.m_speaker) {
            if (forceVoice)
                s.m_speaker->speakWithForcedVoice(text);
            else
                s.m_speaker->speak(text);
        }
    } else if (s.m_rehearsalSpeaker) {
        s.m_rehearsalSpeaker->speak(text);
    }

    if (s.m_nudgeVoice->isPending()) {
        s.m_nudgeHeldAt = s.now();
        // The slot is busy before the wait starts, so a voice that settles at once finds the hold to release.
        holdForVoice(s.m_nudgeHold.begin(), s.m_alive);
        return;
    }
    s.logSession(QStringLiteral("Nudge opened without a voice"));
    if (s.m_onNudge)
        s.m_onNudge();
}

QCoro::Task<void> NudgeFlow::holdForVoice(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    try {
        co_await m_session.m_clock->sleep(m_session.m_nudgeVoiceWait, ticket.token);
    } catch (const CancelledError&) {
        co_return;
    }
    if (!*alive || ticket.token.isCancelled())
        co_return;
    m_session.releaseNudgeHold();
}

void NudgeFlow::acknowledgeNudge() {
    FocusSession& s = m_session;
    if (!s.isRehearsing()) {
        // A new nudge needs a whole new drift: no cooldown runs, and nothing observed up to now counts.
        s.m_policy.restart(s.now(), true);
        s.setLastDriftAt(std::nullopt);
        s.refreshDriftText();
    }
    s.dismissNudge();
}

void NudgeFlow::returnToWork() {
    FocusSession& s = m_session;
    if (s.isRehearsing()) {
        acknowledgeNudge();
        return;
    }
    const std::optional<ActivityWindowIdentity> workWindow = s.m_lastWorkWindow;
    acknowledgeNudge();
    if (workWindow && s.m_observer)
        s.m_observer->returnToWindow(*workWindow);
}

void NudgeFlow::grantSessionPass() {
    FocusSession& s = m_session;
    if (s.isRehearsing()) {
        s.dismissNudge();
        return;
    }
    if (!s.m_pendingNudge)
        return;
    const ActivityEvidence evidence = *s.m_pendingNudge;
    const std::optional<FocusThief> thief = s.m_pendingNudgeThief;
    const ActivityWindowIdentity window = evidence.windowIdentity();
    s.setLastWorkWindow(window);
    const QString key = window.cacheKey() + evidence.url;
    s.m_windowPasses.insert(key);
    s.m_verdictCache.remove(key);
    s.setCorrectionsCount(s.m_correctionsCount + 1);

    s.noteDefiniteVerdict(ActivityRelevance::Relevant);
    s.setLabel(ActivityRelevance::Relevant);
    s.refreshMenuBarBackground();
    if (!thief) {
        s.setStatus(QStringLiteral("This window is allowed for the rest of this session"));
    } else {
        s.m_sessionPasses.insert(thief->id);
        s.m_currentListHit.reset();
        s.setStatus(thief->name + QStringLiteral(" allowed for the rest of this session"));
        s.logSession(QStringLiteral("Session pass granted id=") + thief->id);
    }
    s.setMonitoringState(MonitoringState::monitoring());
    s.m_policy.record(ActivityRelevance::Relevant, s.now());
    s.m_activityLog.markLastDetourRelated(evidence);
    s.refreshActivityLogItems();
    acknowledgeNudge();
}

} // namespace tavrine
