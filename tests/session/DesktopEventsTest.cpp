// The desktop's side of a session on a private X server and D-Bus session bus: workspace events from the root
// window, logind and the screensaver, and switching the desktop's accessibility on.
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/platform/LinuxWorkspaceEvents.h"
#include "tavrine/platform/X11Workspace.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/session/FocusSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QSignalSpy>
#include <QWindow>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::platform;

namespace {

const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/_3test");

// logind's manager, as far as finding our session goes.
class FakeLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
    QDBusObjectPath GetSessionByPID(uint) { return QDBusObjectPath(sessionPath); }
    QDBusObjectPath GetSession(const QString&) { return QDBusObjectPath(sessionPath); }
};

// A logind session whose Active property the test sets.
class FakeLoginSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool Active READ active)
public:
    bool active() const { return m_active; }
    bool m_active = true;
};

// A bus connection of its own that plays logind and the screensaver.
class FakeDesktopBus {
public:
    FakeDesktopBus()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-login1"))) {
        m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
        m_bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager, QDBusConnection::ExportAllSlots);
        m_bus.registerObject(sessionPath, &session, QDBusConnection::ExportAllProperties);
    }
    ~FakeDesktopBus() {
        m_bus.unregisterObject(sessionPath);
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        m_bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-login1"));
    }

    void signal(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments) {
        auto message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        m_bus.send(message);
    }
    void sessionChanged(const QVariantMap& changed, const QStringList& invalidated) {
        signal(sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
               {QStringLiteral("org.freedesktop.login1.Session"), changed, invalidated});
    }

    FakeLoginManager manager;
    FakeLoginSession session;

private:
    QDBusConnection m_bus;
};

// Waits for the signal count, then lets a moment pass in which a wrong extra signal would arrive.
bool settlesAt(QSignalSpy& spy, int count) {
    test::waitUntil([&] { return spy.count() >= count; }, 5.0);
    test::waitUntil([] { return false; }, 0.2);
    return spy.count() == count;
}

std::optional<qint32> activeWindowPid() {
    auto* x11 = X11Connection::shared();
    const auto window = x11->activeWindow();
    return window ? x11->windowPid(*window) : std::nullopt;
}

} // namespace

TEST(LinuxWorkspaceEvents, SleepScreensaverAndSessionSwitchesArriveOverDBus) {
    FakeDesktopBus desktop;
    X11Workspace workspace;
    LinuxWorkspaceEvents events(workspace, {}, QDBusConnection::sessionBus(), QDBusConnection::sessionBus());
    QSignalSpy sleeps(&events, &WorkspaceEventSource::willSleep);
    QSignalSpy screens(&events, &WorkspaceEventSource::screensDidSleep);
    QSignalSpy resigned(&events, &WorkspaceEventSource::sessionDidResignActive);
    ASSERT_TRUE(test::waitUntil([&] { return events.sessionPath() == sessionPath; }));
    test::waitUntil([] { return false; }, 0.2); // the first reading of Active is only where the session stands

    const QString login1 = QStringLiteral("/org/freedesktop/login1");
    const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
    desktop.signal(login1, manager, QStringLiteral("PrepareForSleep"), {false});
    desktop.signal(login1, manager, QStringLiteral("PrepareForSleep"), {true});
    EXPECT_TRUE(settlesAt(sleeps, 1));

    desktop.signal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {false});
    desktop.signal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {true});
    desktop.signal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {true});
    EXPECT_TRUE(settlesAt(screens, 2));

    desktop.sessionChanged({{QStringLiteral("Active"), true}}, {});
    desktop.sessionChanged({{QStringLiteral("Active"), false}}, {});
    desktop.sessionChanged({{QStringLiteral("Active"), false}}, {});
    EXPECT_TRUE(settlesAt(resigned, 1));
    // A switch back and away again, told only as an invalidated property that has to be read.
    desktop.sessionChanged({{QStringLiteral("Active"), true}}, {});
    desktop.session.m_active = false;
    desktop.sessionChanged({}, {QStringLiteral("Active")});
    EXPECT_TRUE(settlesAt(resigned, 2));
    EXPECT_EQ(sleeps.count(), 1);
    EXPECT_EQ(screens.count(), 2);
}

TEST(LinuxWorkspaceEvents, ActivationsFollowTheOwnerOfTheActiveWindowAndDesktopsAreSpaces) {
    ASSERT_NE(X11Connection::shared(), nullptr);
    QWindow ours;
    ours.setGeometry(50, 50, 200, 150);
    ours.show();
    ours.requestActivate();
    ASSERT_TRUE(test::waitUntil([] { return activeWindowPid() == qint32(::getpid()); }));

    X11Workspace workspace;
    LinuxWorkspaceEvents events(workspace);
    ASSERT_TRUE(events.watchesWindows());
    QSignalSpy activations(&events, &WorkspaceEventSource::applicationActivated);
    QSignalSpy spaces(&events, &WorkspaceEventSource::activeSpaceChanged);

    QProcess other;
    other.start(QStringLiteral("xmessage"),
                {QStringLiteral("-geometry"), QStringLiteral("+400+400"), QStringLiteral("another application")});
    ASSERT_TRUE(other.waitForStarted());
    const qint32 otherPid = qint32(other.processId());
    ASSERT_TRUE(test::waitUntil([&] { return activeWindowPid() == otherPid; }));
    ASSERT_TRUE(settlesAt(activations, 1));
    EXPECT_EQ(activations.at(0).at(0).toInt(), otherPid);

    ours.requestActivate();
    ASSERT_TRUE(settlesAt(activations, 2));
    EXPECT_EQ(activations.at(1).at(0).toInt(), qint32(::getpid()));

    // Another window of the same application is no activation.
    QWindow second;
    second.setGeometry(300, 50, 200, 150);
    second.show();
    second.requestActivate();
    ASSERT_TRUE(test::waitUntil([&] { return X11Connection::shared()->activeWindow() == XWindowId(second.winId()); }));
    EXPECT_TRUE(settlesAt(activations, 2));

    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("1")});
    EXPECT_TRUE(test::waitUntil([&] { return spaces.count() >= 1; }));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("0")});
    EXPECT_TRUE(test::waitUntil([&] { return spaces.count() >= 2; }));

    other.kill();
    other.waitForFinished();
}

namespace {
std::optional<bool> accessibilityEnabled() {
    auto message =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    const auto reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void setAccessibilityEnabled(bool enabled) {
    auto message =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    message << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(enabled));
    QDBusConnection::sessionBus().call(message, QDBus::Block, 2000);
}
} // namespace

TEST(PrivacySettings, AccessibilityIsSwitchedOnAndScreenCaptureNeedsNothing) {
    const auto before = accessibilityEnabled();
    if (!before)
        GTEST_SKIP() << "no accessibility bus";
    test::LogCapture logs;
    setAccessibilityEnabled(false);
    ASSERT_EQ(accessibilityEnabled(), false);

    FocusSession::openPrivacySettings(QStringLiteral("Privacy_ScreenCapture"));
    EXPECT_EQ(accessibilityEnabled(), false);
    FocusSession::openPrivacySettings(QStringLiteral("Privacy_Unknown"));
    FocusSession::openPrivacySettings(QStringLiteral("Privacy_Accessibility"));
    EXPECT_EQ(accessibilityEnabled(), true);
    EXPECT_EQ(logs.messages(QStringLiteral("Focus")),
              (QStringList{QStringLiteral("Screen capture needs no permission on X11; nothing to open"),
                           QStringLiteral("Accessibility switched on; applications already running may need a "
                                          "restart to expose their windows")}));
    setAccessibilityEnabled(*before);
}

#include "DesktopEventsTest.moc"
