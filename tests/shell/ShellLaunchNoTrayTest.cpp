#include "shell/TavrineLauncher.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine::test;

// Many desktops have no tray: the launch work must not wait for a tray label that never shows.
TEST(ShellLaunchWithoutTray, AFirstLaunchStillWelcomesTheUser) {
    TavrineLauncher launcher;
    const int first = launcher.launch();
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return TavrineLauncher::viewableWindows() == QStringList{QStringLiteral("onboarding")}; }, 20000));
    EXPECT_TRUE(QTest::qWaitFor([] { return TavrineLauncher::activeRole() == QStringLiteral("onboarding"); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(launcher.autostartEntry()); }, desktopWaitMs));
    EXPECT_EQ(launcher.terminate(first), 0);
}
