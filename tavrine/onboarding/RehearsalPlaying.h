#pragma once

#include "tavrine/onboarding/RehearsalVideo.h"

namespace tavrine {

// What the rehearsal stage asks of the video player, beat by beat.
class RehearsalPlaying {
public:
    virtual ~RehearsalPlaying() = default;

    virtual void setCurrent(RehearsalVideo video, bool playing) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // Unloads the clip and ends the page's messages; the player is not used again.
    virtual void teardown() = 0;
};

} // namespace tavrine
