#include "tavrine/nudge/FrameTime.h"

#include "tavrine/core/Clock.h"

namespace tavrine::nudge {

namespace {
const Clock* g_clock = nullptr;
}

double FrameTime::now() {
    return (g_clock ? *g_clock : Clock::system()).now();
}

void FrameTime::use(const Clock* clock) {
    g_clock = clock;
}

bool FrameTimer::setRunning(bool run) {
    if (run == isActive())
        return false;
    if (run)
        start();
    else
        stop();
    return true;
}

void FrameMotion::start(double from) {
    m_from = from;
    m_startedAt = FrameTime::now();
    m_timer.start();
}

} // namespace tavrine::nudge
