#pragma once

#include "tavrine/model/WorkspaceEventSource.h"

#include <QDBusConnection>
#include <QString>
#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace tavrine::platform {

class Workspace;
class X11RootWatcher;

// The desktop's notifications on Linux:
// - an activation when the active window's owning process, or its application id, differs from the last one
//   seen (root PropertyNotify of _NET_ACTIVE_WINDOW, on Qt's own connection);
// - a desktop change on _NET_CURRENT_DESKTOP;
// - will sleep on logind's PrepareForSleep(true);
// - screens asleep on a screensaver's ActiveChanged(true) (the freedesktop, GNOME, MATE and Cinnamon names);
// - session resigned when the logind session's Active property turns false.
// Main thread only. Without an X display or a bus, the events of that source simply never come.
class LinuxWorkspaceEvents final : public WorkspaceEventSource {
    Q_OBJECT
public:
    // `workspace` tells who owns the active window (not owned; it must outlive this). `systemBus` is where
    // logind lives, `sessionBus` where the screensaver does; a test passes its own buses.
    explicit LinuxWorkspaceEvents(Workspace& workspace, QDBusConnection systemBus = QDBusConnection::systemBus(),
                                  QDBusConnection sessionBus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);
    ~LinuxWorkspaceEvents() override;

    // The root window is watched (Qt shows on an X display).
    bool watchesWindows() const;
    // The logind session whose Active property is followed; empty until it is known.
    QString sessionPath() const { return m_sessionPath; }

signals:
    // The logind session was found and its Active property is followed.
    void sessionFollowed();

private slots:
    void prepareForSleep(bool start);
    void screenSaverActiveChanged(bool active);
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void activeWindowChanged();
    void findSession();
    void followSession(const QString& path);
    // The first reading only sets where the session stands; later ones may report it resigned.
    void readSessionActive(bool baseline);
    void noteSessionActive(bool active);

    Workspace& m_workspace;
    X11RootWatcher* m_rootWatcher = nullptr;
    quint32 m_activeWindowAtom = 0;
    quint32 m_currentDesktopAtom = 0;
    QDBusConnection m_systemBus;
    QDBusConnection m_sessionBus;
    std::optional<qint32> m_frontPid;
    std::optional<QString> m_frontBundle;
    QString m_sessionPath;
    std::optional<bool> m_sessionActive;
};

} // namespace tavrine::platform
