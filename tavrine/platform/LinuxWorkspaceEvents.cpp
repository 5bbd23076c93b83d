#include "tavrine/platform/LinuxWorkspaceEvents.h"

#include "tavrine/platform/Workspace.h"
#include "tavrine/platform/x11/X11RootWatcher.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <unistd.h>

namespace tavrine::platform {

namespace {
const QString login1Service = QStringLiteral("org.freedesktop.login1");
const QString login1Path = QStringLiteral("/org/freedesktop/login1");
const QString login1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString login1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString activeProperty = QStringLiteral("Active");
} // namespace

LinuxWorkspaceEvents::LinuxWorkspaceEvents(Workspace& workspace, QDBusConnection systemBus, QDBusConnection sessionBus,
                                           QObject* parent)
    : WorkspaceEventSource(parent), m_workspace(workspace), m_systemBus(std::move(systemBus)),
      m_sessionBus(std::move(sessionBus)) {
    m_rootWatcher = new X11RootWatcher(this);
    if (m_rootWatcher->isWatching()) {
        if (const auto front = m_workspace.frontmostApplication()) {
            m_frontPid = front->pid;
            m_frontBundle = front->bundleIdentifier;
        }
        m_activeWindowAtom = m_rootWatcher->atom("_NET_ACTIVE_WINDOW");
        m_currentDesktopAtom = m_rootWatcher->atom("_NET_CURRENT_DESKTOP");
        m_rootWatcher->watchProperty(m_activeWindowAtom);
        m_rootWatcher->watchProperty(m_currentDesktopAtom);
        connect(m_rootWatcher, &X11RootWatcher::rootPropertyChanged, this, [this](quint32 atom) {
            if (atom == m_activeWindowAtom)
                activeWindowChanged();
            else if (atom == m_currentDesktopAtom)
                emit activeSpaceChanged();
        });
    }

    if (m_systemBus.isConnected()) {
        m_systemBus.connect(login1Service, login1Path, login1Manager, QStringLiteral("PrepareForSleep"), this,
                            SLOT(prepareForSleep(bool)));
        findSession();
    }
    if (m_sessionBus.isConnected()) {
        // Each desktop names its screensaver differently; any sender and path will do.
        for (const char* name : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver", "org.mate.ScreenSaver",
                                 "org.cinnamon.ScreenSaver"})
            m_sessionBus.connect(QString(), QString(), QString::fromLatin1(name), QStringLiteral("ActiveChanged"), this,
                                 SLOT(screenSaverActiveChanged(bool)));
    }
}

LinuxWorkspaceEvents::~LinuxWorkspaceEvents() {
    // Bus connections outlive this object: take every match back.
    m_systemBus.disconnect(login1Service, login1Path, login1Manager, QStringLiteral("PrepareForSleep"), this,
                           SLOT(prepareForSleep(bool)));
    for (const char* name :
         {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver", "org.mate.ScreenSaver", "org.cinnamon.ScreenSaver"})
        m_sessionBus.disconnect(QString(), QString(), QString::fromLatin1(name), QStringLiteral("ActiveChanged"), this,
                                SLOT(screenSaverActiveChanged(bool)));
    if (!m_sessionPath.isEmpty())
        m_systemBus.disconnect(login1Service, m_sessionPath, propertiesInterface, QStringLiteral("PropertiesChanged"),
                               this, SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

bool LinuxWorkspaceEvents::watchesWindows() const {
    return m_rootWatcher && m_rootWatcher->isWatching();
}

void LinuxWorkspaceEvents::activeWindowChanged() {
    // No active window (the desktop itself) is no application: the next one is compared with the last seen.
    const auto front = m_workspace.frontmostApplication();
    if (!front)
        return;
    if (m_frontPid == front->pid && m_frontBundle == front->bundleIdentifier)
        return;
    m_frontPid = front->pid;
    m_frontBundle = front->bundleIdentifier;
    emit applicationActivated(front->pid, front->bundleIdentifier.value_or(QString()));
}

void LinuxWorkspaceEvents::prepareForSleep(bool start) {
    if (start)
        emit willSleep();
}

void LinuxWorkspaceEvents::screenSaverActiveChanged(bool active) {
    if (active)
        emit screensDidSleep();
}

void LinuxWorkspaceEvents::findSession() {
    // The session this process runs in: the one XDG_SESSION_ID names, else the one of our process.
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    auto message =
        QDBusMessage::createMethodCall(login1Service, login1Path, login1Manager,
                                       id.isEmpty() ? QStringLiteral("GetSessionByPID") : QStringLiteral("GetSession"));
    if (id.isEmpty())
        message << quint32(::getpid());
    else
        message << id;
    auto* watcher = new QDBusPendingCallWatcher(m_systemBus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isValid())
            followSession(reply.value().path());
    });
}

void LinuxWorkspaceEvents::followSession(const QString& path) {
    if (path.isEmpty())
        return;
    m_sessionPath = path;
    m_systemBus.connect(login1Service, path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                        SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
    readSessionActive(true);
    emit sessionFollowed();
}

void LinuxWorkspaceEvents::readSessionActive(bool baseline) {
    auto message =
        QDBusMessage::createMethodCall(login1Service, m_sessionPath, propertiesInterface, QStringLiteral("Get"));
    message << login1Session << activeProperty;
    auto* watcher = new QDBusPendingCallWatcher(m_systemBus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, baseline](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (!reply.isValid())
            return;
        const bool active = reply.value().variant().toBool();
        if (baseline && !m_sessionActive)
            m_sessionActive = active;
        else
            noteSessionActive(active);
    });
}

void LinuxWorkspaceEvents::sessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                    const QStringList& invalidated) {
    if (interface != login1Session)
        return;
    if (changed.contains(activeProperty))
        noteSessionActive(changed.value(activeProperty).toBool());
    else if (invalidated.contains(activeProperty))
        readSessionActive(false);
}

void LinuxWorkspaceEvents::noteSessionActive(bool active) {
    const bool resigned = !active && m_sessionActive != false;
    m_sessionActive = active;
    if (resigned)
        emit sessionDidResignActive();
}

} // namespace tavrine::platform
