#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/NudgeFacts.h"
#include "tavrine/session/FocusThief.h"
#include "tavrine/session/NudgeFlowHost.h"
#include "tavrine/session/NudgeHandOff.h"
#include "tavrine/session/TaskSlot.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine {

class NudgeSpeaking;
class NudgeWriting;

// Turns a confirmed detour into a nudge the user sees and hears, and takes the user's answer to it. The sentence
// comes from the nudge writer, or from the local fallback when there is none or it fails; the card opens when
// the voice begins, or at the latest `nudgeVoiceWait` after it was asked for.
//
// Owns the nudge writer and the session's speaker, the hold that keeps the card closed until the voice begins, the
// distraction of the open nudge and the last hand-off. Reaches the session only through `NudgeFlowHost`.
class NudgeFlow {
public:
    NudgeFlow(NudgeFlowHost& session, std::shared_ptr<NudgeWriting> writer, std::shared_ptr<NudgeSpeaking> speaker);

    // The drift the final check confirmed: kept as the last hand-off, then written and shown. `announce` is
    // told once the hand-off is kept.
    QCoro::Task<void> handOff(NudgeHandOff confirmed, const std::function<void()>& announce);

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

    // The voice began, or the wait for it ran out: the held nudge opens.
    void releaseHold();
    // The card waits for the voice.
    bool isHolding() const { return m_hold.isPresent(); }
    // The nudge closes: no hold, no voice, no distraction.
    void silence();
    void forgetThief() { m_pendingThief.reset(); }
    // The session is going away.
    void shutdown();

    NudgeSpeaking* speaker() const { return m_speaker.get(); }
    const std::optional<FocusThief>& pendingThief() const { return m_pendingThief; }
    const std::optional<NudgeHandOff>& lastHandOff() const { return m_lastHandOff; }

private:
    QCoro::Task<void> holdForVoice(TaskSlot::Ticket ticket, std::shared_ptr<bool> alive);

    NudgeFlowHost& m_session;
    std::shared_ptr<NudgeWriting> m_writer;
    std::shared_ptr<NudgeSpeaking> m_speaker;
    TaskSlot m_hold;
    double m_heldAt = 0;
    // The longest the card waits for its voice.
    double m_voiceWait = 2.0;
    std::optional<FocusThief> m_pendingThief;
    std::optional<NudgeHandOff> m_lastHandOff;
};

} // namespace tavrine
