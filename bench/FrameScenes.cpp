// Takes Tavrine through the paths a user takes, in this process, with real clicks and keys (xdotool) and fakes for
// the judge and the observed windows, on a session clock that runs with real time and jumps where a session is to
// end or drift. Each step is printed with the ms since the start, so that what bench/frame_recorder films can be
// read step by step:
//   frame_recorder --out DIR -- frame_scenes onboarding|app >DIR/steps.txt
// "onboarding": the welcome window, its pages, each beat of the rehearsal (--fast-rehearsal) and the first session
// started from the Ready page. "app": launch, a start, the hot key, End, Again, a countdown's end, Settings, History
// and a nudge. Run it with a fresh HOME and XDG folders on a desktop with a window manager and a tray host.
#include "session/SessionHarness.h"
#include "shell/AppHarness.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingRehearsal.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/onboarding/PlayerProcess.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/DesktopShortcuts.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/WindowSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThread>

#include <cstdio>
#include <xcb/xcb.h>

using namespace tavrine;
using namespace tavrine::test;
using Beat = onboarding::OnboardingRehearsal::Beat;

namespace {

QElapsedTimer sinceStart;

void note(const QString& step) {
    std::printf("%6lld %s\n", sinceStart.elapsed(), qPrintable(step));
    std::fflush(stdout);
}

// The application goes on with its events while xdotool runs, as it does under a real hand: a click handled only
// once xdotool has ended would add xdotool's own time to what the application takes.
void tool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    // The events handled meanwhile may include the process's own end: its state says when it is over.
    while (xdotool.state() != QProcess::NotRunning && !xdotool.waitForFinished(1))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Driver {
    explicit Driver(ShellAppHarness& harness) : h(harness) { real.start(); }

    ShellAppHarness& h;
    // How much faster than real time the session's clock runs.
    double pace = 1.0;
    QElapsedTimer real;
    qint64 last = 0;

    void tick() {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 now = real.elapsed();
        h.clock.advance(double(now - last) / 1000.0 * pace);
        last = now;
        ManualClock::pump();
        QThread::usleep(1000);
    }
    void run(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            tick();
    }
    bool until(const std::function<bool()>& done, int limitMs = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > limitMs)
                return false;
            tick();
        }
        return true;
    }
    // Every item of that name under `item`, its visual children and its QObject children alike.
    static void collect(QQuickItem* item, const QString& name, QList<QQuickItem*>& found) {
        if (item->objectName() == name && !found.contains(item))
            found << item;
        for (QQuickItem* child : item->childItems())
            collect(child, name, found);
        for (QQuickItem* child : item->findChildren<QQuickItem*>(name, Qt::FindDirectChildrenOnly))
            collect(child, name, found);
    }
    QQuickItem* visibleItem(QQuickWindow* window, const QString& name) {
        QQuickItem* shown = nullptr;
        until(
            [&] {
                QList<QQuickItem*> found;
                collect(window->contentItem(), name, found);
                for (QQuickItem* item : found)
                    if (item->isVisible() && item->opacity() > 0.99)
                        shown = item;
                return shown != nullptr;
            },
            5000);
        return shown;
    }
    bool click(QQuickWindow* window, const QString& name) {
        QQuickItem* item = window ? visibleItem(window, name) : nullptr;
        if (!item) {
            note(QStringLiteral("(no %1 to click)").arg(name));
            return false;
        }
        const QPoint centre =
            window->mapToGlobal(item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        tool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
        return true;
    }
    QQuickWindow* window(const QString& id) { return h.app->windows().existingWindow(id); }
    // The hot key, once more when the first did not reach the grab (a fresh Xvfb drops the first synthetic chord).
    void hotKey() {
        QQuickWindow* focus = window(QStringLiteral("focus"));
        for (int tries = 0; tries < 3; ++tries) {
            tool({"key", "super+alt+p"});
            if (until([&] { return focus->isVisible() && focus->isActive(); }, 2000))
                return;
        }
    }
    bool shown(const QString& id) {
        QQuickWindow* w = window(id);
        return w && w->isVisible() && w->isExposed();
    }
};

void onboardingScenes(Driver& d) {
    ShellAppHarness& h = d.h;
    note(QStringLiteral("launch: the welcome window"));
    h.app->start();
    d.until([&] { return d.shown(QStringLiteral("onboarding")); });
    d.run(1500);
    QQuickWindow* onboarding = d.window(QStringLiteral("onboarding"));
    note(QStringLiteral("Continue: permissions"));
    d.click(onboarding, QStringLiteral("onboardingContinue"));
    d.run(1500);
    note(QStringLiteral("Continue: the rehearsal page"));
    d.click(onboarding, QStringLiteral("onboardingContinue"));
    d.run(1500);
    onboarding::OnboardingFlow& flow = h.app->onboardingFlow();
    const auto beat = [&] { return flow.rehearsal()->beat(); };
    note(QStringLiteral("Start: the rehearsal, beat working"));
    d.click(onboarding, QStringLiteral("onboardingStartRehearsal"));
    note(QStringLiteral("(clicked)"));
    d.until([&] { return flow.stage()->onScreen(); });
    d.run(2500);
    note(QStringLiteral("Return: beat tempted"));
    tool({"key", "Return"});
    d.until([&] { return beat() == Beat::Tempted; });
    d.run(2500);
    note(QStringLiteral("click on the video: beat drifting"));
    if (QQuickWindow* video = flow.stage()->videoWindow()) {
        const QPoint centre = video->geometry().center();
        tool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
    }
    d.until([&] { return beat() == Beat::Drifting; });
    d.pace = 4.0;
    d.until([&] { return beat() == Beat::Nudged; }, 60000);
    d.pace = 1.0;
    note(QStringLiteral("beat nudged"));
    d.run(2500);
    note(QStringLiteral("Get back to work: beat returned"));
    if (auto* presenter = dynamic_cast<shell::NudgePresenter*>(h.app->nudgePresenter()))
        d.click(presenter->cardPanel(), QStringLiteral("backToWork"));
    d.until([&] { return beat() == Beat::Returned; });
    d.run(2500);
    note(QStringLiteral("Return: beat researching"));
    tool({"key", "Return"});
    d.until([&] { return beat() == Beat::Researching; });
    d.run(2500);
    note(QStringLiteral("Return: beat finished"));
    tool({"key", "Return"});
    d.until([&] { return beat() == Beat::Finished; });
    d.run(2500);
    note(QStringLiteral("Return: the stage ends, the Ready page"));
    tool({"key", "Return"});
    note(QStringLiteral("(pressed)"));
    d.until([&] { return !flow.stage()->isPresented() && d.shown(QStringLiteral("onboarding")); });
    d.run(2500);
    note(QStringLiteral("typing an intention"));
    tool({"type", "--delay", "30", "Write the report"});
    d.run(1000);
    note(QStringLiteral("Start focus session: the first session and the main window"));
    d.click(onboarding, QStringLiteral("onboardingGetStarted"));
    d.until([&] { return d.shown(QStringLiteral("focus")); });
    d.run(2500);
}

void appScenes(Driver& d) {
    ShellAppHarness& h = d.h;
    note(QStringLiteral("launch: the main window"));
    h.app->start();
    d.until([&] { return d.shown(QStringLiteral("focus")) && d.window(QStringLiteral("focus"))->isActive(); });
    d.run(1500);
    QQuickWindow* focus = d.window(QStringLiteral("focus"));
    h.services.observer->setEvidence(usableEvidence());
    note(QStringLiteral("type and Return: the session starts, the window goes"));
    tool({"type", "--delay", "30", "Write the report"});
    tool({"key", "Return"});
    d.until([&] { return h.app->session().isActive() && !focus->isVisible(); });
    d.run(1500);
    note(QStringLiteral("hot key: the running screen"));
    d.hotKey();
    d.run(2000);
    h.clock.advance(300); // long enough to be kept, and shown as a recap
    note(QStringLiteral("End session: the recap"));
    d.click(focus, QStringLiteral("stop"));
    d.run(2500);
    note(QStringLiteral("Again: the setup"));
    d.click(focus, QStringLiteral("again"));
    d.run(2000);
    note(QStringLiteral("Return: a second session starts"));
    tool({"key", "Return"});
    d.until([&] { return h.app->session().isActive() && !focus->isVisible(); });
    d.run(1500);
    note(QStringLiteral("the countdown ends: the recap"));
    h.clock.advance(h.app->session().minutes() * 60.0);
    d.until([&] { return focus->isVisible(); });
    d.run(2500);
    note(QStringLiteral("Settings"));
    d.click(focus, QStringLiteral("settings"));
    d.until([&] { return d.shown(QStringLiteral("settings")); });
    d.run(2000);
    note(QStringLiteral("hot key, then History"));
    d.hotKey();
    d.run(1500);
    d.click(focus, QStringLiteral("history"));
    d.until([&] { return d.shown(QStringLiteral("history")); });
    d.run(2000);
    note(QStringLiteral("a session that drifts: the nudge card"));
    h.app->session().setIntention(QStringLiteral("Write the report"));
    FakeClassifier::Verdict drifted;
    drifted.label = ActivityRelevance::Unrelated;
    h.services.classifier->setVerdict(drifted);
    h.app->session().start(false);
    d.pace = 10.0;
    auto* presenter = dynamic_cast<shell::NudgePresenter*>(h.app->nudgePresenter());
    d.until([&] { return presenter && presenter->cardPanel() && presenter->cardPanel()->isVisible(); }, 60000);
    d.pace = 1.0;
    d.run(3000);
    note(QStringLiteral("done"));
}

} // namespace

int main(int argc, char** argv) {
    // The rehearsal's video player, started by the application itself.
    if (PlayerProcess::isPlayerLaunch(argc, argv))
        return PlayerProcess::run(argc, argv);
    sinceStart.start();
    // On the monotonic clock, as frame_recorder's events.txt gives its own start: the steps' times line up with
    // the frames'.
    std::printf("# start %lld\n", sinceStart.msecsSinceReference());
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (which != QLatin1String("onboarding") && which != QLatin1String("app")) {
        std::fputs("usage: frame_scenes onboarding|app\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    shell::prepareApplication();
    QApplication application(argc, argv);
    shell::setUpApplication();
    const bool onboarded = which == QLatin1String("app");
    ShellAppHarness h(onboarded ? QStringList() : QStringList{QStringLiteral("--fast-rehearsal")}, onboarded);
    // A desktop of one colour that no window has: a bare black or grey in a window is never the desktop.
    if (auto* x11 = application.nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* connection = x11->connection();
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const quint32 teal = 0x2E6F73;
        xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXEL, &teal);
        xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
        xcb_flush(connection);
    }
    Driver d(h);
    // A fresh X server drops the first synthetic keys: these wake it up.
    tool({"key", "shift"});
    if (onboarded)
        appScenes(d);
    else
        onboardingScenes(d);
    return 0;
}
