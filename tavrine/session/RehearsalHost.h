#pragma once

#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/model/MenuBarSessionBackground.h"
#include "tavrine/session/SessionTaskHost.h"

#include <QString>
#include <functional>
#include <optional>

namespace tavrine {

class Clock;
class NudgeVoiceMeter;

// What the rehearsal and the demo drift ask of the session.
class RehearsalHost : public SessionTaskHost {
public:
    // Running or paused.
    virtual bool isActive() const = 0;
    // Seconds left; frozen while paused.
    virtual double remaining() const = 0;
    virtual NudgeVoiceMeter& nudgeVoice() const = 0;
    virtual Clock& clock() const = 0;
    virtual bool isRehearsing() const = 0;
    virtual bool isDemo() const = 0;
    // The session clock plus the whole seconds slept since the start: the time of the activity log.
    virtual double activityLogTime() const = 0;
    virtual void logSession(const QString& message) const = 0;

    // Each notifies only on a real change.
    virtual void setRehearsalIntention(std::optional<QString> intention) = 0;
    virtual void setRemaining(double remaining) = 0;
    virtual void setMenuBarSessionBackground(MenuBarSessionBackground background) = 0;
    virtual void setPendingNudge(std::optional<ActivityEvidence> evidence) = 0;
    virtual void setPendingNudgeReason(const QString& reason) = 0;
    virtual void refreshDriftText() = 0;
    // The counter goes up by one.
    virtual void countNudge() = 0;
    // Changes the activity log and refreshes its rows.
    virtual void changeActivityLog(const std::function<void(SessionActivityLog&)>& change) = 0;

    virtual void recordVerdict(ActivityRelevance label, double t) = 0;
    // Marks the start of the drift the user sees, unless one is already marked.
    virtual void noteDriftAt(double t) = 0;

    // Speaks `reason` (the shown sentence when none) and opens the card, holding it for a voice on its way.
    virtual void openNudge(std::optional<QString> reason, bool forceVoice) = 0;
    // Closes the open nudge.
    virtual void closeNudge() = 0;

protected:
    ~RehearsalHost() = default;
};

} // namespace tavrine
