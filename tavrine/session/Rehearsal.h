#pragma once

#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <memory>

namespace tavrine {

class FocusSession;
class NudgeSpeaking;

// Showing the session's behaviour without real monitoring. The onboarding rehearsal gets a countdown that ticks
// once a second but no deadline, capture or judging, while its script drives the tint and the nudge; the demo
// drift fabricates one detour and its nudge in a running demo session.
class Rehearsal {
public:
    explicit Rehearsal(FocusSession& session) : m_session(session) {}

    // False, changing nothing, while a session is running or paused or another rehearsal runs.
    bool start(const QString& intention, int minutes, std::shared_ptr<NudgeSpeaking> speaker);
    // Does nothing unless a rehearsal runs.
    void end();
    // Does nothing unless the session was made in demo mode and is running.
    void runDemoDrift();

    // What the demo drift's nudge is about.
    static ActivityEvidence demoEvidence();

private:
    QCoro::Task<void> countDown(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);

    FocusSession& m_session;
};

} // namespace tavrine
