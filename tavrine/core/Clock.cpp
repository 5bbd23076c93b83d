#include "tavrine/core/Clock.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Wakeup.h"

#include <QTimer>
#include <cmath>
#include <ctime>

namespace tavrine {

namespace {
double readClock(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

double SystemClock::now() const {
    return readClock(CLOCK_MONOTONIC);
}

double SystemClock::asleep() const {
    // Read monotonic first: a sleep between the two reads then shows up as slept time, never as negative.
    const double monotonic = readClock(CLOCK_MONOTONIC);
    const double boot = readClock(CLOCK_BOOTTIME);
    return std::max(0.0, boot - monotonic);
}

QDateTime SystemClock::date() const {
    return QDateTime::currentDateTimeUtc();
}

QCoro::Task<void> SystemClock::sleep(double seconds, CancellationToken token) {
    token.throwIfCancelled();
    const double length = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    Wakeup wakeup;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [wakeup] { wakeup.fire(); });
    timer.start(int(std::min(length * 1000.0, 2.0e9)));
    auto subscription = token.onCancel([wakeup] { wakeup.fire(true); });
    const bool woken = co_await wakeup;
    if (!woken)
        throw CancelledError();
}

} // namespace tavrine
