#pragma once

#include "tavrine/onboarding/RehearsalVideo.h"

namespace tavrine {

// The video window's player, as the stage drives it beat by beat. The real one also serves the video page
// (a QObject the page binds to); the stage hands it to the page as its "player" when it is one.
class RehearsalPlaying {
public:
    virtual ~RehearsalPlaying() = default;
    // Selects the clip and whether it should play once ready.
    virtual void setCurrent(RehearsalVideo video, bool playing) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // Unloads the clip and ends the page's messages; the stage calls it once, when it is dismissed, and the
    // player is not used again.
    virtual void teardown() = 0;
};

// A stage without video: every call does nothing.
class SilentRehearsalPlayer final : public RehearsalPlaying {
public:
    void setCurrent(RehearsalVideo, bool) override {}
    void play() override {}
    void pause() override {}
    void teardown() override {}
};

} // namespace tavrine
