#include "tavrine/shell/QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tavrine::shell {

namespace {
int pipeEnds[2] = {-1, -1};
const int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Only async-signal-safe calls here; a full pipe loses a repeat of a signal already pending, nothing more.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}
} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}

QuitSignals::~QuitSignals() {
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
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handledSignals)
        sigaction(number, &action, nullptr);
    return true;
}

void QuitSignals::drain() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        last = byte;
    if (last != 0)
        emit quitRequested(last);
}

} // namespace tavrine::shell
