#pragma once

namespace tavrine::onboarding {

// The seven steps of the staged rehearsal, by raw value; views receive the raw value as an int.
enum class RehearsalBeat : int { working = 0, tempted, drifting, nudged, returned, researching, finished };

inline constexpr int rehearsalBeatCount = 7;

// The beat of a raw value clamped into 0...6, for views that take the beat as an int.
inline RehearsalBeat beatFromInt(int raw) {
    return static_cast<RehearsalBeat>(raw < 0 ? 0 : raw >= rehearsalBeatCount ? rehearsalBeatCount - 1 : raw);
}

} // namespace tavrine::onboarding
