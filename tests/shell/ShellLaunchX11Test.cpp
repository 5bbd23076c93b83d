#include "shell/TavrineLauncher.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

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
