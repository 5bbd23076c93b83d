// Without a tray host the main window still opens, at the top-right corner, and the hot key still works.
#include "AppHarness.h"
#include "support/TestSupport.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(AppWithoutTray, TheMainWindowOpensAtTheTopRightCorner) {
    ShellAppHarness h;
    h.app->start();
    ASSERT_FALSE(shell::TrayStatusLabel::trayAvailable());
    QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible(); }, 20));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(focus->position(), QPoint(available.right() + 1 - focus->width() - 8, available.top() + 8));

    h.app->opener().closeFocusWindow();
    h.app->opener().open();
    EXPECT_TRUE(focus->isVisible()) << "opened at once, without waiting for a tray";
}
