#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavrine::shell {

// SIGTERM, SIGINT and SIGHUP become a signal on the main thread (through a self-pipe), so that a quit by the
// session manager or a terminal ends a running session the same way the "Quit" command does.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Installs the handlers; false when the pipe could not be made.
    bool install();

signals:
    void quitRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tavrine::shell
