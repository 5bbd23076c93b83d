#include "tavrine/shell/SingleInstanceGuard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace tavrine::shell {

namespace {
const QByteArray openRequest = "open\n";
const QByteArray openAnswer = "ok\n";
// What a client may send and how long it may take: the one command is a few bytes, sent at once. Anything longer
// or slower is not a Tavrine launch, and must cost the running one neither memory nor a connection for ever.
constexpr qint64 requestLimit = 64;
constexpr int clientMilliseconds = 1000;
} // namespace

SingleInstanceGuard::SingleInstanceGuard(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (m_folder.isEmpty())
        m_folder = QDir::tempPath();
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_server) {
        m_server->close();
        // The socket file goes before the lock, so that a next primary never removes a live socket.
        QLocalServer::removeServer(socketPath());
    }
}

QString SingleInstanceGuard::lockPath() const {
    return m_folder + QStringLiteral("/com.dravolence.tavrine.lock");
}

QString SingleInstanceGuard::socketPath() const {
    return m_folder + QStringLiteral("/com.dravolence.tavrine.socket");
}

bool SingleInstanceGuard::tryBecomePrimary() {
    if (m_lock && m_lock->isLocked())
        return true;
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a lock whose process is gone is stale; a long-running Tavrine keeps its lock however old.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

bool SingleInstanceGuard::listen() {
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a primary that crashed; the lock says nobody listens on it.
    QLocalServer::removeServer(socketPath());
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::serve);
    return m_server->listen(socketPath());
}

void SingleInstanceGuard::serve() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->setReadBufferSize(requestLimit);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto drop = [socket] {
            socket->abort();
            socket->deleteLater();
        };
        QTimer::singleShot(clientMilliseconds, socket, drop);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, drop] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() >= requestLimit)
                    drop();
                return;
            }
            const QByteArray line = socket->readLine(requestLimit + 1);
            if (line == openRequest) {
                emit openRequested();
                socket->write(openAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

SingleInstanceGuard::Answer SingleInstanceGuard::requestOpen(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (!socket.waitForConnected(int(std::min<qint64>(deadline.remainingTime(), 1000)))) {
            // The primary holds the lock but may not listen yet.
            QThread::msleep(50);
            continue;
        }
        socket.write(openRequest);
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            continue;
        while (!socket.canReadLine() && socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
        }
        if (socket.canReadLine() && socket.readLine() == openAnswer)
            return Answer::Opened;
    }
    return Answer::NoAnswer;
}

} // namespace tavrine::shell
