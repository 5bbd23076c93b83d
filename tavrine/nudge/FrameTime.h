#pragma once

#include <QTimer>

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

// The timer that drives an animated view's frames: precise, every 16 ms unless asked otherwise.
class FrameTimer : public QTimer {
public:
    explicit FrameTimer(int intervalMs = 16) {
        setInterval(intervalMs);
        setTimerType(Qt::PreciseTimer);
    }
    // Starts or stops it to match `run`; true when that changed, so that the view can say so.
    bool setRunning(bool run);
};

} // namespace tavrine::nudge
