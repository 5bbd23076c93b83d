// The tray label, the nudge panels and window raising on a real X server with openbox and a tray host.
#include "AppHarness.h"
#include "NudgeStandIns.h"
#include "SettingsScene.h"
#include "TrayIconClick.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/WindowGrowth.h"
#include "tavrine/ui/WindowRaising.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
#include <X11/extensions/shape.h>
#include <chrono>
#include <csignal>
#include <functional>
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

// Made at the nudge, or made while a session runs and drawn out of sight ahead of it (the nudge coming while that
// drawing is under way, or after): it shows, sounds once and stays, and the drawing ahead shows nothing.
TEST(ShellX11, TheNudgeCardShowsOnEveryDesktopWithoutTakingTheFocus) {
    QQuickWindow work;
    work.setTitle(QStringLiteral("Work"));
    work.resize(400, 300);
    work.show();
    work.requestActivate();
    const auto before = std::optional<platform::XWindowId>(platform::XWindowId(work.winId()));
    ASSERT_TRUE(waitUntil([&] { return work.isActive() && activeWindow() == before; }, waitLimit));

    for (const std::string made : {"at the nudge", "ahead, the nudge coming as it is drawn", "ahead, drawn"}) {
        SCOPED_TRACE(made);
        std::unique_ptr<QObject> background(made == "at the nudge" ? nullptr
                                                                   : ui::FirstFrameBackground::install(*qGuiApp));
        PresenterHarness h;
        shell::NudgePresenter& presenter = *h.presenter;
        if (made != "at the nudge") {
            presenter.prepare();
            QQuickWindow* card = presenter.cardPanel();
            ASSERT_TRUE(card);
            EXPECT_TRUE(ui::FirstFrameBackground::isDrawnAhead(*card));
            if (made == "ahead, drawn") {
                ASSERT_TRUE(
                    waitUntil([&] { return !card->isVisible() && !presenter.closePanel()->isVisible(); }, waitLimit));
                EXPECT_FALSE(ui::FirstFrameBackground::isDrawnAhead(*card));
            }
            EXPECT_EQ(h.sounds, 0);
        }
        presenter.presentNudge();
        QQuickWindow* card = presenter.cardPanel();
        ASSERT_TRUE(card);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(card));
        const QRect available = card->screen()->availableGeometry();
        // Qt may still hold the place the server first reported for a panel made just now.
        const QPoint corner(available.right() - 24, available.top() + 24);
        EXPECT_TRUE(waitUntil([&] { return card->geometry().topRight() == corner; }, waitLimit))
            << card->geometry().x() << "," << card->geometry().y();
        EXPECT_TRUE(presenter.closePanel()->isVisible());

        // The window manager takes the request in its own time, after the panel's mapping at the latest.
        for (QQuickWindow* panel : {card, presenter.closePanel()}) {
            QString desktop;
            EXPECT_TRUE(waitUntil(
                [&] {
                    desktop = programOutput(QStringLiteral("xprop"),
                                            {"-id", QString::number(panel->winId()), "_NET_WM_DESKTOP"});
                    return desktop.endsWith(QStringLiteral("= 4294967295"));
                },
                waitLimit))
                << desktop.toStdString();
        }
        // A moment for the window manager to act on the new panels: the focus stays where it was, and the panels
        // stay.
        QTest::qWait(300);
        EXPECT_EQ(activeWindow(), before);
        EXPECT_TRUE(work.isActive());
        EXPECT_TRUE(card->isVisible() && card->isExposed());
        EXPECT_TRUE(presenter.closePanel()->isVisible());
        EXPECT_EQ(h.sounds, 1);
        EXPECT_TRUE(h.qml.warnings().isEmpty()) << h.qml.warnings().join('\n').toStdString();
    }
}

TEST(ShellX11, AMinimisedWindowIsBroughtBackAndActivated) {
    // By its title from the main window, and by the shell's activation, which asks over Qt's own connection.
    const QList<std::pair<const char*, std::function<void(QQuickWindow&)>>> ways = {
        {"raiseWindow", [](QQuickWindow&) { ui::raiseWindow(QStringLiteral("History"), 8); }},
        {"WindowSet::activate", [](QQuickWindow& window) { shell::WindowSet::activate(&window); }},
    };
    for (const auto& [way, bringBack] : ways) {
        SCOPED_TRACE(way);
        // A window of its own for each way: Qt may go on taking a window brought back behind its back for
        // minimised, and would then not minimise it again.
        QQuickWindow history;
        history.setObjectName(QStringLiteral("history"));
        history.setTitle(QStringLiteral("History"));
        history.resize(500, 400);
        history.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&history));
        history.showMinimized();
        ASSERT_TRUE(
            waitUntil([&] { return platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); },
                      waitLimit));
        bringBack(history);
        EXPECT_TRUE(waitUntil([&] { return history.isActive(); }, waitLimit));
        EXPECT_TRUE(waitUntil(
            [&] { return !platform::X11Connection::shared()->isIconic(platform::XWindowId(history.winId())); },
            waitLimit));
    }
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

namespace {

// Over a connection of the test's own, without letting Qt's event loop run: Qt draws nothing meanwhile, so what
// shows is what the X server makes of the window by itself.
void flushQt() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
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

struct ServerState {
    // Nothing of the window is drawn: its shape is empty, or its frame's (the window manager gives a frame the shape
    // of the window in it when it gets to it).
    bool shapedOut = false;
    bool viewable = false;
};

ServerState serverState(const QWindow& window) {
    ServerState state;
    platform::X11Connection::shared()->withDisplay([&](Display* display) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, Window(window.winId()), &attributes))
            state.viewable = attributes.map_state == IsViewable;
        for (Window inner = Window(window.winId()); inner != DefaultRootWindow(display);) {
            int count = 0;
            int ordering = 0;
            if (XRectangle* rectangles = XShapeGetRectangles(display, inner, ShapeBounding, &count, &ordering))
                XFree(rectangles);
            state.shapedOut = state.shapedOut || count == 0;
            Window root = 0;
            Window* children = nullptr;
            unsigned int childCount = 0;
            if (!XQueryTree(display, inner, &root, &inner, &children, &childCount))
                break;
            if (children)
                XFree(children);
        }
    });
    return state;
}

// A window of the test's own beneath the others, beside Qt, in one colour that it changes on the spot.
struct Backdrop {
    explicit Backdrop(const QRect& area) {
        platform::X11Connection::shared()->withDisplay([&](Display* display) {
            XSetWindowAttributes attributes;
            attributes.override_redirect = True;
            attributes.background_pixel = 0xFF0000;
            window = XCreateWindow(display, DefaultRootWindow(display), area.x(), area.y(), area.width(), area.height(),
                                   0, CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                   &attributes);
            XMapWindow(display, window);
            // Beneath every other window.
            XLowerWindow(display, window);
            XSync(display, False);
        });
    }
    ~Backdrop() {
        platform::X11Connection::shared()->withDisplay([&](Display* display) {
            XDestroyWindow(display, window);
            XSync(display, False);
        });
    }
    void paint(QRgb colour) {
        platform::X11Connection::shared()->withDisplay([&](Display* display) {
            XSetWindowBackground(display, window, colour);
            XClearWindow(display, window);
            XSync(display, False);
        });
    }
    Window window = 0;
};

constexpr QRgb red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF, yellow = 0xFFFF00;

// Lets Qt handle what it has pending, one round at a time, until `done` (checked between rounds).
bool stepUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > qint64(waitLimit * 1000))
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

// A window comes on screen drawn, frameless or framed by the window manager, the first time and again: until Qt
// has drawn it, the screen shows what lies beneath as it is now (never a still picture of it, a frame around a
// hole or a bare colour), and from the moment the window manager shows it, its content, before Qt draws again.
TEST(ShellX11, AWindowComesOnScreenDrawn) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    struct Case {
        const char* name;
        Qt::WindowFlags flags;
        bool keepsGraphics;
    };
    for (const Case c :
         {Case{"frameless", Qt::Tool | Qt::FramelessWindowHint, true}, Case{"framed", Qt::Window, false}}) {
        const QRect area(200, 200, 400, 300);
        Backdrop backdrop(area.adjusted(-60, -60, 60, 60));
        QmlHarness qml;
        QQuickWindow window;
        window.setFlags(c.flags);
        window.setPersistentGraphics(c.keepsGraphics);
        window.setPersistentSceneGraph(c.keepsGraphics);
        window.setColor(Qt::gray);
        window.setGeometry(area);
        std::unique_ptr<QObject> made =
            qml.createFromText("import QtQuick\nRectangle { width: 400; height: 300; color: '#0000ff' }\n");
        auto* content = qobject_cast<QQuickItem*>(made.get());
        ASSERT_TRUE(content);
        content->setParentItem(window.contentItem());
        const QPoint inside = area.center();
        for (const std::string show :
             {"first show", "shown again", "drawn ahead, then shown", "shown while being drawn ahead"}) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << show);
            if (show.starts_with("drawn ahead")) {
                // Drawn once and gone again, unseen.
                backdrop.paint(green);
                ui::FirstFrameBackground::drawAhead(window);
                bool seen = false;
                ASSERT_TRUE(stepUntil([&] {
                    seen = seen || screenPixel(inside) != green;
                    return !window.isVisible();
                })) << "never hidden again";
                EXPECT_FALSE(seen);
            } else if (show.starts_with("shown while")) {
                ui::FirstFrameBackground::drawAhead(window);
                ui::FirstFrameBackground::showAfterAll(window);
            }
            backdrop.paint(red);
            window.show();
            flushQt();
            // Mapped, and not drawn: what lies beneath changes, and shows.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            backdrop.paint(green);
            EXPECT_EQ(screenPixel(inside), green);
            // Drawn out of sight, then shown: at that moment, with Qt held, it shows its content.
            bool hidden = false;
            ASSERT_TRUE(stepUntil([&] {
                const ServerState state = serverState(window);
                hidden = hidden || state.shapedOut;
                return hidden && !state.shapedOut;
            })) << "never shown";
            for (int tries = 0; tries < 500 && !serverState(window).viewable; ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_EQ(screenPixel(inside), blue);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            EXPECT_TRUE(waitUntil([&] { return screenPixel(inside) == blue; }, waitLimit));
            window.hide();
            // Nothing comes in its place: the still picture that held it goes, and what lies beneath shows again.
            EXPECT_TRUE(waitUntil([&] { return screenPixel(inside) == green; }, waitLimit));
        }
        content->setParentItem(nullptr);
        EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
    }
}

namespace {

// The desktop's window manager (this display's openbox), stopped until the answer goes.
std::shared_ptr<pid_t> stopWindowManager() {
    const QByteArray display = "DISPLAY=" + qgetenv("DISPLAY");
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile name(QStringLiteral("/proc/%1/comm").arg(entry));
        QFile environment(QStringLiteral("/proc/%1/environ").arg(entry));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "openbox" &&
            environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(display)) {
            ::kill(entry.toInt(), SIGSTOP);
            return std::shared_ptr<pid_t>(new pid_t(entry.toInt()), [](pid_t* pid) {
                ::kill(*pid, SIGCONT);
                delete pid;
            });
        }
    }
    return {};
}

} // namespace

// A window that gives way to a framed one holds its place until the window manager has put the new one on screen,
// frame and all, however long it takes: never the bare desktop between the two, nor the frame over the old one.
TEST(ShellX11, AWindowGivesWayWithoutABareDesktop) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    const QRect area(200, 200, 400, 300);
    Backdrop backdrop(area.adjusted(-60, -60, 60, 60));
    backdrop.paint(green);
    QmlHarness qml;
    QQuickWindow leaving;
    QQuickWindow coming;
    std::vector<std::unique_ptr<QObject>> contents;
    for (auto [window, flags, colour] : {std::tuple{&leaving, Qt::Tool | Qt::FramelessWindowHint, "red"},
                                         std::tuple{&coming, Qt::WindowFlags(Qt::Window), "blue"}}) {
        window->setFlags(flags);
        window->setGeometry(area);
        contents.push_back(qml.createFromText(
            QByteArray("import QtQuick\nRectangle { width: 400; height: 300; color: '") + colour + "' }\n"));
        qobject_cast<QQuickItem*>(contents.back().get())->setParentItem(window->contentItem());
    }
    const QPoint inside = area.center();
    leaving.show();
    ASSERT_TRUE(waitUntil([&] { return screenPixel(inside) == red; }, waitLimit));

    std::shared_ptr<pid_t> manager = stopWindowManager();
    ASSERT_TRUE(manager);
    bool shown = false;
    QObject::connect(static_cast<ui::FirstFrameBackground*>(background.get()), &ui::FirstFrameBackground::shown,
                     &coming, [&](QWindow* window) { shown = shown || window == &coming; });
    int bare = 0;
    const auto bareNow = [&] { bare += screenPixel(inside) == green ? 1 : 0; };
    ui::FirstFrameBackground::expectReplacement();
    leaving.hide();
    coming.show();
    ASSERT_TRUE(stepUntil([&] {
        bareNow();
        return shown;
    })) << "never drawn";
    // Handed to the window manager, which takes its time.
    QElapsedTimer held;
    held.start();
    stepUntil([&] {
        bareNow();
        return held.elapsed() > 300;
    });
    manager.reset();
    // Mapped while the application is busy: nothing of the new window shows yet, its frame's title bar neither.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(screenPixel(inside), red);
    EXPECT_EQ(screenPixel(area.topLeft() + QPoint(200, -6)), green) << "the frame shows over the old picture";
    EXPECT_TRUE(stepUntil([&] {
        bareNow();
        return screenPixel(inside) == blue;
    }));
    EXPECT_EQ(bare, 0) << "the bare desktop showed";
    coming.hide();
    for (QQuickWindow* window : {&leaving, &coming})
        window->contentItem()->childItems().first()->setParentItem(nullptr);
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}

// A shown window that changes height with its content never shows the new content cut to the old height, nor the
// old content beside the new: the screen holds what it showed until the window is drawn at its new height.
TEST(ShellX11, AWindowChangesHeightOutOfSight) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    const QRect area(300, 300, 160, 120);
    Backdrop backdrop(QRect(area.topLeft() - QPoint(40, 40), QSize(240, 400)));
    backdrop.paint(green);
    QmlHarness qml;
    QQuickWindow window;
    window.setFlags(Qt::Tool | Qt::FramelessWindowHint);
    window.setGeometry(area);
    // Red over blue; the top turns yellow as the window grows.
    std::unique_ptr<QObject> made = qml.createFromText("import QtQuick\n"
                                                       "Item {\n"
                                                       "    property bool grown: false\n"
                                                       "    width: 160; height: grown ? 240 : 120\n"
                                                       "    Rectangle { width: 160; height: 60; color: grown ? "
                                                       "'#ffff00' : '#ff0000' }\n"
                                                       "    Rectangle { y: 60; width: 160; height: parent.height - 60; "
                                                       "color: '#0000ff' }\n"
                                                       "}\n");
    auto* panel = qobject_cast<QQuickItem*>(made.get());
    ASSERT_TRUE(panel);
    panel->setParentItem(window.contentItem());
    ui::WindowGrowth growth;
    growth.setWindow(&window);
    growth.setWantedHeight(120);
    EXPECT_EQ(growth.height(), 120) << "a hidden window takes its height at once";
    QObject::connect(&growth, &ui::WindowGrowth::heightChanged, &window,
                     [&] { window.resize(160, qRound(growth.height())); });
    window.show();
    const QPoint top = area.topLeft() + QPoint(80, 30);
    const QPoint band = area.topLeft() + QPoint(80, 200);
    ASSERT_TRUE(waitUntil([&] { return screenPixel(top) == red && screenPixel(band) == green; }, waitLimit));

    panel->setProperty("grown", true);
    growth.setWantedHeight(240);
    EXPECT_EQ(growth.height(), 240);
    flushQt();
    EXPECT_EQ(screenPixel(top), red) << "the old content stays";
    QList<std::pair<QRgb, QRgb>> seen;
    EXPECT_TRUE(stepUntil([&] {
        const std::pair<QRgb, QRgb> shown{screenPixel(top), screenPixel(band)};
        if (seen.isEmpty() || seen.last() != shown)
            seen << shown;
        return shown == std::pair<QRgb, QRgb>{yellow, blue};
    }));
    for (const auto& [atTop, inBand] : seen)
        EXPECT_TRUE((atTop == red && inBand == green) || (atTop == yellow && inBand == blue))
            << std::hex << atTop << " over " << inBand;

    // Shrinking likewise.
    panel->setProperty("grown", false);
    growth.setWantedHeight(120);
    EXPECT_EQ(screenPixel(band), blue) << "the taller content stays until drawn shorter";
    EXPECT_TRUE(stepUntil([&] { return screenPixel(top) == red && screenPixel(band) == green; }));
    panel->setParentItem(nullptr);
    EXPECT_TRUE(qml.warnings().isEmpty()) << qml.warnings().join('\n').toStdString();
}

namespace {

// The share of the pixels of `area` on the screen that match `picture` (drawn at the area's top left).
double shownAsDrawn(const QImage& picture, const QRect& area) {
    QImage shown;
    platform::X11Connection::shared()->withDisplay([&](Display* display) {
        if (XImage* image = XGetImage(display, DefaultRootWindow(display), area.x(), area.y(), area.width(),
                                      area.height(), AllPlanes, ZPixmap)) {
            shown = QImage(area.size(), QImage::Format_RGB32);
            for (int y = 0; y < area.height(); ++y)
                for (int x = 0; x < area.width(); ++x)
                    shown.setPixel(x, y, XGetPixel(image, x, y) | 0xFF000000u);
            XDestroyImage(image);
        }
    });
    const QImage drawn = picture.convertToFormat(QImage::Format_RGB32);
    if (shown.isNull() || drawn.size() != shown.size())
        return 0;
    qint64 same = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            same += (drawn.pixel(x, y) & 0xFFFFFF) == (shown.pixel(x, y) & 0xFFFFFF) ? 1 : 0;
    return double(same) / (double(drawn.width()) * drawn.height());
}

} // namespace

// The main window that a session's end or the onboarding's first start opens maps on the screen the session's
// state shows (the recap, the running session; never the setup it replaced), drawn: from the moment it shows,
// before Qt draws it again, the screen shows what the window draws.
TEST(ShellX11, TheMainWindowMapsOnTheScreenItsStateShows) {
    std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
    ASSERT_TRUE(background);
    struct Case {
        const char* name;
        bool onboarded;
        int screen; // MainWindowModel::Screen
    };
    for (const Case c : {Case{"a countdown's end", true, 2}, Case{"the first start from the Ready page", false, 1}}) {
        SCOPED_TRACE(c.name);
        ShellAppHarness h({}, c.onboarded);
        h.start();
        QQuickWindow* focus = h.app->windows().window(QStringLiteral("focus"));
        ASSERT_TRUE(focus);
        // The moment it goes on screen, Qt held: the state it shows, and what the screen shows of it.
        struct Shown {
            int screen;
            double asDrawn;
        };
        std::optional<Shown> shownAt;
        bool watching = false;
        const QMetaObject::Connection watch = QObject::connect(
            static_cast<ui::FirstFrameBackground*>(background.get()), &ui::FirstFrameBackground::shown, focus,
            [&](QWindow* window) {
                if (window != focus || !watching || shownAt)
                    return;
                // Long enough for the window manager to take the window's frame's shape from it.
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                QQuickItem* content = findItem(focus, QStringLiteral("contentView"));
                const qreal ratio = focus->devicePixelRatio();
                shownAt =
                    Shown{content ? content->property("screen").toInt() : -1,
                          shownAsDrawn(focus->grabWindow(), QRect(focus->position() * ratio, focus->size() * ratio))};
            },
            Qt::DirectConnection);
        if (c.onboarded) {
            ASSERT_TRUE(waitUntil([&] { return focus->isVisible() && focus->isExposed(); }, waitLimit));
            h.runSession(1);
            h.app->opener().closeFocusWindow();
            ASSERT_TRUE(waitUntil([&] { return !serverState(*focus).viewable; }, waitLimit));
            watching = true;
            // The countdown reaches zero: the window opens on the recap.
            h.clock.advance(h.app->session().minutes() * 60.0);
            ManualClock::pump();
        } else {
            QQuickWindow* onboarding = h.app->windows().existingWindow(QStringLiteral("onboarding"));
            ASSERT_TRUE(onboarding && waitUntil([&] { return onboarding->isExposed(); }, waitLimit));
            h.app->onboardingFlow().setIntention(QStringLiteral("Write the report"));
            watching = true;
            h.app->onboardingFlow().finish(true);
            ASSERT_TRUE(h.app->session().isActive());
        }
        ASSERT_TRUE(waitUntil(
            [&] {
                ManualClock::pump();
                return shownAt.has_value();
            },
            waitLimit))
            << "never shown";
        EXPECT_EQ(shownAt->screen, c.screen);
        EXPECT_GE(shownAt->asDrawn, 0.98);
        QObject::disconnect(watch);
    }
}
