#pragma once

#include "tavrine/core/Cancellation.h"

#include <QDateTime>
#include <QCoro/QCoroTask>

namespace tavrine {

// All time in Tavrine goes through a clock, so that engine tests can run whole sessions in virtual time.
class Clock {
public:
    virtual ~Clock() = default;

    // Seconds of uptime that stop while the computer sleeps (CLOCK_MONOTONIC).
    virtual double now() const = 0;
    // Seconds the computer has slept since boot (never negative).
    virtual double asleep() const = 0;
    // The wall-clock date.
    virtual QDateTime date() const = 0;
    // Waits `seconds` of `now` time (a non-finite or negative length waits for nothing). Throws CancelledError
    // when the token is or becomes cancelled, at once. Resumes on the main thread.
    virtual QCoro::Task<void> sleep(double seconds, CancellationToken token = {}) = 0;

    // The process-wide real clock.
    static Clock& system();
};

class SystemClock final : public Clock {
public:
    double now() const override;
    double asleep() const override;
    QDateTime date() const override;
    QCoro::Task<void> sleep(double seconds, CancellationToken token = {}) override;
};

} // namespace tavrine
