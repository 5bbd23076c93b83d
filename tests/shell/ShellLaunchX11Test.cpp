#include "shell/TavrineLauncher.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

bool waitForWindows(const QStringList& roles, int seconds = 20) {
    return QTest::qWaitFor([&] { return TavrineLauncher::viewableWindows() == roles; }, seconds * 1000);
}

bool waitForActive(const QString& role, int seconds = 10) {
    return QTest::qWaitFor([&] { return TavrineLauncher::activeRole() == role; }, seconds * 1000);
}

QString dump() {
    return TavrineLauncher::viewableWindows().join(u',') + QStringLiteral(" active=") + TavrineLauncher::activeRole();
}

// An X server of the test's own, with one screen of `depth` bits (and no window manager); its display name stays
// empty when it did not start.
class PrivateXServer {
public:
    explicit PrivateXServer(int depth) {
        const QString file = m_folder.filePath(QStringLiteral("display"));
        m_server.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec Xvfb -displayfd 3 -noreset -screen 0 640x480x%1 -nolisten tcp 3>\"$0\"").arg(depth),
             file});
        QFile number(file);
        if (QTest::qWaitFor([&] { return number.size() > 1; }, 20000) && number.open(QIODevice::ReadOnly))
            display = QLatin1Char(':') + QString::fromLatin1(number.readAll()).trimmed();
    }
    ~PrivateXServer() {
        m_server.terminate();
        m_server.waitForFinished();
    }
    QString display;

private:
    QTemporaryDir m_folder;
    QProcess m_server;
};

// A display of the test's own in front of `server`: the first connection (the launch's probe) is passed through,
// and every later one is dropped as soon as it is made, as a loaded server drops one it has just accepted.
class DroppingDisplay {
public:
    explicit DroppingDisplay(const QString& server) {
        for (int number = 900; display.isEmpty() && number < 1000; ++number)
            if (!QFile::exists(socketOf(number)) && m_listener.listen(socketOf(number)))
                display = QStringLiteral(":%1").arg(number);
        QObject::connect(&m_listener, &QLocalServer::newConnection, [this, server] {
            while (QLocalSocket* client = m_listener.nextPendingConnection()) {
                if (m_passed++ > 0) {
                    delete client;
                    continue;
                }
                auto* upstream = new QLocalSocket(client);
                QObject::connect(client, &QLocalSocket::readyRead, upstream,
                                 [=] { upstream->write(client->readAll()); });
                QObject::connect(upstream, &QLocalSocket::readyRead, client,
                                 [=] { client->write(upstream->readAll()); });
                upstream->connectToServer(socketOf(server.mid(1).toInt()));
            }
        });
    }
    QString display;

private:
    static QString socketOf(int number) { return QStringLiteral("/tmp/.X11-unix/X%1").arg(number); }
    QLocalServer m_listener;
    int m_passed = 0;
};

// What the server of `display` holds of process `pid`, by its own record of its clients' pids: their connections,
// and their top-level windows that are shown.
struct ClientsOf {
    int connections = 0;
    int windows = 0;
};

ClientsOf clientsOf(const QString& display, qint64 pid) {
    ClientsOf found;
    platform::X11Connection x11(display.toLocal8Bit());
    if (!x11.isOpen())
        return found;
    QList<platform::XWindowId> children;
    x11.withDisplay([&](Display* d) {
        XResClientIdSpec all{0, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        if (XResQueryClientIds(d, 1, &all, &count, &values) == Success) {
            for (long i = 0; i < count; ++i)
                found.connections += XResGetClientPid(&values[i]) == pid ? 1 : 0;
            XResClientIdsDestroy(count, values);
        }
        Window root = 0;
        Window parent = 0;
        Window* kids = nullptr;
        unsigned int kidCount = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &kidCount)) {
            for (unsigned int i = 0; i < kidCount; ++i)
                children << platform::XWindowId(kids[i]);
            XFree(kids);
        }
    });
    for (platform::XWindowId child : children)
        found.windows += x11.isViewable(child) && x11.windowPid(child) == qint32(pid) ? 1 : 0;
    return found;
}

} // namespace

TEST(ShellLaunch, AFirstLaunchWelcomesTheUserAndRegistersLaunchAtLogin) {
    TavrineLauncher launcher;
    const int first = launcher.launch();
    ASSERT_TRUE(waitForWindows({QStringLiteral("onboarding")})) << dump().toStdString();
    EXPECT_TRUE(waitForActive(QStringLiteral("onboarding"))) << dump().toStdString();
    platform::X11Connection* x11 = platform::X11Connection::shared();
    const platform::XWindowId window = *TavrineLauncher::windowWithRole(QStringLiteral("onboarding"));
    EXPECT_EQ(x11->windowTitle(window), QStringLiteral("Welcome to Tavrine"));
    const auto windowClass = x11->windowClass(window);
    ASSERT_TRUE(windowClass.has_value());
    EXPECT_EQ(windowClass->className, QStringLiteral("com.dravolence.tavrine"));
    EXPECT_EQ(x11->windowPid(window), qint32(launcher.process(first).processId()));

    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(launcher.autostartEntry()); }, desktopWaitMs));
    EXPECT_EQ(launcher.terminate(first), 0);
    QFile settings(launcher.settingsFile());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("launchAtLoginDefaultApplied"));

    // The user removed the entry: a later launch leaves that choice alone.
    ASSERT_TRUE(QFile::remove(launcher.autostartEntry()));
    const int second = launcher.launch();
    ASSERT_TRUE(waitForWindows({QStringLiteral("onboarding")})) << dump().toStdString();
    QTest::qWait(500);
    EXPECT_FALSE(QFile::exists(launcher.autostartEntry()));
    EXPECT_EQ(launcher.terminate(second), 0);
}

TEST(ShellLaunch, WhatShowsAtLaunch) {
    struct Case {
        QStringList arguments;
        QStringList windows;
        // The main window's setup comes without QtQuick.Controls, which only the other screens and windows use:
        // it is loaded in the background once the window shows.
        bool controlsAfterShow = false;
    };
    const QList<Case> cases = {
        {{}, {"focus"}, true},
        {{"--onboarding"}, {"onboarding"}},
        {{"--launched-at-login"}, {}},
    };
    for (const Case& c : cases) {
        const std::string name = c.arguments.join(u' ').toStdString();
        TavrineLauncher launcher;
        launcher.setCompletedOnboarding();
        const int index = launcher.launch(c.arguments);
        ASSERT_TRUE(launcher.waitUntilListening()) << name;
        if (c.windows.isEmpty()) {
            // Give a window that should not come every chance to show.
            QTest::qWait(1500);
            EXPECT_TRUE(TavrineLauncher::viewableWindows().isEmpty()) << name << " " << dump().toStdString();
        } else {
            const qint64 pid = launcher.process(index).processId();
            // The plugin of the QML module, loaded by an import alone (the C++ library may be linked in).
            const QByteArray controls = "libqtquickcontrols2plugin.so";
            EXPECT_TRUE(waitForWindows(c.windows)) << name << " " << dump().toStdString();
            const bool controlsAtShow = mapsFile(controls, pid);
            EXPECT_TRUE(waitForActive(c.windows.first())) << name << " " << dump().toStdString();
            if (c.controlsAfterShow) {
                EXPECT_FALSE(controlsAtShow) << name;
                EXPECT_TRUE(QTest::qWaitFor([&] { return mapsFile(controls, pid); }, 10000)) << name;
            }
        }
        EXPECT_EQ(launcher.terminate(index), 0) << name;
    }
}

TEST(ShellLaunch, ASecondLaunchRaisesTheMainWindowOfTheFirstAndEnds) {
    TavrineLauncher launcher;
    launcher.setCompletedOnboarding();
    const int first = launcher.launch({QStringLiteral("--launched-at-login")});
    ASSERT_TRUE(launcher.waitUntilListening());
    const int second = launcher.launch();
    EXPECT_EQ(launcher.waitForExit(second), 0);
    EXPECT_TRUE(waitForWindows({QStringLiteral("focus")})) << dump().toStdString();
    EXPECT_TRUE(waitForActive(QStringLiteral("focus"))) << dump().toStdString();
    EXPECT_EQ(launcher.process(first).state(), QProcess::Running);
    EXPECT_EQ(launcher.terminate(first), 0);
}

// Every way of naming a display (DISPLAY, "-display", QT_QPA_PLATFORM or "-platform" with their fall-back lists) ends
// at the display Qt draws on: Tavrine checks that screen, says in one line when Qt Quick cannot draw there (no
// display, an 8-bit screen) instead of a crash in the driver, and otherwise reads the same display it shows on.
TEST(ShellLaunch, EveryWayOfNamingADisplayEndsAtTheOneQtDrawsOn) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "no Xvfb";
    const PrivateXServer eightBit(8);
    const PrivateXServer fifteenBit(15);
    const PrivateXServer other(24);
    ASSERT_FALSE(eightBit.display.isEmpty() || fifteenBit.display.isEmpty() || other.display.isEmpty());
    const DroppingDisplay dropping(other.display);
    ASSERT_FALSE(dropping.display.isEmpty());
    const QString desktop = qEnvironmentVariable("DISPLAY");
    const QString eight = eightBit.display;
    const QString refusedEight = QStringLiteral("tavrine: the screen of X display %1 is 8-bit PseudoColor; Tavrine "
                                                "needs a TrueColor or DirectColor screen of 15 bits or more\n")
                                     .arg(eight);
    struct Case {
        const char* name;
        QString display;
        QString platform; // QT_QPA_PLATFORM; none when empty
        QStringList arguments;
        QString refusal; // the line it ends with; empty when it runs
        QString drawsOn; // where its windows show when it runs
    };
    const QList<Case> cases = {
        {"no display",
         {},
         {},
         {},
         QStringLiteral("tavrine: no X display (DISPLAY=\"\"); Tavrine needs an X11 desktop\n"),
         {}},
        {"-display names no server",
         desktop,
         {},
         {"-display", ":987"},
         QStringLiteral("tavrine: no X display (-display=\":987\"); Tavrine needs an X11 desktop\n"),
         {}},
        {"DISPLAY", eight, {}, {}, refusedEight, {}},
        {"-display over DISPLAY", desktop, {}, {"-display", eight}, refusedEight, {}},
        {"--display over DISPLAY", desktop, {}, {"--display", eight}, refusedEight, {}},
        {"xcb with a fall-back", eight, "xcb;offscreen", {}, refusedEight, {}},
        // Qt 6.4 draws on DISPLAY whatever the platform string's display= option says.
        {"the platform string's display=", eight, "xcb:display=" + other.display, {}, refusedEight, {}},
        {"-platform over QT_QPA_PLATFORM",
         desktop,
         "offscreen",
         {"-platform", "xcb", "-display", eight},
         refusedEight,
         {}},
        // Qt's own connection fails after the launch's probe passed: Qt would end with a core dump.
        {"a display that drops Qt's connection",
         dropping.display,
         {},
         {},
         QStringLiteral("tavrine: Qt could not start on X display %1 (could not connect to display %1); Tavrine "
                        "needs an X11 desktop\n")
             .arg(dropping.display),
         {}},
        {"-display naming another server", desktop, {}, {"-display", other.display}, {}, other.display},
        {"a 15-bit TrueColor screen", fifteenBit.display, {}, {}, {}, fifteenBit.display},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TavrineLauncher launcher;
        launcher.setCompletedOnboarding();
        launcher.keepErrors();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("DISPLAY"), c.display);
        if (!c.platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), c.platform);
        const int index = launcher.launch(c.arguments, environment);
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(launcher.waitForExit(index), 1);
            EXPECT_TRUE(launcher.errors(index).endsWith(c.refusal)) << launcher.errors(index).toStdString();
            continue;
        }
        const qint64 pid = launcher.process(index).processId();
        ASSERT_TRUE(launcher.waitUntilListening());
        EXPECT_TRUE(QTest::qWaitFor([&] { return clientsOf(c.drawsOn, pid).windows == 1; }, desktopWaitMs));
        EXPECT_GE(clientsOf(c.drawsOn, pid).connections, 2) << "Qt's and Tavrine's own";
        EXPECT_EQ(clientsOf(desktop, pid).connections, 0) << "nothing on the display DISPLAY named";
        EXPECT_EQ(launcher.terminate(index), 0) << launcher.errors(index).toStdString();
    }
}
