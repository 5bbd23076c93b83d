#include "globalshortcuts/QtTimerSource.h"

#include <QTimer>

namespace globalshortcuts {

quint64 QtTimerSource::start(int milliseconds, std::function<void()> action) {
    const quint64 id = ++m_lastId;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, timer, action = std::move(action)] {
        m_timers.remove(id);
        timer->deleteLater();
        action();
    });
    m_timers.insert(id, timer);
    timer->start(milliseconds);
    return id;
}

void QtTimerSource::cancel(quint64 timer) {
    if (QTimer* t = m_timers.take(timer)) {
        t->stop();
        t->deleteLater();
    }
}

} // namespace globalshortcuts
