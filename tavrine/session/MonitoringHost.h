#pragma once

#include "tavrine/model/ActivityRelevance.h"
#include "tavrine/session/MonitoringState.h"
#include "tavrine/session/SessionTaskHost.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace tavrine {

// What the roles that check the frontmost activity and show their verdict share: the capture pass, the
// observation queue, the final nudge check, focus mode and the nudge flow.
class MonitoringHost : public SessionTaskHost {
public:
    // Raised by every start, resume and halt: a task that began under another generation is stale.
    virtual qint64 generation() const = 0;
    // A line on the "Focus" category about one check.
    virtual void logCheckEvent(const QString& check, const QString& message, bool error = false) const = 0;

    // Each notifies only on a real change.
    virtual void setStatus(const QString& status) = 0;
    virtual void setMonitoringState(const MonitoringState& state) = 0;
    virtual void setLabel(std::optional<ActivityRelevance> label) = 0;
    virtual void refreshMenuBarBackground() = 0;
    // A definite verdict tints the menu bar and ends the wait for a verdict after a drift.
    virtual void noteDefiniteVerdict(ActivityRelevance label) = 0;

protected:
    ~MonitoringHost() = default;
};

} // namespace tavrine
