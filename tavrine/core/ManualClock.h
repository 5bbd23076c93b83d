#pragma once

#include "tavrine/core/Clock.h"
#include "tavrine/core/Wakeup.h"

#include <cmath>
#include <memory>
#include <vector>

namespace tavrine {

// Virtual time for tests. `advance` moves `now` (and the date) forward step by step, waking each due sleeper
// at its own deadline and running the queued resumptions before moving on, so a loop that sleeps one second
// at a time sees every second. Destroying the clock wakes every pending sleeper as cancelled.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0,
                         QDateTime date = QDateTime(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC));
    ~ManualClock() override;

    double now() const override { return m_now; }
    double asleep() const override { return m_asleep; }
    QDateTime date() const override;
    QCoro::Task<void> sleep(double seconds, CancellationToken token = {}) override;

    // Moves time forward by `seconds`, waking due sleepers in deadline order.
    void advance(double seconds);
    // The computer sleeps for `seconds`: the date and `asleep` move, `now` stands still.
    void sleepSystem(double seconds);
    // The wall clock is set to another time (by hand, or by a time server): only the date moves.
    void shiftDate(double seconds) { m_dateOffsetMs += qint64(std::llround(seconds * 1000.0)); }
    // Runs whatever is queued on the main thread (resumed sleepers and their follow-ups) without moving time.
    static void pump();

    int pendingSleepers() const { return int(m_sleepers->size()); }

private:
    struct Sleeper {
        double deadline;
        unsigned long long order;
        Wakeup wakeup;
    };
    double m_now;
    double m_asleep = 0;
    qint64 m_dateOffsetMs = 0;
    QDateTime m_date;
    unsigned long long m_nextOrder = 0;
    // Shared with the cancellation callbacks, which may outlive the clock.
    std::shared_ptr<std::vector<Sleeper>> m_sleepers = std::make_shared<std::vector<Sleeper>>();
};

} // namespace tavrine
