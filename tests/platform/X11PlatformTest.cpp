#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/X11Compositing.h"
#include "tavrine/platform/X11WindowGrabber.h"
#include "tavrine/platform/X11Workspace.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/platform/x11/X11RootWatcher.h"

#include "TestWindowProcess.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

// Xlib's macros (None, Bool, Status) clash with other headers: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::platform;
using tavrine::test::TestWindowProcess;

namespace {

// A limit of real time for what the window manager and the other processes do: generous, because these tests run
// on busy machines under a sanitizer; a wait ends as soon as its condition holds.
constexpr double waitLimit = 30.0;

// The active window once it belongs to `pid`.
std::optional<XWindowId> activeWindowOf(X11Connection& x11, qint32 pid, double seconds = waitLimit) {
    std::optional<XWindowId> found;
    test::waitUntil(
        [&] {
            const auto active = x11.activeWindow();
            if (active && x11.windowPid(*active) == pid)
                found = active;
            return found.has_value();
        },
        seconds);
    return found;
}

// Where two images of one size differ, for a failure message.
std::string difference(const QImage& expected, const QImage& actual) {
    if (expected.size() != actual.size())
        return "sizes differ";
    QRect area;
    qsizetype count = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (expected.pixel(x, y) != actual.pixel(x, y)) {
                area |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    return QStringLiteral("%1 pixels differ within %2x%3 at %4,%5")
        .arg(count)
        .arg(area.width())
        .arg(area.height())
        .arg(area.x())
        .arg(area.y())
        .toStdString();
}

// At exit: the thread that ends the process.
void sayWhichThreadEnds() {
    const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
    std::fputs(main ? "ended on the main thread\n" : "ended on another thread\n", stderr);
}

} // namespace

TEST(X11Platform, ReadsTheActiveWindowItsOwnerAndItsIdentity) {
    X11Connection& x11 = *X11Connection::shared();
    TestWindowProcess window(QStringLiteral("Harbour report \u2014 viewer"), {QStringLiteral("Harbour inspection")});
    ASSERT_TRUE(window.isReady());
    const auto active = activeWindowOf(x11, window.pid());
    ASSERT_TRUE(active);
    EXPECT_EQ(x11.windowTitle(*active), QStringLiteral("Harbour report \u2014 viewer"));
    EXPECT_TRUE(x11.isNormalWindow(*active));
    EXPECT_TRUE(x11.isViewable(*active));
    EXPECT_FALSE(x11.isIconic(*active));
    EXPECT_EQ(x11.rootGeometry(*active)->size(), QSize(900, 700));
    EXPECT_NE(x11.topLevelAncestor(*active), active) << "the window manager frames it";
    const auto windowClass = x11.windowClass(*active);
    ASSERT_TRUE(windowClass);
    ASSERT_FALSE(windowClass->className.isEmpty());

    // Without a desktop file the class is the id; with one whose StartupWMClass matches, the file names it.
    EXPECT_EQ(X11Workspace().frontmostApplication(),
              (ApplicationInfo{window.pid(), windowClass->className, windowClass->className}));
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile desktop(applications + QStringLiteral("/org.example.Harbour.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nName=Harbour Viewer\nStartupWMClass=" + windowClass->className.toUtf8() + "\n");
    desktop.close();
    X11Workspace workspace;
    EXPECT_EQ(workspace.frontmostApplication(),
              (ApplicationInfo{window.pid(), QStringLiteral("org.example.Harbour"), QStringLiteral("Harbour Viewer")}));
    const QList<WindowInfo> windows = workspace.windows(window.pid());
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows.first().id, *active);
    EXPECT_TRUE(windows.first().onScreen);
    EXPECT_EQ(workspace.runningApplication(window.pid())->bundleIdentifier, QStringLiteral("org.example.Harbour"));
    EXPECT_FALSE(workspace.runningApplication(0x7ffffff0));

    // The identity belongs to the window and its class, which may change after the window maps; a title of any
    // length is cut to what judging needs.
    x11.withDisplay([&](_XDisplay* display) {
        XClassHint hint{const_cast<char*>("writer"), const_cast<char*>("Writer")};
        XSetClassHint(display, *active, &hint);
        const QByteArray title(1 << 20, 'x');
        XChangeProperty(display, *active, XInternAtom(display, "_NET_WM_NAME", False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.constData()), int(title.size()));
        XSync(display, False);
    });
    EXPECT_EQ(workspace.frontmostApplication(),
              (ApplicationInfo{window.pid(), QStringLiteral("Writer"), QStringLiteral("Writer")}));
    EXPECT_EQ(workspace.windowApplication(*active), workspace.frontmostApplication());
    EXPECT_EQ(workspace.window(*active)->title, QString(300, QLatin1Char('x')));

    // As a Tk window: the generic class and no pid of its own (the X server knows its client). The program names
    // it, and once a desktop file starts that program, the file does.
    x11.withDisplay([&](_XDisplay* display) {
        XClassHint hint{const_cast<char*>("!listedtoplevel"), const_cast<char*>("Toplevel")};
        XSetClassHint(display, *active, &hint);
        XDeleteProperty(display, *active, XInternAtom(display, "_NET_WM_PID", False));
        XSync(display, False);
    });
    const QString program = QStringLiteral("tavrine-test-window");
    EXPECT_EQ(workspace.frontmostApplication(), (ApplicationInfo{window.pid(), program, program}));
    QFile quay(applications + QStringLiteral("/org.example.Quay.desktop"));
    ASSERT_TRUE(quay.open(QIODevice::WriteOnly));
    quay.write("[Desktop Entry]\nName=Quay Window\nExec=" + program.toUtf8() + " --title %f\n");
    quay.close();
    EXPECT_EQ(X11Workspace().frontmostApplication(),
              (ApplicationInfo{window.pid(), QStringLiteral("org.example.Quay"), QStringLiteral("Quay Window")}));
}

TEST(X11Platform, ABrokenConnectionEndsTheProcessOnceAndOnTheMainThread) {
    // Qt's connection, found broken on another thread: the main thread ends the process, where the running session
    // is stored on the way out, and no other thread does meanwhile.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const X11Connection ours;
    EXPECT_EXIT(
        {
            std::atexit(sayWhichThreadEnds);
            Display* qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
            const XIOErrorHandler handler = XSetIOErrorHandler(nullptr);
            XSetIOErrorHandler(handler);
            std::thread([handler, qt] { handler(qt); }).detach();
            QCoreApplication::exec();
        },
        testing::ExitedWithCode(1), "ended on the main thread");

    // A connection of ours to a server that goes away: every later call, on any thread, reports nothing.
    QProcess server;
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ASSERT_TRUE(
        test::waitUntil([&] { return server.canReadLine() || server.state() == QProcess::NotRunning; }, waitLimit));
    X11Connection lost(":" + server.readLine().trimmed());
    ASSERT_TRUE(lost.isOpen());
    ASSERT_FALSE(lost.screenRect().isEmpty());
    server.kill();
    server.waitForFinished();
    std::optional<QRect> fromWorker = QRect(0, 0, 1, 1);
    std::thread([&] { fromWorker = lost.rootGeometry(lost.root()); }).join();
    EXPECT_FALSE(fromWorker);
    EXPECT_FALSE(lost.rootGeometry(lost.root()));
    EXPECT_TRUE(lost.clientListStacking().isEmpty());
}

TEST(X11Platform, AWindowThatIsGoneHasNoOwnerEvenWhileItsClientLives) {
    // A client of our own: the ids of its destroyed windows still fall in its id range.
    X11Connection client;
    ASSERT_TRUE(client.isOpen());
    unsigned long created = 0;
    client.withDisplay([&](_XDisplay* display) {
        created = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        long pid = long(::getpid());
        XChangeProperty(display, created, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pid), 1);
    });
    X11Connection& x11 = *X11Connection::shared();
    EXPECT_EQ(x11.windowPid(XWindowId(created)), qint32(::getpid()));
    client.withDisplay([&](_XDisplay* display) { XDestroyWindow(display, created); });
    EXPECT_EQ(x11.windowPid(XWindowId(created)), std::nullopt);
    EXPECT_EQ(x11.windowTitle(XWindowId(created)), QString());
    EXPECT_EQ(x11.rootGeometry(XWindowId(created)), std::nullopt);
}

TEST(X11Platform, ActivatesWindowsAndWatchesTheRoot) {
    X11Connection& x11 = *X11Connection::shared();
    X11RootWatcher watcher;
    ASSERT_TRUE(watcher.isWatching());
    const quint32 activeWindow = watcher.atom("_NET_ACTIVE_WINDOW");
    watcher.watchProperty(activeWindow);
    int activeChanges = 0;
    QObject::connect(&watcher, &X11RootWatcher::rootPropertyChanged,
                     [&](quint32 atom) { activeChanges += atom == activeWindow ? 1 : 0; });

    TestWindowProcess first(QStringLiteral("First window"), {QStringLiteral("first")});
    ASSERT_TRUE(first.isReady());
    const auto firstWindow = activeWindowOf(x11, first.pid());
    ASSERT_TRUE(firstWindow);
    TestWindowProcess second(QStringLiteral("Second window"), {QStringLiteral("second")}, true);
    ASSERT_TRUE(second.isReady());
    ASSERT_TRUE(activeWindowOf(x11, second.pid()));
    EXPECT_TRUE(test::waitUntil([&] { return activeChanges >= 2; }, waitLimit));

    EXPECT_EQ(x11.activate(*firstWindow), 0);
    EXPECT_TRUE(activeWindowOf(x11, first.pid()));

    // A minimised window comes back on activation.
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), QString::number(*firstWindow)});
    ASSERT_TRUE(test::waitUntil([&] { return x11.isIconic(*firstWindow); }, waitLimit));
    EXPECT_EQ(x11.activate(*firstWindow), 0);
    EXPECT_TRUE(activeWindowOf(x11, first.pid()));
    EXPECT_TRUE(
        test::waitUntil([&] { return !x11.isIconic(*firstWindow) && x11.isViewable(*firstWindow); }, waitLimit));

    // A window that does not exist: X11's BadWindow.
    EXPECT_EQ(x11.activate(0x3fffff0), 3);
}

// A client that invents root properties by the thousand: the watcher tells only the properties it watches, each
// change with whether the property is there, and misses none that comes in while a handler reads the server.
TEST(X11Platform, TheRootWatcherTellsOnlyItsPropertiesAmongAFloodOfInventedOnes) {
    X11RootWatcher watcher;
    ASSERT_TRUE(watcher.isWatching());
    X11Connection client;
    ASSERT_TRUE(client.isOpen());
    const QByteArray suffix = QByteArray::number(::getpid());
    const QByteArray first = "TAVRINE_TEST_FIRST_" + suffix;
    const QByteArray second = "TAVRINE_TEST_SECOND_" + suffix;
    const quint32 firstAtom = watcher.atom(first.constData());
    const quint32 secondAtom = watcher.atom(second.constData());
    watcher.watchProperty(firstAtom);
    watcher.watchProperty(secondAtom);
    const auto change = [&](const QByteArray& name, bool set) {
        client.withDisplay([&](_XDisplay* display) {
            const Atom atom = XInternAtom(display, name.constData(), False);
            const unsigned char value = 1;
            if (set)
                XChangeProperty(display, DefaultRootWindow(display), atom, XA_CARDINAL, 8, PropModeReplace, &value, 1);
            else
                XDeleteProperty(display, DefaultRootWindow(display), atom);
        });
    };
    QList<std::pair<quint32, bool>> seen;
    QObject::connect(&watcher, &X11RootWatcher::rootPropertyChanged, [&](quint32 atom, bool present) {
        seen.append({atom, present});
        // The second one's deletion reaches the server while this handler waits for an answer on the same
        // connection.
        if (atom == firstAtom && present) {
            change(second, false);
            EXPECT_TRUE(watcher.rootHasProperty(firstAtom));
        }
    });
    change(second, true);
    for (int i = 0; i < 2000; ++i)
        change("TAVRINE_TEST_INVENTED_" + suffix + "_" + QByteArray::number(i), true);
    change(first, true);
    ASSERT_TRUE(test::waitUntil([&] { return seen.size() >= 2; }, waitLimit));
    for (int i = 0; i < 2000; ++i)
        change("TAVRINE_TEST_INVENTED_" + suffix + "_" + QByteArray::number(i), false);
    change(first, false);
    const QList<std::pair<quint32, bool>> expected{
        {secondAtom, true}, {firstAtom, true}, {secondAtom, false}, {firstAtom, false}};
    EXPECT_TRUE(test::waitUntil([&] { return seen.size() >= expected.size(); }, waitLimit));
    test::waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(watcher.rootHasProperty(firstAtom));
}

TEST(X11Platform, GrabsTheClientAreaWithAndWithoutACompositorAsTheWatcherSeesIt) {
    X11Connection& x11 = *X11Connection::shared();
    TestWindowProcess window(QStringLiteral("Plain window"), {QStringLiteral("Crane maintenance")}, true);
    ASSERT_TRUE(window.isReady());
    const auto id = activeWindowOf(x11, window.pid());
    ASSERT_TRUE(id);
    // The grabber reads the compositing as the desktop's watcher sees it.
    X11Compositing compositing;
    ASSERT_TRUE(compositing.isFollowing());
    X11WindowGrabber grabber(nullptr, compositing.compositorRunningSource());
    ASSERT_FALSE(x11.compositorRunning());
    EXPECT_FALSE(compositing.compositorRunning());

    // A blur effect announces itself on the root and goes again, each change told once.
    int blurChanges = 0;
    QObject::connect(&compositing, &DesktopCompositing::blurAnnouncedChanged, [&] { ++blurChanges; });
    for (const bool on : {true, false, true, false}) {
        x11.withDisplay([&](_XDisplay* display) {
            const Atom blur = XInternAtom(display, X11Compositing::blurAnnouncement, False);
            if (on)
                XChangeProperty(display, DefaultRootWindow(display), blur, XA_CARDINAL, 32, PropModeReplace, nullptr,
                                0);
            else
                XDeleteProperty(display, DefaultRootWindow(display), blur);
        });
        EXPECT_TRUE(test::waitUntil([&] { return compositing.blurAnnounced() == on; }, waitLimit)) << on;
    }
    EXPECT_EQ(blurChanges, 4);
    // A window asks for the blur before it exists: the request lands once it does.
    QWindow asking;
    asking.resize(40, 40);
    compositing.requestBlurBehind(&asking);
    asking.create();
    const auto asksForBlur = [&] {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(asking.winId()),
                                              QString::fromLatin1(X11Compositing::blurAnnouncement)});
        return xprop.waitForFinished() && xprop.readAllStandardOutput().contains("(CARDINAL)");
    };
    EXPECT_TRUE(test::waitUntil(asksForBlur, waitLimit));
    // What the screen shows there: the window is painted once ready, and nothing lies over it (the test desktop
    // shows no popups).
    const auto direct = grabber.grab(*id);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->image.size(), QSize(900, 600));
    EXPECT_EQ(direct->image.pixel(5, 5), qRgb(250, 250, 245)) << "the client area, not the frame";
    EXPECT_EQ(direct->coveredShare, 0.0);

    // Another window over part of it. Without a compositor the screen shows that window's pixels there: they are
    // blanked in the colour of the rest.
    TestWindowProcess cover(QStringLiteral("Cover"), {QStringLiteral("cover")});
    ASSERT_TRUE(cover.isReady());
    const auto coverId = activeWindowOf(x11, cover.pid());
    ASSERT_TRUE(coverId);
    const auto covered = grabber.grab(*id);
    ASSERT_TRUE(covered);
    EXPECT_GT(covered->coveredShare, 0.0);
    const QRect placed = x11.rootGeometry(*id).value_or(QRect());
    const QRect overlap =
        x11.rootGeometry(*coverId).value_or(QRect()).intersected(placed).translated(-placed.topLeft());
    ASSERT_FALSE(overlap.isEmpty());
    qsizetype shown = 0;
    for (int y = overlap.top(); y <= overlap.bottom(); ++y) {
        for (int x = overlap.left(); x <= overlap.right(); ++x)
            shown += covered->image.pixel(x, y) != qRgb(250, 250, 245) ? 1 : 0;
    }
    EXPECT_EQ(shown, 0) << "pixels of the cover in " << overlap.width() << "x" << overlap.height();

    // The watcher tells when a compositor takes its selection and when it lets it go, once each.
    int ownerChanges = 0;
    QObject::connect(&compositing, &DesktopCompositing::compositorRunningChanged, [&] { ++ownerChanges; });
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(compositor.waitForStarted());
    ASSERT_TRUE(test::waitUntil([&] { return x11.compositorRunning(); }, waitLimit));
    EXPECT_TRUE(test::waitUntil([&] { return compositing.compositorRunning(); }, waitLimit));
    // With one, the composited image is the window's own, nothing covered. Until the compositor has redirected
    // the window the grab falls back to the screen, and redirection repaints the window, so the grab may show it
    // half painted for a moment.
    std::optional<WindowImage> composited;
    test::waitUntil(
        [&] {
            composited = grabber.grab(*id);
            return composited && composited->coveredShare == 0.0 && composited->image == direct->image;
        },
        waitLimit);
    ASSERT_TRUE(composited);
    EXPECT_EQ(composited->image.size(), QSize(900, 600));
    EXPECT_TRUE(composited->image == direct->image) << difference(direct->image, composited->image);
    EXPECT_EQ(composited->coveredShare, 0.0);
    compositor.kill();
    compositor.waitForFinished();
    EXPECT_TRUE(test::waitUntil([&] { return !compositing.compositorRunning(); }, waitLimit)) << "the compositor quit";
    test::waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(ownerChanges, 2);
    // A grab that still believes in the gone compositor finds no pixmap to name: it reads the screen instead.
    X11WindowGrabber stale(nullptr, std::make_shared<std::atomic<bool>>(true));
    const auto afterwards = stale.grab(*id);
    ASSERT_TRUE(afterwards);
    EXPECT_EQ(afterwards->image.size(), QSize(900, 600));
    EXPECT_GT(afterwards->coveredShare, 0.0) << "the screen, with the cover blanked";

    EXPECT_FALSE(grabber.grab(0x3fffff0)) << "a window that does not exist";
}

TEST(X11Platform, ReadsAccessibilityTreesOverTheBus) {
    LinuxPermissions permissions;
    EXPECT_TRUE(permissions.screenCaptureGranted());
    // Switched off elsewhere: the kept answer says so, and the user's request must not be answered from it.
    QDBusMessage off =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    off.setArguments(
        {QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled"), QVariant::fromValue(QDBusVariant(false))});
    ASSERT_EQ(QDBusConnection::sessionBus().call(off, QDBus::Block, 2000).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(permissions.accessibilityGranted());
    // Asked through another instance (as the settings' "Enable" does): the answer kept here goes too.
    EXPECT_TRUE(LinuxPermissions().requestAccessibility());
    EXPECT_TRUE(permissions.accessibilityGranted());
    ASSERT_EQ(QDBusConnection::sessionBus().call(off, QDBus::Block, 2000).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(permissions.requestAccessibility());
    EXPECT_TRUE(permissions.accessibilityGranted());

    TestWindowProcess window(QStringLiteral("Harbour tabs"), {QStringLiteral("Harbour")});
    ASSERT_TRUE(window.isReady());
    TestWindowProcess plain(QStringLiteral("No tree"), {QStringLiteral("plain")}, true);
    ASSERT_TRUE(plain.isReady());

    AtspiAccessibilityBus bus;
    std::optional<AccessibleRef> application;
    ASSERT_TRUE(test::waitUntil([&] { return (application = bus.application(window.pid())).has_value(); }, waitLimit));
    EXPECT_FALSE(bus.application(plain.pid()));

    // Breadth-first to the tab named "Crane schedule".
    std::optional<AccessibleRef> frame;
    std::optional<AccessibleRef> tab;
    QList<AccessibleRef> queue{*application};
    for (qsizetype i = 0; i < queue.size() && i < 500 && !tab; ++i) {
        const AccessibleRef& element = queue.at(i);
        const auto elementRole = bus.role(element);
        // A top-level widget shows as a filler, a main window as a frame: the name tells.
        if (i > 0 && bus.parent(element) == application && bus.name(element) == QStringLiteral("Harbour tabs"))
            frame = element;
        if (elementRole == role::pageTab && bus.name(element) == QStringLiteral("Crane schedule"))
            tab = element;
        queue.append(bus.children(element, 100));
    }
    ASSERT_TRUE(frame);
    ASSERT_TRUE(tab);
    EXPECT_EQ(bus.roleName(*tab), QStringLiteral("page tab"));
    EXPECT_TRUE(bus.states(*frame)->has(state::showing));
    const auto extents = bus.extents(*frame);
    ASSERT_TRUE(extents);
    EXPECT_EQ(extents->size(), QSize(900, 700));
    ASSERT_TRUE(bus.parent(*tab));
    EXPECT_EQ(bus.role(*bus.parent(*tab)), role::pageTabList);

    const auto actions = bus.actionNames(*tab);
    ASSERT_TRUE(actions);
    const qsizetype press = actions->indexOf(QStringLiteral("Press"));
    ASSERT_GE(press, 0) << actions->join(',').toStdString();
    EXPECT_EQ(bus.doAction(*tab, int(press)), true);
    EXPECT_TRUE(window.waitForLine(QStringLiteral("tab Crane schedule"), waitLimit));

    // An object that went away reads as nothing.
    const AccessibleRef gone{application->service, QStringLiteral("/org/a11y/atspi/accessible/none")};
    EXPECT_FALSE(bus.role(gone));

    // Batched reads answer as the single ones, each read on its own: a gone object among them answers nothing in its
    // place, and so does the null object, which is never asked. The whole batch is one wait.
    const quint32 everyFact =
        fact::states | fact::role | fact::extents | fact::name | fact::description | fact::childCount;
    const AccessibleRef null{application->service, QStringLiteral("/org/a11y/atspi/null")};
    QList<FactsRead> reads;
    for (const AccessibleRef& element : queue)
        reads.append({element, everyFact});
    reads.insert(1, {gone, everyFact});
    reads.insert(2, {null, everyFact});
    const AtspiAccessibilityBus::Traffic before = bus.traffic();
    const QList<AccessibleFacts> answers = bus.facts(reads);
    EXPECT_EQ(bus.traffic().waits, before.waits + 1);
    EXPECT_EQ(bus.traffic().messages, before.messages + quint64(reads.size() - 1) * 6);
    ASSERT_EQ(answers.size(), reads.size());
    for (qsizetype i = 0; i < reads.size(); ++i) {
        const AccessibleRef& element = reads.at(i).object;
        const AccessibleFacts& answer = answers.at(i);
        SCOPED_TRACE(element.path.toStdString());
        EXPECT_EQ(answer.states.has_value(), element != gone && element != null);
        // Which window is active, and what has the focus, may change between the two reads while other programs
        // run on the desktop.
        const auto steady = [](const std::optional<AccessibleStates>& states) {
            return states ? states->bits & ~((quint64(1) << state::active) | (quint64(1) << state::focused)) : 0;
        };
        EXPECT_EQ(steady(answer.states), steady(bus.states(element)));
        EXPECT_EQ(answer.role, bus.role(element));
        EXPECT_EQ(answer.extents, bus.extents(element));
        EXPECT_EQ(answer.name, bus.name(element));
        EXPECT_EQ(answer.description, bus.description(element));
        EXPECT_EQ(answer.childCount, bus.childCount(element));
        // Children read whole, and one at a time when fewer are wanted than there are.
        const int count = answer.childCount.value_or(0);
        const QList<AccessibleRef> all = bus.children(element, 100);
        EXPECT_EQ(bus.children(QList<ChildrenRead>{{element, count, 100}, {element, count, count - 1}}),
                  (QList<QList<AccessibleRef>>{all, all.mid(0, std::max(count - 1, 0))}));
    }

    // An application that stops answering costs a batch one time-out: nothing more is sent after it.
    ASSERT_EQ(::kill(window.pid(), SIGSTOP), 0);
    const AtspiAccessibilityBus::Traffic stalled = bus.traffic();
    const QList<AccessibleFacts> unanswered = bus.facts(reads);
    ::kill(window.pid(), SIGCONT);
    EXPECT_TRUE(std::none_of(unanswered.begin(), unanswered.end(), [](const auto& facts) { return facts.role; }));
    EXPECT_LE(bus.traffic().messages - stalled.messages, quint64(AtspiAccessibilityBus::messagesInFlight));
    EXPECT_GT(reads.size() * 6, AtspiAccessibilityBus::messagesInFlight);
}
