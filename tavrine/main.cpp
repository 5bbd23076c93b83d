#include "tavrine/eval/EvalOptions.h"
#include "tavrine/eval/Evaluation.h"
#include "tavrine/onboarding/PlayerProcess.h"
#include "tavrine/onboarding/WebEngineSanitizerOptions.h"
#include "tavrine/platform/LoginItem.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/shell/AppStartup.h"
#include "tavrine/shell/QuitSignals.h"
#include "tavrine/shell/SingleInstanceGuard.h"
#include "tavrine/shell/TavrineApp.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/GraphicsWarmUp.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStringList>

#include <X11/Xlib.h>
#include <cstdio>
#include <memory>
#include <optional>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// What this process is: chosen once, on the raw arguments, before any application object, user default or
// window exists, and never looked at again.
enum class LaunchMode { Application, Evaluation };

LaunchMode decideLaunch(int argc, const char* const* argv) {
    return tavrine::eval::isEvalLaunch(argc, argv) ? LaunchMode::Evaluation : LaunchMode::Application;
}

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

void complain(const QString& line) {
    std::fputs(qPrintable(QStringLiteral("tavrine: %1\n").arg(line)), stderr);
}

// Whether Qt can draw on its X display, asked of the connection Qt opened: every way of naming a display (DISPLAY,
// "-display", QT_QPA_PLATFORM or "-platform" with their fall-back lists) ends there. Tavrine's own connection is
// then opened on that same display, so that it reads the screen its windows show on, and DISPLAY names it. None
// when Qt does not draw on X11 (a fall-back such as offscreen) or can draw there.
std::optional<QString> qtDisplayRefusal() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->display())
        return std::nullopt;
    Display* display = x11->display();
    const QByteArray name = DisplayString(display);
    const int screen = DefaultScreen(display);
    if (std::optional<QString> refusal =
            tavrine::shell::screenRefusal(name, DefaultVisual(display, screen)->c_class, DefaultDepth(display, screen)))
        return refusal;
    // The programs Tavrine starts (the rehearsal's video player, the desktop's openers) and the libraries that
    // read $DISPLAY later find the same display.
    if (qgetenv("DISPLAY") != name)
        qputenv("DISPLAY", name);
    if (!tavrine::platform::X11Connection::openShared(name))
        return QStringLiteral("Tavrine's own connection to X display %1 could not be opened")
            .arg(QString::fromLocal8Bit(name));
    return std::nullopt;
}

// The menu-bar application. It receives the launch decision already made and never parses the arguments for it
// again.
int runApplication(int argc, char** argv, LaunchMode mode) {
    Q_UNUSED(mode);
#ifdef __GLIBC__
    // Blocks of a window's size (captures, their grey pages, the recognizer's buffers) go to the system when freed.
    // Left to itself, glibc raises this bound to the largest block freed so far, after which such blocks settle in
    // the heaps of the threads that made them and stay resident once freed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    const QStringList arguments = argumentList(argc, argv);

    // Never two processes on one history store: a later launch asks the running one for its main window.
    tavrine::shell::SingleInstanceGuard guard;
    if (!guard.tryBecomePrimary()) {
        // A login launch never brings anything forward, not even the running Tavrine's window.
        if (tavrine::platform::wasLaunchedAsLoginItem(arguments))
            return 0;
        if (guard.requestOpen() == tavrine::shell::SingleInstanceGuard::Answer::Opened)
            return 0;
        complain(QStringLiteral("another Tavrine is running but did not answer within 5 seconds"));
        return 1;
    }

    // The desktop we are made for; QT_QPA_PLATFORM still chooses another (offscreen for tests).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt's xcb backend ends the process with a fatal message and a core dump when its display cannot be opened
    // and nothing else is there to try: said in one line instead.
    const auto platform =
        tavrine::shell::QtPlatformChoice::of(arguments, qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"));
    std::unique_ptr<Display, int (*)(Display*)> probe(nullptr, &XCloseDisplay);
    if (platform.onlyXcb()) {
        probe.reset(XOpenDisplay(platform.xcbDisplay.isEmpty() ? nullptr : platform.xcbDisplay.constData()));
        if (!probe) {
            complain(platform.noDisplayRefusal());
            return 1;
        }
    }

    // Before any window.
    tavrine::shell::prepareApplication();
    QApplication::setApplicationVersion(QStringLiteral(TAVRINE_VERSION));
    // The probe stays open until Qt has connected: an X server whose last client leaves resets itself, and
    // refuses or drops the connections that come meanwhile. Qt's own may still fail (a server that refuses it, or
    // a fall-back list that fails whole): the watch then says so.
    std::optional<tavrine::shell::QtStartWatch> startWatch(std::in_place, probe ? QByteArray(DisplayString(probe.get()))
                                                                                : platform.xcbDisplay);
    QApplication app(argc, argv);
    startWatch.reset();
    probe.reset();
    // Before anything makes Qt draw.
    if (const std::optional<QString> refusal = qtDisplayRefusal()) {
        complain(*refusal);
        return 1;
    }
    const tavrine::ui::GraphicsWarmUp graphicsWarmUp;
    // While the driver loads on its own thread, nothing else may load a library or start a thread (the loader
    // holds glibc's lock for as long as it relocates LLVM), so the next ones would wait for it. The font database
    // and the default font need neither, and every window needs them: made now, they fill that wait.
    (void)QFontMetricsF(QGuiApplication::font()).horizontalAdvance(QStringLiteral("What's the one thing?"));
    tavrine::shell::setUpApplication();

    tavrine::shell::TavrineApp::Environment environment;
    environment.arguments = arguments;
    tavrine::shell::TavrineApp tavrine(std::move(environment));

    tavrine::shell::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &tavrine::shell::QuitSignals::quitRequested, &tavrine,
                     &tavrine::shell::TavrineApp::quit);
    quitSignals.install();
    // Losing the X display ends the process inside Qt (exit status 1) without any quit path running.
    quitSignals.setExitHook([&tavrine] { tavrine.endUnexpectedly(); });
    QObject::connect(&guard, &tavrine::shell::SingleInstanceGuard::openRequested, &tavrine,
                     &tavrine::shell::TavrineApp::reopen);
    if (!guard.listen())
        complain(QStringLiteral("a second launch cannot reach this one (%1)").arg(guard.socketPath()));

    try {
        tavrine.start();
    } catch (const tavrine::shell::WindowLoadError& error) {
        complain(error.description());
        return 1;
    }
    // A quit asked for while the launch waited on the tray host reached no event loop yet, and Qt drops an exit
    // asked for before one runs.
    if (tavrine.quitting())
        return 0;
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    // The rehearsal's video player, started by the application itself; never a user's launch.
    if (tavrine::PlayerProcess::isPlayerLaunch(argc, argv))
        return tavrine::PlayerProcess::run(argc, argv);
    const LaunchMode mode = decideLaunch(argc, argv);
    if (mode == LaunchMode::Evaluation)
        return tavrine::eval::runEvaluationProgram(argc, argv);
    return runApplication(argc, argv, mode);
}
