#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/session/FinalNudgeCheckHost.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <memory>

namespace tavrine {

// A nudge is never shown on the verdict that made the drift clock due: once it is due, the session captures
// the frontmost window again and has it judged once more. Only an unrelated verdict goes on to the nudge; a
// relevant one ends the drift, an uncertain one stays quiet, and an unreadable screen or a failed judgment
// postpone the nudge to the next due check.
//
// Owns the verification task and the "preparing a nudge" mark. Reaches the session only through `FinalNudgeCheckHost`.
class FinalNudgeCheck {
public:
    explicit FinalNudgeCheck(FinalNudgeCheckHost& session) : m_session(session) {}

    // Starts the verification task when nothing is being judged or verified and a nudge is due.
    void checkNudgeDue();
    // The verification itself: the focus-mode fast lane when it is due, else the final check. `token` is the
    // cancellation of the task it runs in.
    QCoro::Task<void> run(CancellationToken token);
    // Cancels the verification task and forgets it.
    void halt() { m_verification.clear(); }
    // A nudge is being verified or written: no other check starts meanwhile.
    bool isPreparingNudge() const { return m_isPreparingNudge; }

private:
    QCoro::Task<void> verify(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);
    bool fastLaneIsDue(double now) const;

    FinalNudgeCheckHost& m_session;
    TaskSlot m_verification;
    bool m_isPreparingNudge = false;
};

} // namespace tavrine
