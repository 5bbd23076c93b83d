// The application in the test process on the private desktop with its tray host: the tray icon, the hot key and
// window raising as a user meets them.
#include "AppHarness.h"
#include "TrayIconClick.h"
#include "support/TestSupport.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"

#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

// Xlib's macros (None, Bool, Status) clash with other headers: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

bool activeWindowIs(platform::XWindowId window) {
    return platform::X11Connection::shared()->activeWindow() == window;
}

// Opens the tray icon's menu with a right click and clicks `action` in it, as a user does.
void chooseFromTrayMenu(shell::TrayStatusLabel& tray, QAction& action) {
    QMenu& menu = tray.menu();
    ASSERT_TRUE(clickTrayIcon(waitLimit, 3));
    ASSERT_TRUE(waitUntil([&] { return menu.isVisible() && menu.windowHandle() && menu.windowHandle()->isExposed(); },
                          waitLimit))
        << "the menu";
    const QPoint middle = menu.mapToGlobal(menu.actionGeometry(&action).center());
    xdotool({"mousemove", QString::number(middle.x()), QString::number(middle.y())});
    ASSERT_TRUE(waitUntil([&] { return menu.activeAction() == &action; }, waitLimit)) << "the pointer on the item";
    xdotool({"click", "1"});
    ASSERT_TRUE(waitUntil([&] { return !menu.isVisible(); }, waitLimit));
}

} // namespace

TEST(AppX11, TheTrayIconTogglesTheMainWindowUnderItAndTheHotKeyOpensItOnRelease) {
    shell::installDesktopShortcuts(UserDefaults::standard());
    ShellAppHarness h;
    // The icon as the opener saw it when it last placed the window. The host may still be sizing the icon then
    // (from its own 22 px to the host's 24) or move it later; the window keeps the place it was given.
    std::optional<QRect> placedUnder;
    QObject::connect(&h.app->opener(), &shell::FocusWindowOpener::opened,
                     [&] { placedUnder = h.app->tray().trayIconGeometry(); });
    h.app->start();
    QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
    // The launch opened the main window right under the icon.
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible() && placedUnder; }, waitLimit));
    EXPECT_TRUE(waitUntil([&] { return focus->y() == placedUnder->bottom() + 1 + 4; }, waitLimit))
        << focus->y() << " under " << placedUnder->bottom();

    ASSERT_TRUE(clickTrayIcon(waitLimit));
    EXPECT_TRUE(waitUntil([&] { return !focus->isVisible(); }, waitLimit));
    placedUnder.reset();
    ASSERT_TRUE(clickTrayIcon(waitLimit));
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible() && placedUnder; }, waitLimit));
    const QRect icon = *placedUnder;
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

    // A dialog another process shows for the main window (the desktop's file chooser saving the recap's image)
    // comes forward: the main window stays under it.
    ASSERT_TRUE(waitUntil([&] { return focus->isActive(); }, waitLimit));
    {
        platform::X11Connection chooser; // a connection of its own, as the chooser's process has
        Window dialog = 0;
        chooser.withDisplay([&](Display* display) {
            dialog = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0xFFFFFF);
            XSetTransientForHint(display, dialog, Window(focus->winId()));
            XMapWindow(display, dialog);
        });
        ASSERT_EQ(chooser.activate(platform::XWindowId(dialog)), 0);
        ASSERT_TRUE(waitUntil([&] { return activeWindowIs(platform::XWindowId(dialog)); }, waitLimit));
        QTest::qWait(400); // past the main window's second look
        EXPECT_TRUE(focus->isVisible());
        chooser.withDisplay([&](Display* display) { XDestroyWindow(display, dialog); });
    }
    shell::WindowSet::activate(focus);

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

// The icon's menu holds the two entries a tray application has: "Open Tavrine" shows and raises the main window,
// also when it already shows (never hiding it as a click on the icon does); "Quit Tavrine" quits as Settings'
// "Quit" does, storing the running session first.
TEST(AppX11, TheTrayMenuOpensTheMainWindowAndQuitsStoringTheSession) {
    ShellAppHarness h;
    h.start();
    shell::TrayStatusLabel& tray = h.app->tray();
    QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
    ASSERT_TRUE(waitUntil([&] { return focus->isVisible(); }, waitLimit));
    ASSERT_TRUE(settledTrayIcon(tray, waitLimit));
    QStringList entries;
    for (QAction* action : tray.menu().actions())
        entries << action->text();
    EXPECT_EQ(entries, QStringList({QStringLiteral("Open Tavrine"), QStringLiteral("Quit Tavrine")}));

    struct Case {
        const char* name;
        bool shownBefore;
    };
    for (const Case c : {Case{"hidden", false}, Case{"already shown", true}}) {
        if (c.shownBefore)
            ASSERT_TRUE(waitUntil([&] { return focus->isVisible() && focus->isActive(); }, waitLimit)) << c.name;
        else
            h.app->opener().closeFocusWindow();
        chooseFromTrayMenu(tray, tray.openAction());
        EXPECT_TRUE(waitUntil([&] { return focus->isVisible() && focus->isActive(); }, waitLimit)) << c.name;
        QTest::qWait(300); // past the window's second look at what is active
        EXPECT_TRUE(focus->isVisible()) << c.name;
    }

    h.runSession(120);
    ASSERT_TRUE(h.app->session().isActive());
    chooseFromTrayMenu(tray, tray.quitAction());
    EXPECT_TRUE(waitUntil([&] { return !h.exits.isEmpty(); }, waitLimit));
    EXPECT_EQ(h.exits, QList<int>{0});
    EXPECT_FALSE(h.app->session().isActive());
    const QList<StoredSession> stored = h.history->allSessions();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].intention, QStringLiteral("Write the report"));
}

// Calls `shown` when one of our windows first shows.
class FirstWindowShown final : public QObject {
public:
    explicit FirstWindowShown(std::function<void()> shown) : m_shown(std::move(shown)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QQuickWindow*>(watched) && m_shown)
            std::exchange(m_shown, nullptr)();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_shown;
};

// Whatever a launch opens, the tray icon is drawn where the host placed it before any window shows: the tray host
// makes room for the icon at once, and that room shows as an empty square for as long as this thread is busy,
// building a window or waiting for a shown one's first frame. The host may size the icon again a moment after it was drawn (trayer gives it its panel's
// height), and the server then clears it; this thread, free once the launch has returned, draws it again with the
// events it already holds.
TEST(AppX11, TheTrayIconIsDrawnBeforeTheLaunchShowsAWindow) {
    struct Case {
        QStringList arguments;
        bool onboarded;
    };
    // Whether the icon shows on the screen now, read from the server.
    const auto iconShown = [](const std::optional<QRect>& icon) {
        if (!icon)
            return false;
        const QImage shown = QGuiApplication::primaryScreen()
                                 ->grabWindow(0, icon->x(), icon->y(), icon->width(), icon->height())
                                 .toImage();
        // An empty place is one colour; the icon's strokes differ from the ground around them.
        const QRgb ground = shown.pixel(0, 0);
        int strokes = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                strokes += shown.pixel(x, y) != ground ? 1 : 0;
        return strokes > shown.width() * shown.height() / 20;
    };
    for (const Case& c : {Case{{}, true}, Case{{}, false}, Case{{QStringLiteral("--launched-at-login")}, true}}) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString() + (c.onboarded ? "" : " (not onboarded)"));
        // The host lays its panel out again once the last case's icon has gone: that is over first.
        ASSERT_TRUE(waitUntil([] { return !trayIconWindow(); }, waitLimit));
        QTest::qWait(300);
        ShellAppHarness h(c.arguments, c.onboarded);
        std::optional<bool> shownBeforeWindow;
        FirstWindowShown firstWindow([&] { shownBeforeWindow = iconShown(h.app->tray().trayIconGeometry()); });
        h.app->start();
        ASSERT_TRUE(h.app->tray().trayIconGeometry()) << "not placed";
        EXPECT_NE(shownBeforeWindow, std::optional<bool>(false)) << "a window showed beside an empty square";
        // The grab's answer comes after every event the server sent before it: a later sizing by the host is
        // among the events this thread holds by then, and handling them (never waiting for more) draws it.
        bool shown = iconShown(h.app->tray().trayIconGeometry());
        for (int turn = 0; turn < 3 && !shown; ++turn) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            shown = iconShown(h.app->tray().trayIconGeometry());
        }
        EXPECT_TRUE(shown) << "an empty square";
        // Handling those events ran the launch set-up: what it opened comes up before the application ends, so
        // that the window manager is not left activating a window that is gone.
        ASSERT_TRUE(waitUntil([&] { return h.app->tray().isShown(); }, waitLimit));
        EXPECT_TRUE(waitUntil(
            [] {
                const QWindowList windows = QGuiApplication::topLevelWindows();
                const bool opened = std::any_of(windows.begin(), windows.end(), [](QWindow* window) {
                    return qobject_cast<QQuickWindow*>(window) && window->isVisible();
                });
                return !opened || QGuiApplication::focusWindow();
            },
            waitLimit));
    }
}
