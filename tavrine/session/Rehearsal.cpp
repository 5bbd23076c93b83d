#include "tavrine/session/Rehearsal.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QUuid>
#include <algorithm>

namespace tavrine {

namespace {
const QString demoKey = QStringLiteral("detour|demo|social");
const QString demoPhrase = QStringLiteral("Scrolled a social feed");
constexpr double demoDetourSeconds = 300;
} // namespace

ActivityEvidence Rehearsal::demoEvidence() {
    ActivityEvidence evidence;
    evidence.app = QStringLiteral("Example browser");
    evidence.bundle = QStringLiteral("demo");
    evidence.title = QStringLiteral("Social feed");
    evidence.text = QStringLiteral("Unrelated social feed example");
    evidence.source = QStringLiteral("Demo");
    evidence.capturePath = QStringLiteral("accessibility");
    return evidence;
}

bool Rehearsal::start(const QString& intention, int minutes, std::shared_ptr<NudgeSpeaking> speaker) {
    RehearsalHost& s = m_session;
    if (s.isActive() || s.isRehearsing())
        return false;
    s.setRehearsalIntention(intention);
    m_speaker = std::move(speaker);
    // The session's meter follows the rehearsal's voice, so the held nudge opens when it begins.
    if (m_speaker)
        m_speaker->setMeter(&s.nudgeVoice());
    s.setRemaining(double(qint64(minutes) * 60));
    countDown(m_clock.begin(), s.alive());
    s.logSession(QStringLiteral("Rehearsal started"));
    return true;
}

void Rehearsal::silence() {
    if (m_speaker)
        m_speaker->stop();
}

void Rehearsal::nudgeClosed() {
    if (m_onNudgeClosed)
        m_onNudgeClosed();
}

QCoro::Task<void> Rehearsal::countDown(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    for (;;) {
        if (ticket.token.isCancelled())
            co_return;
        try {
            co_await m_session.clock().sleep(1.0, ticket.token);
        } catch (const CancelledError&) {
            co_return;
        }
        if (!*alive || ticket.token.isCancelled() || !m_session.isRehearsing())
            co_return;
        m_session.setRemaining(std::max(0.0, m_session.remaining() - 1.0));
    }
}

void Rehearsal::end() {
    RehearsalHost& s = m_session;
    if (!s.isRehearsing())
        return;
    m_clock.clear();
    s.setRehearsalIntention(std::nullopt);
    // The rehearsal is over before its nudge closes, so the rehearsal is not told of that close.
    s.closeNudge();
    m_speaker.reset();
    s.setRemaining(0);
    s.setMenuBarSessionBackground(MenuBarSessionBackground::None);
    s.logSession(QStringLiteral("Rehearsal ended"));
}

void Rehearsal::runDemoDrift() {
    RehearsalHost& s = m_session;
    if (!s.isDemo() || !s.isRunning())
        return;
    s.recordVerdict(ActivityRelevance::Unrelated, s.now());
    s.setPendingNudge(demoEvidence());
    s.setPendingNudgeReason(QStringLiteral("Scrolling a social feed like the proposal will finish itself. Close it "
                                           "and finish the pricing proposal for Acme."));
    s.noteDriftAt(s.now());
    s.refreshDriftText();

    const double c = s.activityLogTime();
    s.changeActivityLog([c](SessionActivityLog& log) {
        QList<SessionLogEntry>& entries = log.entries;
        if (!entries.isEmpty() && !entries.last().endedAt && entries.last().mergeKey == demoKey) {
            SessionLogEntry& open = entries.last();
            open.phrase = demoPhrase;
            open.endedAt = std::max(open.startedAt, c);
        } else {
            log.close(c - demoDetourSeconds);
            entries.append(SessionLogEntry{QUuid::createUuid(), demoKey, demoPhrase, SessionLogKind::Detour,
                                           c - demoDetourSeconds, c, ActivityClues()});
        }
    });
    s.countNudge();
    s.openNudge(std::nullopt, false);
}

} // namespace tavrine
