#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tavrine::shell {

// SIGTERM, SIGINT and SIGHUP become a signal on the main thread (through a self-pipe), so that a quit by the
// session manager or a terminal ends a running session the same way the "Quit" command does. Each one is
// logged with the process that sent it, so that a stray signal is visible.
//
// It also holds the last resort for an exit that no quit path sees: Qt's xcb plug-in calls exit() when the X
// connection breaks, which runs neither aboutToQuit nor any destructor of ours.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Installs the handlers; false when the pipe could not be made.
    bool install();
    // Runs `hook` once, on the main thread, when the process ends through exit() while this object lives
    // (returning from main destroys it first, so a normal quit never runs it).
    void setExitHook(std::function<void()> hook);

signals:
    void quitRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tavrine::shell
