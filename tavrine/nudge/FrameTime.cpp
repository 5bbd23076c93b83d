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

} // namespace tavrine::nudge
