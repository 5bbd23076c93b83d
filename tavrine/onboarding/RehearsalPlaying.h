#pragma once

#include "tavrine/onboarding/OnboardingRehearsal.h"

namespace tavrine::onboarding {

// The video window's player, as the stage drives it beat by beat. The real one also serves the video page
// (a QObject the page binds to); the stage hands it to the page as its "player" when it is one.
class RehearsalPlaying {
public:
    virtual ~RehearsalPlaying() = default;
    // Selects the clip and whether it should play once ready.
    virtual void setCurrent(OnboardingRehearsal::Video video, bool playing) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // Stops everything and lets the page go; the stage calls it once, when it is dismissed.
    virtual void teardown() = 0;
};

// A stage without video: every call does nothing.
class SilentRehearsalPlayer final : public RehearsalPlaying {
public:
    void setCurrent(OnboardingRehearsal::Video, bool) override {}
    void play() override {}
    void pause() override {}
    void teardown() override {}
};

} // namespace tavrine::onboarding
