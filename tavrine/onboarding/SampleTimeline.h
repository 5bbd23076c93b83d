#pragma once

#include "tavrine/history/SessionTimeline.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"

namespace tavrine::onboarding {

// What the history would make of the rehearsal just played: a stretch of work, the detour, the return and the
// research, from the beats begun. Times are the entries' continuous times, so a change of the wall clock during
// the rehearsal never bends a segment; the timeline starts at the first entry.
SessionTimeline sampleTimeline(const QList<OnboardingRehearsal::Entry>& entered);

} // namespace tavrine::onboarding
