#pragma once

namespace tavrine {
class Clock;
}

namespace tavrine::nudge {

// The time the nudge's animated views draw at, in seconds on the session clock. The system clock unless a
// test or the render program puts another in its place.
class FrameTime {
public:
    static double now();
    // Draw on `clock` from now on; null goes back to the system clock.
    static void use(const Clock* clock);
};

} // namespace tavrine::nudge
