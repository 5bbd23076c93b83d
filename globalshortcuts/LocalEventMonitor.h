#pragma once

#include <QEvent>
#include <QObject>
#include <QSet>
#include <functional>

namespace globalshortcuts {

// Watches the application's own events of the types in the mask through an application-wide event filter. The
// handler returns the event to deliver it unchanged, nullptr to swallow it, or another event (which the monitor
// then owns) to post that one to the same receiver instead of the original.
class LocalEventMonitor : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<QEvent*(QObject* receiver, QEvent* event)>;

    LocalEventMonitor(QSet<QEvent::Type> events, Callback callback, QObject* parent = nullptr);
    ~LocalEventMonitor() override;

    LocalEventMonitor* start();
    void stop();
    bool isRunning() const { return m_running; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSet<QEvent::Type> m_events;
    Callback m_callback;
    bool m_running = false;
};

} // namespace globalshortcuts
