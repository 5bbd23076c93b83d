#include "AppHarness.h"
#include "support/LogCapture.h"
#include "support/QmlTestSupport.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/NudgePresenting.h"
#include "tavrine/shell/QuitSignals.h"
#include "tavrine/speech/SoundClip.h"

#include <QFileInfo>
#include <QQuickItem>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tavrine;
using namespace tavrine::shell;
using namespace tavrine::test;

namespace {

class CountingPresenter final : public NudgePresenting {
public:
    int presented = 0;
    int dismissed = 0;
    int prepared = 0;
    void presentNudge() override { ++presented; }
    void dismissNudge() override { ++dismissed; }
    void prepare() override { ++prepared; }
};

} // namespace

TEST(TavrineApp, ServicesAreMadeInOrder) {
    ShellAppHarness h;
    EXPECT_EQ(h.constructed,
              (QStringList{"nudgePresenter", "nudgeSound", "hasCompletedOnboarding", "appDelegate", "tokens", "speaker",
                           "history", "arguments", "session", "updateGate", "updaterController"}));
    EXPECT_EQ(h.app->speaker(), nullptr);
    ASSERT_NE(h.app->nudgeSound(), nullptr);
    EXPECT_EQ(h.app->nudgeSound()->source(), QUrl(QString::fromLatin1(TavrineApp::nudgeSoundUrl)));
}

TEST(TavrineApp, EachWindowLoadsCleanWithItsRules) {
    QmlWarnings warnings;
    ShellAppHarness h;
    struct Case {
        QString id;
        QString title;
        bool frameless;
        bool fixedSize;
        bool centred;
    };
    const QList<Case> cases = {
        {"focus", "Tavrine", true, false, false},
        // The onboarding draws its own title bar; the title stays for the desktop's window lists.
        {"onboarding", "Welcome to Tavrine", true, true, true},
        {"history", "History", false, false, true},
        // The form's width; its height until the screen is too short, then it scrolls.
        {"settings", "Settings", false, false, true},
    };
    for (const Case& c : cases) {
        QQuickWindow* window = h.app->windows().window(c.id);
        ASSERT_NE(window, nullptr) << c.id.toStdString();
        const std::string name = c.id.toStdString();
        EXPECT_EQ(window->objectName(), c.id) << name;
        EXPECT_EQ(window->property("_q_xcb_wm_window_role").toByteArray(), c.id.toUtf8()) << name;
        EXPECT_EQ(window->title(), c.title) << name;
        EXPECT_EQ(window->flags().testFlag(Qt::FramelessWindowHint), c.frameless) << name;
        EXPECT_FALSE(window->isVisible()) << name;
        QQuickItem* content = findItem(window->contentItem(), c.id + QStringLiteral("Content"));
        ASSERT_NE(content, nullptr) << name;
        const QSize implicit(int(content->implicitWidth()), int(content->implicitHeight()));
        if (c.id == QLatin1String("settings")) {
            EXPECT_EQ(window->minimumWidth(), implicit.width());
            EXPECT_EQ(window->maximumWidth(), implicit.width());
            EXPECT_EQ(window->maximumHeight(), implicit.height());
            EXPECT_LE(window->height(), implicit.height());
        } else {
            EXPECT_EQ(window->minimumSize().height(), implicit.height()) << name;
        }
        if (c.fixedSize) {
            EXPECT_EQ(window->size(), implicit) << name;
            EXPECT_EQ(window->maximumSize(), implicit) << name;
        }
        // Closing hides the window and keeps it.
        h.app->windows().openWindow(c.id);
        EXPECT_TRUE(window->isVisible()) << name;
        if (c.centred) {
            const QRect area = window->screen()->availableGeometry();
            EXPECT_LE(std::abs(window->geometry().center().x() - area.center().x()), 2) << name;
            EXPECT_LE(std::abs(window->geometry().center().y() - area.center().y()), 2) << name;
        }
        window->close();
        EXPECT_FALSE(window->isVisible()) << name;
        EXPECT_EQ(h.app->windows().window(c.id), window) << name;
    }
    QQuickWindow* history = h.app->windows().window(QStringLiteral("history"));
    EXPECT_EQ(history->minimumWidth(), int(findItem(history->contentItem(), "historyContent")->implicitWidth()));
    EXPECT_TRUE(warnings.messages().isEmpty()) << warnings.messages().join(u'\n').toStdString();
}

// The launch set-up runs once, switches launch at login on for a fresh user, and brings forward only what the
// arguments and the onboarding call for.
TEST(TavrineApp, WindowsShownAtLaunch) {
    struct Case {
        QStringList arguments;
        bool onboardingDone;
        QStringList visible;
    };
    const QList<Case> cases = {
        {{}, true, {"focus"}},
        {{}, false, {"onboarding"}},
        {{"--onboarding"}, true, {"onboarding"}},
        {{"--launched-at-login"}, true, {}},
        {{"--launched-at-login"}, false, {"onboarding"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString() + (c.onboardingDone ? "" : " (not onboarded)"));
        ShellAppHarness h(c.arguments, c.onboardingDone);
        h.start();
        EXPECT_TRUE(h.app->launchSetupDone());
        EXPECT_EQ(h.visibleWindows(), c.visible);
        // The first-run window is built only to be shown.
        EXPECT_EQ(h.app->windows().existingWindow(QStringLiteral("onboarding")) != nullptr,
                  c.visible.contains(QStringLiteral("onboarding")));
        EXPECT_EQ(h.loginItem.registerCalls, 1);
        h.app->runLaunchSetup();
        EXPECT_EQ(h.visibleWindows(), c.visible);
        EXPECT_EQ(h.loginItem.registerCalls, 1);
        // Completing the onboarding leaves the next launch to the main window; a reset makes it a first one
        // again, from the welcome page.
        h.app->setHasCompletedOnboarding(true);
        EXPECT_EQ(h.app->shouldShowOnboarding(), c.arguments.contains(QStringLiteral("--onboarding")));
        h.defaults.setInteger(QStringLiteral("onboardingPage"), 8);
        h.app->resetOnboarding();
        EXPECT_TRUE(h.app->shouldShowOnboarding());
        EXPECT_EQ(h.defaults.boolValue(QStringLiteral("hasCompletedOnboarding")), std::optional<bool>(false));
        EXPECT_FALSE(h.defaults.integerValue(QStringLiteral("onboardingPage")).has_value());
    }
}

// Nothing before the first frame waits on the sound server, and the nudge sound is ready without a nudge asking:
// after the first window's first frame, or a while after a launch that shows no window.
TEST(TavrineApp, TheSoundComesUpAfterLaunch) {
    struct Case {
        QStringList arguments;
        bool onboardingDone;
    };
    const QList<Case> cases = {{{}, true}, {{}, false}, {{"--launched-at-login"}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString() + (c.onboardingDone ? "" : " (not onboarded)"));
        ShellAppHarness h(c.arguments, c.onboardingDone);
        h.start();
        const QStringList visible = h.visibleWindows();
        if (visible.isEmpty()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return h.app->soundPrepared(); }, 10000));
        } else {
            // Any frame the window has drawn by the end of this one has brought the sound up.
            QQuickWindow* shown = h.app->windows().existingWindow(visible.first());
            QSignalSpy swapped(shown, &QQuickWindow::frameSwapped);
            shown->update();
            ASSERT_TRUE(swapped.wait(10000));
            QCoreApplication::processEvents();
            EXPECT_TRUE(h.app->soundPrepared());
        }
        ASSERT_NE(h.app->nudgeSound(), nullptr);
    }
}

TEST(TavrineApp, TheSessionReachesThePresenterAndTheMainWindow) {
    ShellAppHarness h;
    auto presenter = std::make_unique<CountingPresenter>();
    CountingPresenter* counts = presenter.get();
    h.app->setNudgePresenter(std::move(presenter));
    h.start();
    // Once the main window has drawn, the running screen is built hidden, then History and Settings, one after
    // the other (drawn ahead on X11).
    QQuickWindow* focus = h.app->windows().existingWindow(QStringLiteral("focus"));
    const auto built = [&](const char* name) { return findItem(focus->contentItem(), name) != nullptr; };
    const auto windowBuilt = [&](const char* id) {
        return h.app->windows().existingWindow(QString::fromLatin1(id)) != nullptr;
    };
    EXPECT_FALSE(built("runningScreen") || windowBuilt("history") || windowBuilt("settings"));
    EXPECT_TRUE(waitUntil([&] { return built("runningScreen") && windowBuilt("history"); }));
    EXPECT_FALSE(windowBuilt("settings"));
    EXPECT_TRUE(waitUntil([&] { return windowBuilt("settings"); }));
    // With Settings, the store takes the running session's room, which the -wal keeps.
    const QFileInfo wal(h.history->storePath() + QStringLiteral("-wal"));
    EXPECT_GE(wal.size(), SessionHistory::reservedBytes);
    EXPECT_FALSE(built("recapScreen"));
    EXPECT_EQ(h.visibleWindows(), QStringList{QStringLiteral("focus")});
    h.app->opener().closeFocusWindow();
    h.runSession(120);
    // The card is made while the session runs, so that its first nudge need not wait; the recap once the running
    // screen, where the session is ended, has shown: not in a session whose window stays closed.
    EXPECT_TRUE(waitUntil([&] { return counts->prepared > 0; }));
    EXPECT_FALSE(built("recapScreen"));
    h.app->opener().open();
    EXPECT_TRUE(waitUntil([&] { return built("recapScreen"); }));
    // Drawn once beyond the window's edge, then hidden.
    EXPECT_TRUE(waitUntil([&] { return !findItem(focus->contentItem(), "recapScreen")->isVisible(); }));
    h.app->session().dismissNudge();
    EXPECT_EQ(counts->dismissed, 1);
    h.app->session().stop(true);
    ManualClock::pump();
    EXPECT_EQ(h.visibleWindows(), QStringList{QStringLiteral("focus")});
    // A later launch asks the running one: the main window again.
    h.app->opener().closeFocusWindow();
    h.app->reopen();
    EXPECT_EQ(h.visibleWindows(), QStringList{QStringLiteral("focus")});
}

TEST(TavrineApp, QuittingStoresTheRunningSessionAsEndedEarly) {
    struct Case {
        double seconds;
        bool stored;
    };
    for (const Case& c : {Case{120, true}, Case{30, false}}) {
        ShellAppHarness h;
        h.start();
        h.app->opener().closeFocusWindow();
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::quitRequested, h.app.get(), &TavrineApp::quit);
        ASSERT_TRUE(quitSignals.install());
        h.runSession(c.seconds);
        LogCapture log;
        std::raise(SIGTERM);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !h.exits.isEmpty(); }, 5000));
        // A stray signal shows in the log with the process that sent it.
        EXPECT_TRUE(log.messages(QStringLiteral("session"))
                        .contains(QStringLiteral("Quit requested by SIGTERM from process %1").arg(::getpid())));
        EXPECT_EQ(h.exits, QList<int>{0});
        EXPECT_FALSE(h.app->session().isActive());
        EXPECT_TRUE(h.visibleWindows().isEmpty());
        const QList<StoredSession> stored = h.history->allSessions();
        ASSERT_EQ(stored.size(), c.stored ? 1 : 0) << c.seconds;
        if (c.stored) {
            EXPECT_EQ(stored[0].intention, QStringLiteral("Write the report"));
            EXPECT_FALSE(stored[0].completed);
        }
    }
}

// Qt's xcb plug-in ends the process with exit() when the display goes: the hook, which stores the running
// session, must still find what it was given (words held on the heap show a destroyed one to the sanitizer).
TEST(TavrineAppDeathTest, AnExitNoQuitPathSeesRunsTheHook) {
    EXPECT_EXIT(
        {
            QuitSignals quitSignals;
            const std::string said = "the exit hook ran with what it was given";
            quitSignals.setExitHook([said] { std::fputs(said.c_str(), stderr); });
            std::exit(3);
        },
        testing::ExitedWithCode(3), "the exit hook ran with what it was given");
}

TEST(TavrineApp, QuittingEndsARehearsal) {
    ShellAppHarness h;
    h.start();
    ASSERT_TRUE(h.app->session().startRehearsal(QStringLiteral("Design the landing page"), 25, nullptr));
    h.app->quit();
    EXPECT_FALSE(h.app->session().rehearsalIntention().has_value());
    EXPECT_EQ(h.exits, QList<int>{0});
    h.app->quit();
    EXPECT_EQ(h.exits, QList<int>{0});
}

TEST(TavrineApp, ADemoRunStoresNothing) {
    ShellAppHarness h({QStringLiteral("--demo")});
    h.start();
    h.runSession(120);
    h.app->session().stop(false);
    h.history->flush();
    EXPECT_TRUE(h.history->allSessions().isEmpty());
}

// History and Settings let their graphics go while hidden: shown again, they draw their content as before.
TEST(TavrineApp, AWindowReopenedAfterGivingUpItsGraphicsDrawsItsContent) {
    QmlWarnings warnings;
    ShellAppHarness h;
    for (const QString& id : {QStringLiteral("settings"), QStringLiteral("history")}) {
        const std::string name = id.toStdString();
        QQuickWindow* window = h.app->windows().openWindow(id);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
        // Drawn canvases (the pills' edges) fill in from the frame after the first.
        window->grabWindow();
        QCoreApplication::processEvents();
        const QImage first = window->grabWindow();
        ASSERT_FALSE(first.isNull()) << name;
        window->close();
        QTest::qWait(50);
        window->releaseResources();
        QTest::qWait(50);
        ASSERT_EQ(h.app->windows().openWindow(id), window) << name;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
        const QImage again = window->grabWindow();
        EXPECT_EQ(again.convertToFormat(QImage::Format_ARGB32), first.convertToFormat(QImage::Format_ARGB32)) << name;
        window->close();
    }
    EXPECT_TRUE(h.app->windows().window(QStringLiteral("focus"))->isPersistentGraphics());
    EXPECT_TRUE(warnings.messages().isEmpty()) << warnings.messages().join(u'\n').toStdString();
}
