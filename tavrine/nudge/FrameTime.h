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

// A move from one value, begun at a frame time and stepped on every frame until it is stopped.
class FrameMotion {
public:
    // `step` runs on each frame, as a slot of `owner`.
    template <typename Step>
    FrameMotion(QObject* owner, Step step) {
        QObject::connect(&m_timer, &QTimer::timeout, owner, std::move(step));
    }

    // Begins a move from `from` at the frame time now.
    void start(double from);
    void stop() { m_timer.stop(); }
    bool running() const { return m_timer.isActive(); }
    double from() const { return m_from; }
    // Seconds on the frame clock since the move began.
    double elapsed() const { return FrameTime::now() - m_startedAt; }

private:
    FrameTimer m_timer;
    double m_from = 0;
    double m_startedAt = 0;
};

} // namespace tavrine::nudge
