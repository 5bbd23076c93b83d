#include "tavrine/core/ManualClock.h"
#include "tavrine/core/Error.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace tavrine {

ManualClock::ManualClock(double start, QDateTime date) : m_now(start), m_date(std::move(date)) {}

ManualClock::~ManualClock() {
    auto sleepers = std::move(*m_sleepers);
    m_sleepers->clear();
    for (auto& sleeper : sleepers)
        sleeper.wakeup.fire(true);
}

QDateTime ManualClock::date() const {
    return m_date.addMSecs(m_dateOffsetMs);
}

QCoro::Task<void> ManualClock::sleep(double seconds, CancellationToken token) {
    token.throwIfCancelled();
    const double length = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    Wakeup wakeup;
    m_sleepers->push_back(Sleeper{m_now + length, m_nextOrder++, wakeup});
    auto subscription = token.onCancel([weak = std::weak_ptr(m_sleepers), wakeup] {
        wakeup.fire(true);
        if (auto sleepers = weak.lock())
            std::erase_if(*sleepers, [](const Sleeper& s) { return s.wakeup.isFired(); });
    });
    const bool woken = co_await wakeup;
    if (!woken)
        throw CancelledError();
}

void ManualClock::pump() {
    // Resumed coroutines may queue further calls: run until a round finds nothing to do.
    auto* dispatcher = QThread::currentThread()->eventDispatcher();
    for (int round = 0; round < 10000; ++round) {
        QCoreApplication::sendPostedEvents();
        if (!dispatcher || !dispatcher->processEvents(QEventLoop::AllEvents))
            break;
    }
    QCoreApplication::sendPostedEvents();
}

void ManualClock::advance(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return;
    const double target = m_now + seconds;
    pump();
    for (;;) {
        auto next = std::min_element(m_sleepers->begin(), m_sleepers->end(), [](const Sleeper& a, const Sleeper& b) {
            return a.deadline < b.deadline || (a.deadline == b.deadline && a.order < b.order);
        });
        if (next == m_sleepers->end() || next->deadline > target)
            break;
        const double deadline = std::max(next->deadline, m_now);
        m_dateOffsetMs += qint64(std::llround((deadline - m_now) * 1000.0));
        m_now = deadline;
        // Wake every sleeper due at this instant, then let them run before time moves on.
        std::vector<Sleeper> due;
        for (auto it = m_sleepers->begin(); it != m_sleepers->end();) {
            if (it->deadline <= m_now) {
                due.push_back(*it);
                it = m_sleepers->erase(it);
            } else {
                ++it;
            }
        }
        std::sort(due.begin(), due.end(), [](const Sleeper& a, const Sleeper& b) { return a.order < b.order; });
        for (auto& sleeper : due)
            sleeper.wakeup.fire();
        pump();
    }
    m_dateOffsetMs += qint64(std::llround((target - m_now) * 1000.0));
    m_now = target;
    pump();
}

void ManualClock::sleepSystem(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return;
    m_asleep += seconds;
    m_dateOffsetMs += qint64(std::llround(seconds * 1000.0));
}

} // namespace tavrine
