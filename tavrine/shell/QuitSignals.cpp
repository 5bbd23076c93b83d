#include "tavrine/shell/QuitSignals.h"

#include "tavrine/core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace tavrine::shell {

namespace {
int pipeEnds[2] = {-1, -1};
const int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// One record per signal; smaller than PIPE_BUF, so written whole or not at all.
struct Arrival {
    int number;
    pid_t sender;
};

void onSignal(int number, siginfo_t* info, void*) {
    const int saved = errno;
    const Arrival arrival{number, info ? info->si_pid : 0};
    // Only async-signal-safe calls here; a full pipe loses a repeat of a signal already pending, nothing more.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &arrival, sizeof arrival);
    errno = saved;
}

QString signalName(int number) {
    switch (number) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    }
    return QStringLiteral("signal %1").arg(number);
}

// At namespace scope, made before main: its destructor then runs after runExitHook, which atexit() registers
// later. A function-local static made on the first setExitHook would be destroyed first, and the exit that the
// hook is for would call a destroyed function.
std::function<void()> exitHookStorage;

std::function<void()>& exitHook() {
    return exitHookStorage;
}

void runExitHook() {
    std::function<void()> hook = std::move(exitHook());
    exitHook() = nullptr;
    if (!hook)
        return;
    // exit() called on another thread (a render thread's Xlib) races with the main thread: the running
    // session's last write is what remains then.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    hook();
}
} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}

QuitSignals::~QuitSignals() {
    exitHook() = nullptr;
    if (!m_notifier)
        return;
    for (int number : handledSignals)
        std::signal(number, SIG_DFL);
}

bool QuitSignals::install() {
    if (m_notifier)
        return true;
    if (pipeEnds[0] < 0) {
        if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
    }
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    struct sigaction action = {};
    action.sa_sigaction = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    for (int number : handledSignals)
        sigaction(number, &action, nullptr);
    return true;
}

void QuitSignals::setExitHook(std::function<void()> hook) {
    static const bool registered = std::atexit(runExitHook) == 0;
    if (!registered)
        return;
    exitHook() = std::move(hook);
}

void QuitSignals::drain() {
    Arrival arrival{};
    int last = 0;
    while (::read(pipeEnds[0], &arrival, sizeof arrival) == ssize_t(sizeof arrival)) {
        last = arrival.number;
        log::notice(
            logSession(),
            QStringLiteral("Quit requested by %1 from process %2").arg(signalName(arrival.number)).arg(arrival.sender));
    }
    if (last != 0)
        emit quitRequested(last);
}

} // namespace tavrine::shell
