#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/NudgeFacts.h"
#include "tavrine/session/FocusThief.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <memory>
#include <optional>

namespace tavrine {

class FocusSession;

// Turns a confirmed detour into a nudge the user sees and hears, and takes the user's answer to it. The sentence
// comes from the nudge writer, or from the local fallback when there is none or it fails; the card opens when
// the voice begins, or at the latest `nudgeVoiceWait` after it was asked for.
class NudgeFlow {
public:
    explicit NudgeFlow(FocusSession& session) : m_session(session) {}

    // Writes the sentence and shows the nudge, unless the check that asked for it went stale meanwhile (the
    // token cancelled, the session no longer running, restarted or re-aimed) or the drift clock is no longer
    // due. `thief` names the distraction of a fast-lane nudge.
    QCoro::Task<void> showNudge(NudgeFacts facts, ActivityEvidence evidence, std::optional<FocusThief> thief,
                                QString checkID, qint64 generation, QString intention, CancellationToken token);
    // Speaks `reason` (the shown sentence when none) and opens the card, holding it for a voice on its way.
    void openNudge(std::optional<QString> reason, bool forceVoice);

    // The answers to an open nudge.
    void acknowledgeNudge();
    void returnToWork();
    void grantSessionPass();

private:
    QCoro::Task<void> holdForVoice(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);

    FocusSession& m_session;
};

} // namespace tavrine
