#pragma once

#include "tavrine/model/ActivityRelevance.h"

#include <optional>

namespace tavrine {

// The drift clock of a running session: decides when the user has drifted long enough and whether the last nudge
// is far enough behind. Times are seconds on the session clock. Every guard is written so that a time that is not
// a number is refused.
struct NudgePolicy {
    double threshold = 45;    // seconds of continuous drift before a normal nudge
    double cooldown = 60;     // seconds after the last nudge before the next normal one
    double fastThreshold = 8; // seconds after the first list hit before a fast-lane nudge
    double fastCooldown = 30; // seconds after the last nudge before the next fast-lane one
    std::optional<double> driftStartedAt;
    std::optional<double> latestUnrelatedAt;
    std::optional<double> listHitAt;
    std::optional<double> lastNudge;
    std::optional<double> lastObservedAt;
    double startedAt = 0;

    // Takes in a verdict observed at t; false when refused as too early or out of order. At the time of the
    // previous observation only a relevant or uncertain verdict is taken.
    bool record(ActivityRelevance label, double t);
    // A hit on the list of known distractions at t: an unrelated observation that also starts the fast lane.
    void recordListHit(double t);
    // An observation at t that gave no verdict; the drift is left as it is.
    void touch(double t);
    bool isDue(double now) const;
    // Starts over from t, keeping the thresholds. With `observed`, t counts as already observed, so that an
    // unrelated verdict stamped with t is refused.
    void restart(double t, bool observed);
};

} // namespace tavrine
