// The tray label, the nudge panels and window raising on a real X server with openbox and a tray host.
#include "AppHarness.h"
#include "NudgeStandIns.h"
#include "SettingsScene.h"
#include "TrayIconClick.h"
#include "support/QmlTestSupport.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/WindowGrowth.h"
#include "tavrine/ui/WindowRaising.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <xcb/xcb.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

std::optional<platform::XWindowId> activeWindow() {
    return platform::X11Connection::shared()->activeWindow();
}

} // namespace

TEST(ShellX11, TheTrayIconDocksTopRightAndAClickReachesTheLabel) {
    // The desktop's tray host (trayer) docks icons at the top right.
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, waitLimit));
    SessionHarness h;
    int clicks = 0;
    shell::TrayStatusLabel label(*h.session, {{}, [&] { ++clicks; }, {}, {}});
    label.show();
    const std::optional<QRect> docked = settledTrayIcon(label, waitLimit);
    ASSERT_TRUE(docked);
    const QRect icon = *docked;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_GT(icon.left(), screen.right() - 200) << icon.x();
    EXPECT_LT(icon.top(), 24);

    ASSERT_TRUE(clickTrayIcon(waitLimit));
    EXPECT_TRUE(waitUntil([&] { return clicks == 1; }, waitLimit));
}

TEST(ShellX11, TheNudgeCardShowsOnEveryDesktopWithoutTakingTheFocus) {
    QQuickWindow work;
    work.setTitle(QStringLiteral("Work"));
    work.resize(400, 300);
    work.show();
    work.requestActivate();
    const auto before = std::optional<platform::XWindowId>(platform::XWindowId(work.winId()));
    ASSERT_TRUE(waitUntil([&] { return work.isActive() && activeWindow() == before; }, waitLimit));

    PresenterHarness h;
    shell::NudgePresenter& presenter = *h.presenter;
    presenter.presentNudge();
    QQuickWindow* card = presenter.cardPanel();
    ASSERT_TRUE(card);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(card));
    const QRect available = card->screen()->availableGeometry();
    EXPECT_EQ(card->geometry().topRight(), QPoint(available.right() - 24, available.top() + 24));
    EXPECT_TRUE(presenter.closePanel()->isVisible());

    for (QQuickWindow* panel : {card, presenter.closePanel()}) {
        const QString desktop =
            programOutput(QStringLiteral("xprop"), {"-id", QString::number(panel->winId()), "_NET_WM_DESKTOP"});
        EXPECT_TRUE(desktop.endsWith(QStringLiteral("= 4294967295"))) << desktop.toStdString();
    }
    // A moment for the window manager to act on the new panels: the focus stays where it was.
    QTest::qWait(300);
    EXPECT_EQ(activeWindow(), before);
    EXPECT_TRUE(work.isActive());
    EXPECT_EQ(h.sounds, 1);
    EXPECT_TRUE(h.qml.warnings().isEmpty()) << h.qml.warnings().join('\n').toStdString();
}

TEST(ShellX11, AMinimisedWindowIsBroughtBackAndActivated) {
    QQuickWindow history;
    history.setObjectName(QStringLiteral("history"));
    history.setTitle(QStringLiteral("History"));
    history.resize(500, 400);
    history.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&history));
    history.showMinimized();
    ASSERT_TRUE(waitUntil(
        [&] { return platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); }, waitLimit));
    ui::raiseWindow(QStringLiteral("History"), 8);
    EXPECT_TRUE(waitUntil([&] { return history.isActive(); }, waitLimit));
    EXPECT_TRUE(waitUntil(
        [&] { return !platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); }, waitLimit));
}

TEST(ShellX11, TheSettingsWindowGrowsWithItsForm) {
    // The window manager refuses a height above the maximum it last saw; a form that grows must still get its
    // whole height, or it is drawn off from where the pointer lands.
    SettingsWindowScene s;
    s.h.observer->setPermissions(false, true);
    QQuickWindow* window = s.window;
    ASSERT_TRUE(window);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QQuickItem* form = s.item("settingsContent");
    ASSERT_TRUE(form);
    ASSERT_TRUE(
        waitUntil([&] { return serverWindow(window).frame.height() == qRound(form->implicitHeight()); }, waitLimit));

    const qreal before = form->implicitHeight();
    s.click("accessibilityEnable");
    ASSERT_TRUE(waitUntil([&] { return form->implicitHeight() > before; }, waitLimit)) << "the restart caption";
    EXPECT_TRUE(
        waitUntil([&] { return serverWindow(window).frame.height() == qRound(form->implicitHeight()); }, waitLimit))
        << serverWindow(window).frame.height() << " for a form of " << form->implicitHeight();
    EXPECT_TRUE(waitUntil([&] { return window->height() == qRound(form->implicitHeight()); }, waitLimit));
    EXPECT_TRUE(s.harness.warnings().isEmpty()) << s.harness.warnings().join('\n').toStdString();
}

TEST(ShellX11, AWindowShowsItsOwnColourWhereItHasNotDrawnYet) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    // A window that never draws: it shows only what the X server fills it with, also where it grows.
    QWindow window;
    window.resize(160, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRgb expected = QGuiApplication::palette().color(QPalette::Window).rgb() & 0xFFFFFF;
    const auto shown = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
    ASSERT_TRUE(waitUntil([&] { return !shown().isNull(); }, waitLimit));
    EXPECT_EQ(shown().pixel(80, 60) & 0xFFFFFF, expected);
    window.resize(320, 240);
    ASSERT_TRUE(waitUntil([&] { return shown().size() == QSize(320, 240); }, waitLimit));
    EXPECT_EQ(shown().pixel(300, 220) & 0xFFFFFF, expected);
}

namespace {

// Over a connection of the test's own, without letting Qt's event loop run: Qt draws nothing meanwhile, so what
// shows is what the X server fills the window with.
void flushQt() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
}

std::optional<QRect> viewableFrame(const QWindow& window, const QSize& size) {
    platform::X11Connection* x11 = platform::X11Connection::shared();
    for (int tries = 0; tries < 500; ++tries) {
        const auto placement = x11->placement(platform::XWindowId(window.winId()));
        if (placement && placement->viewable && placement->rect.size() == size)
            return placement->rect;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

QRgb screenPixel(const QPoint& point) {
    QRgb pixel = 0;
    platform::X11Connection::shared()->withDisplay([&](Display* display) {
        if (XImage* image =
                XGetImage(display, DefaultRootWindow(display), point.x(), point.y(), 1, 1, AllPlanes, ZPixmap)) {
            pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
        }
    });
    return pixel;
}

} // namespace

TEST(ShellX11, AQuickWindowMapsAndGrowsWithItsContentAlreadyDrawn) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    QmlHarness qml;
    QQuickWindow window;
    window.setColor(Qt::gray);
    window.setGeometry(300, 300, 160, 120);
    // Red over blue: a window drawn, unlike the grey the X server would fill it with.
    std::unique_ptr<QObject> made = qml.createFromText("import QtQuick\n"
                                                       "Item {\n"
                                                       "    width: 160; height: 120\n"
                                                       "    Rectangle { width: 160; height: 60; color: '#ff0000' }\n"
                                                       "    Rectangle { y: parent.height - 60; width: 160; height: 60; "
                                                       "color: '#0000ff' }\n"
                                                       "}\n");
    auto* panel = qobject_cast<QQuickItem*>(made.get());
    ASSERT_TRUE(panel);
    panel->setParentItem(window.contentItem());

    ui::WindowGrowth growth;
    growth.setWindow(&window);
    growth.setSource(panel);
    growth.setWantedHeight(120);
    EXPECT_EQ(growth.height(), 120) << "a hidden window takes its height at once";

    // It maps showing its content, not its bare colour, before Qt has drawn anything.
    window.show();
    flushQt();
    const std::optional<QRect> mapped = viewableFrame(window, QSize(160, 120));
    ASSERT_TRUE(mapped);
    EXPECT_EQ(screenPixel(mapped->topLeft() + QPoint(80, 30)), 0xFF0000u);
    EXPECT_EQ(screenPixel(mapped->topLeft() + QPoint(80, 90)), 0x0000FFu);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Growing, it shows its new content where it grows, from the moment it is taller.
    std::optional<QRgb> grown;
    QObject::connect(&growth, &ui::WindowGrowth::heightChanged, &window, [&] {
        window.resize(160, qRound(growth.height()));
        flushQt();
        if (const std::optional<QRect> frame = viewableFrame(window, QSize(160, 240)))
            grown = screenPixel(frame->topLeft() + QPoint(80, 210));
    });
    panel->setHeight(240);
    growth.setWantedHeight(240);
    EXPECT_EQ(growth.height(), 120) << "the window grows once the taller content is drawn";
    ASSERT_TRUE(waitUntil([&] { return growth.height() == 240; }, waitLimit));
    ASSERT_TRUE(grown);
    EXPECT_EQ(*grown, 0x0000FFu);

    // Shrinking takes no drawing ahead.
    growth.setWantedHeight(100);
    EXPECT_EQ(growth.height(), 100);
    panel->setParentItem(nullptr);
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}
