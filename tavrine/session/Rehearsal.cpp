#include "tavrine/session/Rehearsal.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/model/NudgeSpeaking.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/session/NudgeFlow.h"

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
    FocusSession& s = m_session;
    if (s.isActive() || s.isRehearsing())
        return false;
    s.setRehearsalIntention(intention);
    s.m_rehearsalSpeaker = std::move(speaker);
    // The session's meter follows the rehearsal's voice, so the held nudge opens when it begins.
    if (s.m_rehearsalSpeaker)
        s.m_rehearsalSpeaker->setMeter(s.m_nudgeVoice);
    s.setRemaining(double(qint64(minutes) * 60));
    countDown(s.m_rehearsalClock.begin(), s.m_alive);
    s.logSession(QStringLiteral("Rehearsal started"));
    return true;
}

QCoro::Task<void> Rehearsal::countDown(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive) {
    for (;;) {
        if (ticket.token.isCancelled())
            co_return;
        try {
            co_await m_session.m_clock->sleep(1.0, ticket.token);
        } catch (const CancelledError&) {
            co_return;
        }
        if (!*alive || ticket.token.isCancelled() || !m_session.isRehearsing())
            co_return;
        m_session.setRemaining(std::max(0.0, m_session.m_remaining - 1.0));
    }
}

void Rehearsal::end() {
    FocusSession& s = m_session;
    if (!s.isRehearsing())
        return;
    s.m_rehearsalClock.clear();
    s.setRehearsalIntention(std::nullopt);
    // The rehearsal is over before its nudge closes, so the rehearsal is not told of that close.
    s.dismissNudge();
    s.m_rehearsalSpeaker.reset();
    s.setRemaining(0);
    s.setMenuBarSessionBackground(MenuBarSessionBackground::None);
    s.logSession(QStringLiteral("Rehearsal ended"));
}

void Rehearsal::runDemoDrift() {
    FocusSession& s = m_session;
    if (!s.m_demo || !s.isRunning())
        return;
    s.m_policy.record(ActivityRelevance::Unrelated, s.now());
    s.setPendingNudge(demoEvidence());
    s.setPendingNudgeReason(QStringLiteral("Scrolling a social feed like the proposal will finish itself. Close it "
                                           "and finish the pricing proposal for Acme."));
    s.noteDriftAt(s.now());
    s.refreshDriftText();

    const double c = s.activityLogTime();
    QList<SessionLogEntry>& entries = s.m_activityLog.entries;
    if (!entries.isEmpty() && !entries.last().endedAt && entries.last().mergeKey == demoKey) {
        SessionLogEntry& open = entries.last();
        open.phrase = demoPhrase;
        open.endedAt = std::max(open.startedAt, c);
    } else {
        s.m_activityLog.close(c - demoDetourSeconds);
        entries.append(SessionLogEntry{QUuid::createUuid(), demoKey, demoPhrase, SessionLogKind::Detour,
                                       c - demoDetourSeconds, c, ActivityClues()});
    }
    s.refreshActivityLogItems();
    s.setNudges(s.m_nudges + 1);
    s.m_nudgeFlow->openNudge(std::nullopt, false);
}

} // namespace tavrine
