#include "tavrine/session/NudgeFlow.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/model/NudgeWriting.h"
#include "tavrine/model/NudgeWritingFailure.h"
#include "tavrine/session/Cancellable.h"
#include "tavrine/session/NudgeCopy.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QJsonDocument>

namespace tavrine {

namespace {

// The one log line of a failed writer call.
QString writerFailureLine(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const NudgeWritingFailure& error) {
        if (error.failureKind() == NudgeWriterErrorKind::rejected)
            return QStringLiteral("Nudge copy rejected: invalid format ") + error.failureText() +
                   QStringLiteral("; using fallback");
    } catch (...) {
    }
    return QStringLiteral("Nudge writing failed ") + errorKindCode(failure) + QStringLiteral("; using fallback");
}

} // namespace

NudgeFlow::NudgeFlow(NudgeFlowHost& session, std::shared_ptr<NudgeWriting> writer,
                     std::shared_ptr<NudgeSpeaking> speaker)
    : m_session(session), m_writer(std::move(writer)), m_speaker(std::move(speaker)) {
    if (m_speaker)
        m_speaker->setMeter(&m_session.nudgeVoice());
}

void NudgeFlow::shutdown() {
    m_hold.clear();
    if (m_speaker && m_speaker->meter() == &m_session.nudgeVoice())
        m_speaker->setMeter(nullptr);
}

QCoro::Task<void> NudgeFlow::handOff(NudgeHandOff confirmed, const std::function<void()>& announce) {
    m_lastHandOff = confirmed;
    announce();
    NudgeFacts facts = makeNudgeFacts(confirmed.intention, confirmed.activity, confirmed.evidence);
    return showNudge(std::move(facts), std::move(confirmed.evidence), std::nullopt, std::move(confirmed.checkID),
                     confirmed.generation, std::move(confirmed.intention), std::move(confirmed.token));
}

void NudgeFlow::silence() {
    m_hold.clear();
    if (m_speaker)
        m_speaker->stop();
}

void NudgeFlow::releaseHold() {
    NudgeFlowHost& s = m_session;
    if (!m_hold.isPresent())
        return;
    m_hold.clear();
    NudgeVoiceMeter& voice = s.nudgeVoice();
    const QString outcome = voice.revealsWords() ? QStringLiteral("with the voice")
                            : voice.isPending()  ? QStringLiteral("before a late voice")
                                                 : QStringLiteral("after the voice failed");
    voice.setPending(false);
    if (!s.pendingNudge())
        return;
    s.logSession(QStringLiteral("Nudge opened %1 waited=%2").arg(outcome, text::shortestDecimal(s.now() - m_heldAt)));
    s.showNudgeCard();
}

QCoro::Task<void> NudgeFlow::showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                       QString checkID, qint64 generation, QString intention, CancellationToken token) {
    NudgeFlowHost& s = m_session;
    const auto alive = s.alive();
    const QString fallback = fallbackNudgeText(facts);
    // The speech key is fetched while the sentence is written.
    if (m_speaker)
        m_speaker->prepareKey();

    QString reason = fallback;
    std::optional<QString> voice;
    QString origin = QStringLiteral("fallback");
    QString prompt;
    if (const auto writer = m_writer) {
        const double startedAt = s.now();
        if (s.logScreenContent()) {
            const QString json = QString::fromUtf8(QJsonDocument(facts.toJson()).toJson(QJsonDocument::Compact));
            if (!json.isEmpty())
                logEvidence(s.sessionID(), checkID, QStringLiteral("nudge-input"), json);
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
            if (s.logScreenContent() && !written->text.isEmpty())
                logEvidence(s.sessionID(), checkID, QStringLiteral("nudge-writer-output"), written->text);
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

    if (token.isCancelled() || !s.isRunning() || s.generation() != generation || s.intention() != intention ||
        !s.isNudgeDue())
        co_return;

    s.setPendingNudge(evidence);
    m_pendingThief = std::move(thief);
    s.setPendingNudgeReason(reason);
    if (s.logScreenContent() && !reason.isEmpty())
        logEvidence(s.sessionID(), checkID, QStringLiteral("nudge-output"), reason);
    s.noteNudgeShown();
    log::notice(logFocus(),
                QStringLiteral("session=%1 check=%2 Nudge shown after final unrelated check copyOrigin=%3 prompt=%4")
                    .arg(s.sessionID(), checkID, origin, prompt));
    s.countNudge();
    openNudge(voice, false);
}

void NudgeFlow::openNudge(std::optional<QString> reason, bool forceVoice) {
    NudgeFlowHost& s = m_session;
    m_hold.clear();
    const QString text = reason ? *reason : s.pendingNudgeReason();
    if (!s.isRehearsing()) {
        if (m_speaker) {
            if (forceVoice)
                m_speaker->speakWithForcedVoice(text);
            else
                m_speaker->speak(text);
        }
    } else if (NudgeSpeaking* rehearsalSpeaker = s.rehearsalSpeaker()) {
        rehearsalSpeaker->speak(text);
    }

    if (s.nudgeVoice().isPending()) {
        m_heldAt = s.now();
        // The slot is busy before the wait starts, so a voice that settles at once finds the hold to release.
        holdForVoice(m_hold.begin(), s.alive());
        return;
    }
    s.logSession(QStringLiteral("Nudge opened without a voice"));
    s.showNudgeCard();
}

QCoro::Task<void> NudgeFlow::holdForVoice(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    try {
        co_await m_session.clock().sleep(m_voiceWait, ticket.token);
    } catch (const CancelledError&) {
        co_return;
    }
    if (!*alive || ticket.token.isCancelled())
        co_return;
    releaseHold();
}

void NudgeFlow::acknowledgeNudge() {
    NudgeFlowHost& s = m_session;
    if (!s.isRehearsing()) {
        // A new nudge needs a whole new drift: no cooldown runs, and nothing observed up to now counts.
        s.restartDriftClock(true);
        s.setLastDriftAt(std::nullopt);
        s.refreshDriftText();
    }
    s.closeNudge();
}

void NudgeFlow::returnToWork() {
    NudgeFlowHost& s = m_session;
    if (s.isRehearsing()) {
        acknowledgeNudge();
        return;
    }
    const std::optional<ActivityWindowIdentity> workWindow = s.lastWorkWindow();
    acknowledgeNudge();
    if (workWindow)
        s.returnToWindow(*workWindow);
}

void NudgeFlow::grantSessionPass() {
    NudgeFlowHost& s = m_session;
    if (s.isRehearsing()) {
        s.closeNudge();
        return;
    }
    if (!s.pendingNudge())
        return;
    const ActivityEvidence evidence = *s.pendingNudge();
    const std::optional<FocusThief> thief = m_pendingThief;
    const ActivityWindowIdentity window = evidence.windowIdentity();
    s.setLastWorkWindow(window);
    s.grantWindowPass(window.cacheKey() + evidence.url);
    s.countCorrection();

    s.noteDefiniteVerdict(ActivityRelevance::Relevant);
    s.setLabel(ActivityRelevance::Relevant);
    s.refreshMenuBarBackground();
    if (!thief) {
        s.setStatus(QStringLiteral("This window is allowed for the rest of this session"));
    } else {
        s.grantThiefPass(thief->id);
        s.setStatus(thief->name + QStringLiteral(" allowed for the rest of this session"));
        s.logSession(QStringLiteral("Session pass granted id=") + thief->id);
    }
    s.setMonitoringState(MonitoringState::monitoring());
    s.recordVerdict(ActivityRelevance::Relevant, s.now());
    s.changeActivityLog([&evidence](SessionActivityLog& log) { log.markLastDetourRelated(evidence); });
    acknowledgeNudge();
}

} // namespace tavrine
