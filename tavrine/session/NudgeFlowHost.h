#pragma once

#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/ActivityWindowIdentity.h"
#include "tavrine/session/MonitoringHost.h"

#include <QString>
#include <functional>
#include <optional>

namespace tavrine {

class Clock;
class NudgeSpeaking;
class NudgeVoiceMeter;

// What the nudge flow asks of the session.
class NudgeFlowHost : public MonitoringHost {
public:
    virtual QString intention() const = 0;
    // The evidence the open nudge is about, and its sentence.
    virtual const std::optional<ActivityEvidence>& pendingNudge() const = 0;
    virtual QString pendingNudgeReason() const = 0;
    // The last window judged relevant: what "back to work" raises.
    virtual const std::optional<ActivityWindowIdentity>& lastWorkWindow() const = 0;
    // Screen content may go to the diagnostics log.
    virtual bool logScreenContent() const = 0;
    virtual NudgeVoiceMeter& nudgeVoice() const = 0;
    virtual Clock& clock() const = 0;
    virtual bool isRehearsing() const = 0;
    virtual QString sessionID() const = 0;
    virtual void logSession(const QString& message) const = 0;

    // Each notifies only on a real change.
    virtual void setPendingNudge(std::optional<ActivityEvidence> evidence) = 0;
    virtual void setPendingNudgeReason(const QString& reason) = 0;
    virtual void setLastWorkWindow(std::optional<ActivityWindowIdentity> window) = 0;
    virtual void setLastDriftAt(std::optional<double> at) = 0;
    virtual void refreshDriftText() = 0;
    // The counters go up by one.
    virtual void countNudge() = 0;
    virtual void countCorrection() = 0;
    // Changes the activity log and refreshes its rows.
    virtual void changeActivityLog(const std::function<void(SessionActivityLog&)>& change) = 0;

    // --- The drift clock ---
    // The drift clock says a nudge is due now.
    virtual bool isNudgeDue() const = 0;
    virtual void recordVerdict(ActivityRelevance label, double t) = 0;
    // Starts over; `acknowledged` also forgets the cooldown of the last nudge.
    virtual void restartDriftClock(bool acknowledged) = 0;
    virtual void noteNudgeShown() = 0;

    // --- Services and the shell's hooks ---
    virtual void returnToWindow(const ActivityWindowIdentity& window) = 0;
    // The rehearsal's voice while a rehearsal runs.
    virtual NudgeSpeaking* rehearsalSpeaker() const = 0;
    // The nudge card opens (or shows again).
    virtual void showNudgeCard() = 0;
    // Closes the open nudge.
    virtual void closeNudge() = 0;

    // --- Steps of other roles ---
    // The window and page of this key are relevant for the rest of the session.
    virtual void grantWindowPass(const QString& key) = 0;
    // The user allowed this distraction for the rest of the session.
    virtual void grantThiefPass(const QString& thiefID) = 0;

protected:
    ~NudgeFlowHost() = default;
};

} // namespace tavrine
