// The desktop's side of a session on a private X server and D-Bus session bus: workspace events from the root
// window, logind and the screensaver, and switching the desktop's accessibility on.
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "tavrine/platform/LinuxPrivacySettings.h"
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

// A limit of real time for what the window manager and the buses do: generous, because these tests run on busy
// machines under a sanitizer; a wait ends as soon as its condition holds.
constexpr double waitLimit = 30.0;

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
    bool active() const {
        ++m_reads;
        return m_active;
    }
    bool m_active = true;
    mutable int m_reads = 0;
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
    // Sets the session's Active property and tells of the change, as logind does: a reading of the property
    // that crosses the signals then answers what they said, whatever the order in which the two arrive.
    void setActive(bool active) {
        session.m_active = active;
        sessionChanged({{QStringLiteral("Active"), active}}, {});
    }
    // Tells that Active changed without its value: the listener has to read it.
    void invalidateActive(bool active) {
        session.m_active = active;
        sessionChanged({}, {QStringLiteral("Active")});
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

// Waits for the signal count, then lets a moment pass in which a wrong extra signal would arrive; answers the count.
qsizetype settledCount(QSignalSpy& spy, int count) {
    test::waitUntil([&] { return spy.count() >= count; }, waitLimit);
    test::waitUntil([] { return false; }, 0.2);
    return spy.count();
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
    LinuxWorkspaceEvents events(workspace, QDBusConnection::sessionBus(), QDBusConnection::sessionBus());
    QSignalSpy sleeps(&events, &WorkspaceEventSource::willSleep);
    QSignalSpy screens(&events, &WorkspaceEventSource::screensDidSleep);
    QSignalSpy resigned(&events, &WorkspaceEventSource::sessionDidResignActive);
    ASSERT_TRUE(test::waitUntil([&] { return events.sessionPath() == sessionPath; }, waitLimit));
    // The listener reads Active after it subscribed to the session's changes: once the read arrived, so had the
    // subscription, and no change signal below can pass it by.
    ASSERT_TRUE(test::waitUntil([&] { return desktop.session.m_reads > 0; }, waitLimit));

    const QString login1 = QStringLiteral("/org/freedesktop/login1");
    const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
    desktop.signal(login1, manager, QStringLiteral("PrepareForSleep"), {false});
    desktop.signal(login1, manager, QStringLiteral("PrepareForSleep"), {true});
    EXPECT_EQ(settledCount(sleeps, 1), 1);

    desktop.signal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {false});
    desktop.signal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {true});
    desktop.signal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
                   QStringLiteral("ActiveChanged"), {true});
    EXPECT_EQ(settledCount(screens, 2), 2);

    // The answer to that first reading, which may come in anywhere here, is only where the session stands.
    desktop.setActive(true);
    desktop.setActive(false);
    desktop.setActive(false);
    EXPECT_EQ(settledCount(resigned, 1), 1);
    // A switch back and away again, told only as an invalidated property that has to be read.
    desktop.setActive(true);
    desktop.invalidateActive(false);
    EXPECT_EQ(settledCount(resigned, 2), 2);
    EXPECT_EQ(sleeps.count(), 1);
    EXPECT_EQ(screens.count(), 2);
}

TEST(LinuxWorkspaceEvents, ActivationsFollowTheOwnerOfTheActiveWindowAndDesktopsAreSpaces) {
    ASSERT_NE(X11Connection::shared(), nullptr);
    QWindow ours;
    ours.setGeometry(50, 50, 200, 150);
    ours.show();
    ours.requestActivate();
    ASSERT_TRUE(test::waitUntil([] { return activeWindowPid() == qint32(::getpid()); }, waitLimit));

    X11Workspace workspace;
    LinuxWorkspaceEvents events(workspace);
    ASSERT_TRUE(events.watchesWindows());
    QSignalSpy activations(&events, &WorkspaceEventSource::applicationActivated);
    QSignalSpy spaces(&events, &WorkspaceEventSource::activeSpaceChanged);
    const auto seen = [&] {
        QStringList pids;
        for (const QList<QVariant>& activation : activations)
            pids.append(activation.at(0).toString());
        return "activations of " + pids.join(QLatin1Char(',')).toStdString() + "; ours " + std::to_string(::getpid());
    };

    QProcess other;
    other.start(QStringLiteral("xmessage"),
                {QStringLiteral("-geometry"), QStringLiteral("+400+400"), QStringLiteral("another application")});
    ASSERT_TRUE(other.waitForStarted());
    const qint32 otherPid = qint32(other.processId());
    ASSERT_TRUE(test::waitUntil([&] { return activeWindowPid() == otherPid; }, waitLimit));
    ASSERT_EQ(settledCount(activations, 1), 1) << seen();
    EXPECT_EQ(activations.at(0).at(0).toInt(), otherPid);

    ours.requestActivate();
    ASSERT_EQ(settledCount(activations, 2), 2) << seen();
    EXPECT_EQ(activations.at(1).at(0).toInt(), qint32(::getpid()));

    // Another window of the same application is no activation.
    QWindow second;
    second.setGeometry(300, 50, 200, 150);
    second.show();
    second.requestActivate();
    ASSERT_TRUE(test::waitUntil([&] { return X11Connection::shared()->activeWindow() == XWindowId(second.winId()); },
                                waitLimit));
    EXPECT_EQ(settledCount(activations, 2), 2) << seen();

    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("1")});
    EXPECT_TRUE(test::waitUntil([&] { return spaces.count() >= 1; }, waitLimit));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("0")});
    EXPECT_TRUE(test::waitUntil([&] { return spaces.count() >= 2; }, waitLimit));

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
    PrivacySettingsOpening::install(std::make_shared<platform::LinuxPrivacySettings>());
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
    PrivacySettingsOpening::install(nullptr);
}

#include "DesktopEventsTest.moc"
