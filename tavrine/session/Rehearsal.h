#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/session/RehearsalHost.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>
#include <memory>

namespace tavrine {

class NudgeSpeaking;

// Showing the session's behaviour without real monitoring. The onboarding rehearsal gets a countdown that ticks
// once a second but no deadline, capture or judging, while its script drives the tint and the nudge; the demo
// drift fabricates one detour and its nudge in a running demo session.
//
// Owns the rehearsal's voice, its countdown task and the hook told when its nudge closes. Reaches the session only
// through `RehearsalHost`.
class Rehearsal {
public:
    explicit Rehearsal(RehearsalHost& session) : m_session(session) {}

    // False, changing nothing, while a session is running or paused or another rehearsal runs.
    bool start(const QString& intention, int minutes, std::shared_ptr<NudgeSpeaking> speaker);
    // Does nothing unless a rehearsal runs.
    void end();
    // Does nothing unless the session was made in demo mode and is running.
    void runDemoDrift();

    // The voice of the running rehearsal; none outside one.
    NudgeSpeaking* speaker() const { return m_speaker.get(); }
    void setOnNudgeClosed(std::function<void()> callback) { m_onNudgeClosed = std::move(callback); }
    // The rehearsal's nudge closed: its voice stops and the rehearsal hears of it.
    void silence();
    void nudgeClosed();
    // The session is going away.
    void shutdown() { m_clock.clear(); }

    // What the demo drift's nudge is about.
    static ActivityEvidence demoEvidence();

private:
    QCoro::Task<void> countDown(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);

    RehearsalHost& m_session;
    std::shared_ptr<NudgeSpeaking> m_speaker;
    TaskSlot m_clock;
    std::function<void()> m_onNudgeClosed;
};

} // namespace tavrine
