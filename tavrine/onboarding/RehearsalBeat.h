#pragma once

#include "tavrine/onboarding/OnboardingRehearsal.h"

namespace tavrine::onboarding {

// The seven steps of the staged rehearsal; views receive the raw value as an int.
using RehearsalBeat = OnboardingRehearsal::Beat;

inline constexpr int rehearsalBeatCount = 7;
static_assert(int(RehearsalBeat::Finished) == rehearsalBeatCount - 1);

// The beat of a raw value clamped into 0...6, for views that take the beat as an int.
inline RehearsalBeat beatFromInt(int raw) {
    return static_cast<RehearsalBeat>(raw < 0 ? 0 : raw >= rehearsalBeatCount ? rehearsalBeatCount - 1 : raw);
}

} // namespace tavrine::onboarding
