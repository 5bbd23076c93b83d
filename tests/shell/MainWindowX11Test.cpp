// The main window and the settings window of the application in the test process, on the private desktop and
// driven by real input (xdotool through XTest): the header buttons, Return in the intention field, the clear dialog.
#include "AppHarness.h"
#include "historystore/HistoryTestSupport.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/FirstFrameBackground.h"
#include "tavrine/ui/Frosted.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

namespace {

// A click in the middle of the item `name` of `window`, at the screen position the server knows.
void clickItem(QQuickWindow* window, const char* name) {
    QQuickItem* item = findItem(window, QString::fromLatin1(name));
    ASSERT_TRUE(item) << name;
    ASSERT_TRUE(item->isVisible()) << name;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window->winId()),
             QString::number(int(centre.x())), QString::number(int(centre.y())), QStringLiteral("click"),
             QStringLiteral("1")});
}

bool iconic(QWindow* window) {
    return platform::X11Connection::shared()->isIconic(platform::XWindowId(window->winId()));
}

struct ShownApp {
    ShownApp() {
        h.app->start();
        focus = h.app->windows().window(QStringLiteral("focus"));
    }
    // The main window shown, active and laid out, as the user finds it after a click on the tray icon.
    void openFocusWindow() {
        h.app->opener().open();
        ASSERT_TRUE(waitUntil([&] { return focus->isVisible() && focus->isActive(); }, waitLimit));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(focus));
    }

    // Runs a session judged by `verdict` on virtual time until `done`.
    bool runSessionUntil(const FakeClassifier::Verdict& verdict, const std::function<bool()>& done) {
        h.services.observer->setEvidence(usableEvidence());
        h.services.classifier->setVerdict(verdict);
        h.runSession(1);
        return waitUntil([&] { return h.clock.advance(0.25), done(); }, waitLimit);
    }

    ShellAppHarness h;
    QQuickWindow* focus = nullptr;
};

} // namespace

// The viewable clients of the window manager titled as `window` is: the desktop's own record of how many there are.
QList<platform::XWindowId> onDesktopTitledAs(QWindow* window) {
    platform::X11Connection* x11 = platform::X11Connection::shared();
    const QString title = x11->windowTitle(platform::XWindowId(window->winId()));
    QList<platform::XWindowId> found;
    for (platform::XWindowId client : x11->clientListStacking()) {
        if (x11->windowTitle(client) == title && x11->isViewable(client))
            found << client;
    }
    return found;
}

// Each header button replaces the main window by its window, a fresh one first and the same one, minimised
// meanwhile, the second time: never a second one, in the application or on the desktop.
TEST(MainWindowX11, HeaderButtonsRaiseTheirWindowAlsoAMinimisedOne) {
    ShownApp s;
    platform::X11Connection* x11 = platform::X11Connection::shared();
    for (const char* name : {"history", "settings"}) {
        SCOPED_TRACE(name);
        const QString id = QString::fromLatin1(name);
        ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
        ASSERT_NO_FATAL_FAILURE(clickItem(s.focus, name));
        ASSERT_TRUE(waitUntil(
            [&] {
                QQuickWindow* window = s.h.app->windows().window(id);
                return window && window->isVisible() && window->isActive();
            },
            waitLimit));
        EXPECT_FALSE(s.focus->isVisible());
        QQuickWindow* window = s.h.app->windows().window(id);

        window->showMinimized();
        ASSERT_TRUE(waitUntil([&] { return iconic(window); }, waitLimit));
        ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
        ASSERT_NO_FATAL_FAILURE(clickItem(s.focus, name));
        EXPECT_TRUE(waitUntil([&] { return !iconic(window) && window->isActive(); }, waitLimit));
        EXPECT_EQ(s.h.app->windows().window(id), window) << "the same window, not a second one";
        EXPECT_FALSE(s.focus->isVisible());
        int inApplication = 0;
        for (QWindow* each : QGuiApplication::topLevelWindows())
            inApplication += each->objectName() == id ? 1 : 0;
        EXPECT_EQ(inApplication, 1);
        // The window manager's own records follow a moment later.
        const auto xid = platform::XWindowId(window->winId());
        EXPECT_TRUE(
            waitUntil([&] { return x11->activeWindow() == std::optional<platform::XWindowId>(xid); }, waitLimit));
        EXPECT_TRUE(waitUntil([&] { return onDesktopTitledAs(window) == QList<platform::XWindowId>{xid}; }, waitLimit))
            << onDesktopTitledAs(window).size();
    }
}

// The window opened as the tray and the hot key open it: the keys go to the intention without a click.
TEST(MainWindowX11, ReturnInABlankFieldStartsFocusMode) {
    ShownApp s;
    ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
    QQuickItem* field = findItem(s.focus, QStringLiteral("intention"));
    ASSERT_TRUE(waitUntil([&] { return field->hasActiveFocus(); }, waitLimit));
    xdotool({QStringLiteral("key"), QStringLiteral("space"), QStringLiteral("Return")});
    ASSERT_TRUE(waitUntil([&] { return s.h.app->session().isActive(); }, waitLimit));
    EXPECT_TRUE(s.h.app->session().isFocusSession());
    EXPECT_TRUE(waitUntil([&] { return !s.focus->isVisible(); }, waitLimit)) << "the window goes once it started";
}

// A judge that fails leaves the running screen warning, in orange, that nothing is judged.
TEST(MainWindowX11, AFailingJudgeShowsTheWarningStrip) {
    ShownApp s;
    FakeClassifier::Verdict failing;
    failing.error = std::make_exception_ptr(JudgeError());
    ASSERT_TRUE(s.runSessionUntil(failing, [&] { return s.h.app->session().lastCheckFailed(); }));
    ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
    QQuickItem* strip = findItem(s.focus, QStringLiteral("monitoringStatus"));
    ASSERT_TRUE(strip && strip->isVisible());
    EXPECT_EQ(findItem(strip, QStringLiteral("monitoringText"))->property("text").toString(),
              QStringLiteral("Couldn\u2019t check this activity. The judge fell over"))
        << "the strip gives the reason with the warning";
    EXPECT_TRUE(strip->property("model").value<QObject*>()->property("warning").toBool());
}

// The close button is a panel of its own over the card's corner. Without a compositor the pointer moved from the
// card onto it keeps it there, steadily; with one or without, a click on it closes the card however long the
// pointer rested on it first, and its "Close" tip shows in a window of its own, off the button.
TEST(MainWindowX11, TheNudgeCloseButtonStaysUnderThePointerAndItsClickClosesTheCard) {
    struct Case {
        bool compositor;
        int restMs;
    };
    for (const Case c : {Case{false, 300}, Case{false, 1500}, Case{true, 300}, Case{true, 1500}}) {
        SCOPED_TRACE(testing::Message() << (c.compositor ? "xcompmgr, " : "no compositor, ") << c.restMs << " ms");
        QProcess compositor;
        if (c.compositor) {
            compositor.start(QStringLiteral("xcompmgr"), {});
            ASSERT_TRUE(compositor.waitForStarted());
            ASSERT_TRUE(waitUntil([] { return platform::X11Connection::shared()->compositorRunning(); }, waitLimit));
        }
        {
            ShownApp s;
            auto* presenter = dynamic_cast<shell::NudgePresenter*>(s.h.app->nudgePresenter());
            ASSERT_TRUE(presenter);
            FakeClassifier::Verdict drifted;
            drifted.label = ActivityRelevance::Unrelated;
            ASSERT_TRUE(s.runSessionUntil(
                drifted, [&] { return presenter->cardPanel() && presenter->cardPanel()->isVisible(); }));
            QQuickWindow* card = presenter->cardPanel();
            QQuickWindow* close = presenter->closePanel();
            const auto moveTo = [](QPoint p) {
                xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
            };
            ASSERT_TRUE(QTest::qWaitForWindowExposed(card));
            moveTo(card->geometry().center());
            ASSERT_TRUE(waitUntil([&] { return close->isVisible() && close->isExposed(); }, waitLimit));

            int unmaps = 0;
            QObject::connect(close, &QWindow::visibleChanged, [&](bool visible) { unmaps += visible ? 0 : 1; });
            moveTo(close->geometry().center());
            // The rest counts from when the pointer is over the button for the X server too.
            QQuickItem* button = findItem(close->contentItem(), QStringLiteral("nudgeClose"));
            ASSERT_TRUE(button);
            ASSERT_TRUE(waitUntil([&] { return button->property("hovered").toBool(); }, waitLimit));
            QTest::qWait(c.restMs);
            EXPECT_EQ(unmaps, 0);
            // The desktop's tool tip deletes its window once hidden.
            QPointer<QWidget> tip;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget->objectName() == QStringLiteral("qtooltip_label") && widget->isVisible())
                    tip = widget;
            if (c.restMs > 600) {
                EXPECT_TRUE(tip) << "the tip";
                if (tip) {
                    EXPECT_EQ(qobject_cast<QLabel*>(tip.data())->text(), QStringLiteral("Close"));
                    EXPECT_FALSE(tip->frameGeometry().intersects(close->geometry()))
                        << "the tip's window over the button's panel";
                }
            } else {
                EXPECT_FALSE(tip) << "a tip before its delay";
            }
            xdotool({QStringLiteral("click"), QStringLiteral("1")});
            EXPECT_TRUE(waitUntil([&] { return s.h.clock.advance(0.1), !card->isVisible(); }, waitLimit));
            EXPECT_TRUE(waitUntil([&] { return !tip || !tip->isVisible(); }, waitLimit)) << "the tip outlived its card";
        }
        if (c.compositor) {
            compositor.kill();
            compositor.waitForFinished();
            ASSERT_TRUE(waitUntil([] { return !platform::X11Connection::shared()->compositorRunning(); }, waitLimit));
        }
    }
}

// Closing the History window only hides it: each opening shows the newest session all the same, whatever was
// selected at the last one and whatever was stored since; and so does a first opening of the window drawn ahead,
// which then stays on screen, whether it is opened while being drawn or once hidden again.
TEST(MainWindowX11, EachOpeningOfHistoryShowsTheNewestSession) {
    enum class Ahead { None, Drawing, Drawn };
    for (const Ahead ahead : {Ahead::None, Ahead::Drawing, Ahead::Drawn}) {
        SCOPED_TRACE(int(ahead));
        std::unique_ptr<QObject> background(ui::FirstFrameBackground::install(*qGuiApp));
        ShownApp s;
        s.h.history->record(sampleSummary(sessionStart), sessionStart);
        if (ahead != Ahead::None) {
            s.h.app->windows().drawAhead(QStringLiteral("history"));
            QQuickWindow* drawn = s.h.app->windows().existingWindow(QStringLiteral("history"));
            ASSERT_TRUE(drawn && ui::FirstFrameBackground::isDrawnAhead(*drawn));
            if (ahead == Ahead::Drawn) {
                ASSERT_TRUE(waitUntil(
                    [&] { return !ui::FirstFrameBackground::isDrawnAhead(*drawn) && !drawn->isVisible(); }, waitLimit));
            }
        }
        QQuickWindow* history = s.h.app->windows().openWindow(QStringLiteral("history"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
        QTest::qWait(300);
        ASSERT_TRUE(history->isVisible() && history->isExposed());
        QQuickItem* list = findItem(history, QStringLiteral("historyList"));
        ASSERT_TRUE(list);
        EXPECT_EQ(list->property("currentIndex").toInt(), 0);
        history->close();
        ASSERT_TRUE(waitUntil([&] { return !history->isVisible(); }, waitLimit));
        if (ahead != Ahead::None)
            continue;
        for (int later = 1; later <= 2; ++later) {
            s.h.history->record(sampleSummary(sessionStart.addSecs(3600 * later)), sessionStart);
            EXPECT_EQ(list->property("currentIndex").toInt(), 1) << "kept while the window is closed";
            s.h.app->windows().openWindow(QStringLiteral("history"));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
            EXPECT_EQ(list->property("count").toInt(), later + 1);
            EXPECT_EQ(list->property("currentIndex").toInt(), 0) << later;
            history->close();
            ASSERT_TRUE(waitUntil([&] { return !history->isVisible(); }, waitLimit));
        }
    }
}

// Cancel keeps every session; "Clear history" empties the store and the open History window's list.
TEST(MainWindowX11, TheClearDialogEmptiesTheListOnlyWhenConfirmed) {
    ShownApp s;
    for (int i = 0; i < 2; ++i)
        s.h.history->record(sampleSummary(sessionStart.addSecs(3600 * i)), sessionStart);
    QQuickWindow* history = s.h.app->windows().openWindow(QStringLiteral("history"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    QQuickItem* list = findItem(history, QStringLiteral("historyList"));
    ASSERT_TRUE(list);
    ASSERT_TRUE(waitUntil([&] { return list->property("count").toInt() == 2; }, waitLimit));

    ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
    ASSERT_NO_FATAL_FAILURE(clickItem(s.focus, "settings"));
    QQuickWindow* settings = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] {
            settings = s.h.app->windows().window(QStringLiteral("settings"));
            return settings && settings->isVisible() && settings->isActive();
        },
        waitLimit));
    QObject* dialog = findObject(settings, QStringLiteral("clearHistoryDialog"));
    ASSERT_TRUE(dialog);
    auto answer = [&](const char* button) {
        ASSERT_NO_FATAL_FAILURE(clickItem(settings, "clearHistory"));
        ASSERT_TRUE(waitUntil([&] { return dialog->property("opened").toBool(); }, waitLimit));
        ASSERT_NO_FATAL_FAILURE(clickItem(settings, button));
        ASSERT_TRUE(waitUntil([&] { return !dialog->property("visible").toBool(); }, waitLimit));
    };

    ASSERT_NO_FATAL_FAILURE(answer("cancelClearHistory"));
    QTest::qWait(100);
    EXPECT_EQ(s.h.history->sessionCount(), 2);
    EXPECT_EQ(list->property("count").toInt(), 2);

    ASSERT_NO_FATAL_FAILURE(answer("confirmClearHistory"));
    EXPECT_EQ(s.h.history->sessionCount(), 0);
    EXPECT_TRUE(waitUntil([&] { return list->property("count").toInt() == 0; }, waitLimit));
    EXPECT_FALSE(findItem(settings, QStringLiteral("clearHistoryError"))->isVisible());
}

// Under xcompmgr, which draws no blur, the main window hides what lies behind it: the text of the window behind
// would run through its own. A blur announced on the root window makes it translucent; it turns opaque at once
// when the announcement goes, and when the compositor quits.
TEST(MainWindowX11, TheMainWindowIsTranslucentOnlyWhereTheDesktopBlurs) {
    ShownApp s;
    QProcess compositor;
    const QStringList blurProperty{QStringLiteral("-root"), QStringLiteral("_KDE_NET_WM_BLUR_BEHIND_REGION")};
    const auto announceBlur = [&](bool on) {
        const QStringList arguments =
            on ? QStringList{QStringLiteral("-root"), QStringLiteral("-f"), blurProperty[1],    QStringLiteral("32c"),
                             QStringLiteral("-set"),  blurProperty[1],      QStringLiteral("0")}
               : QStringList{QStringLiteral("-root"), QStringLiteral("-remove"), blurProperty[1]};
        ASSERT_EQ(QProcess::execute(QStringLiteral("xprop"), arguments), 0);
    };
    struct Cleanup {
        std::function<void()> run;
        ~Cleanup() { run(); }
    } cleanup{[&] {
        announceBlur(false);
        compositor.kill();
        compositor.waitForFinished();
    }};
    compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(compositor.waitForStarted());
    ASSERT_TRUE(waitUntil([] { return platform::X11Connection::shared()->compositorRunning(); }, waitLimit));

    // A window of one colour behind everything, then the main window over it.
    QQuickWindow behind;
    behind.setFlags(Qt::Window | Qt::FramelessWindowHint);
    behind.setColor(Qt::red);
    behind.setGeometry(QGuiApplication::primaryScreen()->geometry());
    behind.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&behind));
    ASSERT_NO_FATAL_FAILURE(s.openFocusWindow());
    // What the screen shows: a band of the main window's bare background, and a point of the window behind.
    const QRect frame = serverWindow(s.focus).frame;
    const QRect band(frame.topLeft() + QPoint(8, 8), QSize(120, 6));
    const QPoint beside = frame.topLeft() + QPoint(-20, 40);
    QScreen* screen = QGuiApplication::primaryScreen();
    const auto shown = [&](const QRect& area) {
        return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const QRgb opaque = ui::Frosted::windowColor().rgb();
    const auto drawnOpaque = [&] {
        const QImage image = shown(band);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != opaque)
                    return false;
        return true;
    };
    EXPECT_TRUE(waitUntil(drawnOpaque, waitLimit)) << "opaque over a compositor that does not blur";
    const QImage still = shown(band);
    behind.setColor(Qt::green);
    ASSERT_TRUE(waitUntil([&] { return shown(QRect(beside, QSize(1, 1))).pixel(0, 0) == qRgb(0, 255, 0); }, waitLimit));
    EXPECT_EQ(shown(band), still) << "the window behind changed, the main window did not";

    announceBlur(true);
    EXPECT_TRUE(waitUntil([&] { return !drawnOpaque(); }, waitLimit)) << "translucent once the desktop blurs";
    EXPECT_EQ(s.focus->color().alpha(), 0);
    announceBlur(false);
    EXPECT_TRUE(waitUntil(drawnOpaque, waitLimit)) << "opaque as soon as the blur goes";

    announceBlur(true);
    ASSERT_TRUE(waitUntil([&] { return !drawnOpaque(); }, waitLimit));
    compositor.kill();
    compositor.waitForFinished();
    EXPECT_TRUE(waitUntil(drawnOpaque, waitLimit)) << "opaque as soon as the compositor quits";
}
