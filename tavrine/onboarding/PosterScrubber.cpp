#include "tavrine/onboarding/PosterScrubber.h"

#include "tavrine/core/Clock.h"

#include <QPointer>
#include <algorithm>
#include <cmath>

namespace tavrine {

namespace {

constexpr double startProgress = 0.22;
constexpr double creep = 0.5;

double continuousNow(const Clock& clock) { return clock.now() + clock.asleep(); }

QCoro::Task<void> tickLoop(QPointer<PosterScrubber> scrubber, Clock* clock, CancellationToken token,
                           std::function<void()> tick) {
    while (true) {
        try {
            co_await clock->sleep(PosterScrubber::tickSeconds, token);
        } catch (...) {
        }
        if (!scrubber || token.isCancelled())
            co_return;
        tick();
    }
}

} // namespace

double posterProgress(double elapsed) {
    if (!std::isfinite(elapsed) || elapsed < 0)
        elapsed = 0;
    return startProgress + std::min(elapsed / 240.0, creep);
}

PosterScrubber::PosterScrubber(QObject* parent) : PosterScrubber(Clock::system(), false, parent) {}

PosterScrubber::PosterScrubber(Clock& clock, bool reduceMotion, QObject* parent)
    : QObject(parent), m_clock(clock), m_opened(continuousNow(clock)), m_progress(posterProgress(0)),
      m_reduceMotion(reduceMotion) {
    if (!m_reduceMotion)
        startTicking();
}

PosterScrubber::~PosterScrubber() { stopTicking(); }

void PosterScrubber::setReduceMotion(bool reduce) {
    if (m_reduceMotion == reduce)
        return;
    m_reduceMotion = reduce;
    emit reduceMotionChanged();
    if (reduce)
        stopTicking();
    else
        startTicking();
}

double PosterScrubber::elapsed() const { return continuousNow(m_clock) - m_opened; }

void PosterScrubber::update() {
    // Virtual and real clocks land a hair short of a whole second; the last step counts as there.
    const double since = elapsed();
    const double next = since >= 240.0 * creep - 1e-9 ? startProgress + creep : posterProgress(since);
    if (next != m_progress) {
        m_progress = next;
        emit progressChanged();
    }
    if (m_progress >= startProgress + creep)
        stopTicking();
}

void PosterScrubber::startTicking() {
    if (m_ticks || m_progress >= startProgress + creep)
        return;
    m_ticks = std::make_shared<CancellationSource>();
    const QPointer<PosterScrubber> self(this);
    // The loop's task holds no strong reference; cancellation wakes its sleep at once.
    tickLoop(self, &m_clock, m_ticks->token(), [this] { update(); });
}

void PosterScrubber::stopTicking() {
    if (!m_ticks)
        return;
    m_ticks->cancel();
    m_ticks.reset();
}

} // namespace tavrine
