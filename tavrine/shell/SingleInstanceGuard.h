#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace tavrine::shell {

// One Tavrine per user: never two processes on one history store. The first launch takes a lock file in the
// runtime folder and listens on a local socket beside it; a later launch finds the lock taken and asks the
// running one to open its main window instead.
class SingleInstanceGuard final : public QObject {
    Q_OBJECT
public:
    // `folder`: where the lock and the socket live; the user's runtime folder when empty.
    explicit SingleInstanceGuard(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // Takes the lock (a lock left by a process that is gone is taken over). True: this process is the one.
    bool tryBecomePrimary();
    // The primary's listening socket; after the application object exists. False when it cannot listen.
    bool listen();

    enum class Answer { Opened, NoAnswer };
    // The secondary's request: "open", answered within `timeoutMs` (the primary may still be starting).
    Answer requestOpen(int timeoutMs = 5000);

    QString lockPath() const;
    QString socketPath() const;

signals:
    // A later launch asked for the main window.
    void openRequested();

private:
    void serve();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace tavrine::shell
