#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace tavrine {

// The desktop's notifications that a session reacts to, delivered on the main thread. Implementations emit the
// signals; a test can emit them on any subclass.
class WorkspaceEventSource : public QObject {
    Q_OBJECT
public:
    ~WorkspaceEventSource() override = default;

signals:
    // Another application became the active one.
    void applicationActivated(qint32 pid, const QString& bundle);
    // The active desktop (workspace) changed.
    void activeSpaceChanged();
    // The computer is about to sleep.
    void willSleep();
    // The screens went to sleep (screensaver or display power off).
    void screensDidSleep();
    // The user session was switched away from.
    void sessionDidResignActive();

protected:
    explicit WorkspaceEventSource(QObject* parent = nullptr) : QObject(parent) {}
};

} // namespace tavrine
