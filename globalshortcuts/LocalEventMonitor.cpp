#include "globalshortcuts/LocalEventMonitor.h"

#include <QCoreApplication>

namespace globalshortcuts {

LocalEventMonitor::LocalEventMonitor(QSet<QEvent::Type> events, Callback callback, QObject* parent)
    : QObject(parent), m_events(std::move(events)), m_callback(std::move(callback)) {}

LocalEventMonitor::~LocalEventMonitor() {
    stop();
}

LocalEventMonitor* LocalEventMonitor::start() {
    if (!m_running && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_running = true;
    }
    return this;
}

void LocalEventMonitor::stop() {
    if (!m_running)
        return;
    m_running = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool LocalEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (!m_running || !m_events.contains(event->type()))
        return false;
    QEvent* deliver = m_callback(watched, event);
    if (deliver == event)
        return false;
    if (deliver)
        QCoreApplication::postEvent(watched, deliver);
    return true;
}

} // namespace globalshortcuts
