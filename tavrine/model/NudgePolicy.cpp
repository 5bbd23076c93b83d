#include "tavrine/model/NudgePolicy.h"

namespace tavrine {

// The guards test the accepting condition and negate it, so that a comparison with NaN (always false) refuses.

bool NudgePolicy::record(ActivityRelevance label, double t) {
    if (!(t >= startedAt))
        return false;
    if (lastObservedAt && !(t > *lastObservedAt)) {
        const bool sameTime = t == *lastObservedAt;
        if (!(sameTime && label != ActivityRelevance::Unrelated))
            return false;
    }
    lastObservedAt = t;
    switch (label) {
    case ActivityRelevance::Relevant:
        driftStartedAt.reset();
        latestUnrelatedAt.reset();
        listHitAt.reset();
        break;
    case ActivityRelevance::Unrelated:
        if (!driftStartedAt)
            driftStartedAt = t;
        latestUnrelatedAt = t;
        break;
    case ActivityRelevance::Uncertain:
        break;
    }
    return true;
}

void NudgePolicy::recordListHit(double t) {
    if (!(t >= startedAt))
        return;
    if (lastObservedAt && !(t > *lastObservedAt))
        return;
    lastObservedAt = t;
    if (!driftStartedAt)
        driftStartedAt = t;
    latestUnrelatedAt = t;
    if (!listHitAt)
        listHitAt = t;
}

void NudgePolicy::touch(double t) {
    if (!(t >= startedAt))
        return;
    if (lastObservedAt && !(t >= *lastObservedAt))
        return;
    lastObservedAt = t;
}

bool NudgePolicy::isDue(double now) const {
    if (!driftStartedAt)
        return false;
    if (listHitAt && now >= *listHitAt && now - *listHitAt >= fastThreshold) {
        if (!lastNudge || now - *lastNudge >= fastCooldown)
            return true;
        // Still inside the fast cooldown: the normal lane decides.
    }
    if (!(now >= *driftStartedAt && now - *driftStartedAt >= threshold))
        return false;
    return !lastNudge || now - *lastNudge >= cooldown;
}

void NudgePolicy::restart(double t, bool observed) {
    startedAt = t;
    driftStartedAt.reset();
    latestUnrelatedAt.reset();
    listHitAt.reset();
    lastNudge.reset();
    if (observed)
        lastObservedAt = t;
    else
        lastObservedAt.reset();
}

} // namespace tavrine
