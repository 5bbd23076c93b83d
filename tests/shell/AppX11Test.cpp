// The application in the test process on the private desktop with its tray host: the tray icon, the hot key and
// window raising as a user meets them.
#include "AppHarness.h"
#include "support/TestSupport.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"

#include <QProcess>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

constexpr double waitLimit = 20.0;

void xdotool(const QStringList& arguments) {
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

void clickAt(const QPoint& point) {
    xdotool({"mousemove", QString::number(point.x()), QString::number(point.y()), "click", "1"});
}

} // namespace

TEST(AppX11, TheTrayIconTogglesTheMainWindowUnderItAndTheHotKeyOpensItOnRelease) {
    shell::installDesktopShortcuts(UserDefaults::standard());
    ShellAppHarness h;
    h.app->start();
    shell::TrayStatusLabel& tray = h.app->tray();
    ASSERT_TRUE(waitUntil([&] { return tray.trayIconGeometry().has_value(); }, waitLimit));
    QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
    // The launch opened the main window; once the icon is docked it sits right under it.
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible(); }, waitLimit));
    const QRect icon = *tray.trayIconGeometry();
    EXPECT_TRUE(waitUntil([&] { return focus->y() == icon.bottom() + 1 + 4; }, waitLimit))
        << focus->y() << " under " << icon.bottom();

    clickAt(icon.center());
    EXPECT_TRUE(waitUntil([&] { return !focus->isVisible(); }, waitLimit));
    clickAt(icon.center());
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible(); }, waitLimit));
    EXPECT_EQ(focus->y(), icon.bottom() + 1 + 4);
    EXPECT_LE(focus->x() + focus->width(), QGuiApplication::primaryScreen()->geometry().right() + 1 - 8);

    // The hot key while the window shows only brings it forward. (On a fresh Xvfb the very first synthetic
    // chord does not reach the grab, so this one also wakes the keyboard up.)
    int opened = 0;
    QObject::connect(&h.app->opener(), &shell::FocusWindowOpener::opened, [&] { ++opened; });
    xdotool({"key", "super+alt+p"});
    QTest::qWait(300);
    EXPECT_TRUE(focus->isVisible());
    EXPECT_EQ(focus->y(), icon.bottom() + 1 + 4);

    h.app->opener().closeFocusWindow();
    ASSERT_FALSE(focus->isVisible());
    opened = 0;
    // Super+Alt+P: nothing on the press, the window on the release.
    xdotool({"keydown", "super+alt+p"});
    QTest::qWait(300);
    EXPECT_FALSE(focus->isVisible());
    xdotool({"keyup", "p"});
    xdotool({"keyup", "super+alt"});
    EXPECT_TRUE(waitUntil([&] { return focus->isVisible(); }, waitLimit));
    EXPECT_EQ(opened, 1);

    // Another window comes forward: the main window goes, as a menu-bar panel does.
    ASSERT_TRUE(waitUntil([&] { return focus->isActive(); }, waitLimit));
    QQuickWindow other;
    other.setTitle(QStringLiteral("Elsewhere"));
    other.resize(300, 200);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    shell::WindowSet::activate(&other);
    EXPECT_TRUE(waitUntil([&] { return !focus->isVisible(); }, waitLimit));
}

// "All sessions" in the recap of the main window, as its host wires it: the main window goes, the History window
// already open (here minimised) comes forward, and no second one appears, in the application or on the desktop.
TEST(AppX11, AllSessionsRaisesTheOpenHistoryWindowNotASecondOne) {
    ShellAppHarness h;
    h.app->start();
    QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible(); }, waitLimit));
    QQuickWindow* history = h.app->windows().openWindow(QStringLiteral("history"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    history->showMinimized();
    platform::X11Connection* x11 = platform::X11Connection::shared();
    const auto id = platform::XWindowId(history->winId());
    ASSERT_TRUE(waitUntil([&] { return x11->isIconic(id); }, waitLimit));

    h.app->opener().open();
    ASSERT_TRUE(waitUntil([&] { return focus->isActive(); }, waitLimit));
    int opens = 0;
    h.app->opener().showOrOpenWindow(QStringLiteral("History"), [&] {
        ++opens;
        h.app->windows().openWindow(QStringLiteral("history"));
    });
    // The main window goes at once, before the History window comes.
    EXPECT_FALSE(focus->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !x11->isIconic(id) && history->isActive(); }, waitLimit));
    EXPECT_EQ(opens, 1);
    EXPECT_FALSE(focus->isVisible());
    EXPECT_EQ(h.app->windows().window(QStringLiteral("history")), history);
    int inApplication = 0;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        inApplication += window->objectName() == QLatin1String("history") ? 1 : 0;
    EXPECT_EQ(inApplication, 1);
    // The window manager's own records follow a moment later.
    auto historiesOnDesktop = [&] {
        QList<platform::XWindowId> found;
        for (platform::XWindowId client : x11->clientListStacking()) {
            if (x11->windowTitle(client) == QLatin1String("History") && x11->isViewable(client))
                found << client;
        }
        return found;
    };
    EXPECT_TRUE(waitUntil([&] { return x11->activeWindow() == std::optional<platform::XWindowId>(id); }, waitLimit));
    EXPECT_TRUE(waitUntil([&] { return historiesOnDesktop() == QList<platform::XWindowId>{id}; }, waitLimit))
        << historiesOnDesktop().size();
}
