#pragma once

#include "globalshortcuts/HotKeyBackend.h"

#include <QHash>
#include <QObject>

class QTimer;

namespace globalshortcuts {

// Precise single-shot QTimers on the calling (main) thread.
class QtTimerSource final : public QObject, public TimerSource {
    Q_OBJECT
public:
    using QObject::QObject;
    quint64 start(int milliseconds, std::function<void()> action) override;
    void cancel(quint64 timer) override;

private:
    quint64 m_lastId = 0;
    QHash<quint64, QTimer*> m_timers;
};

} // namespace globalshortcuts
