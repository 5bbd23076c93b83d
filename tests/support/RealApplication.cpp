#include "RealApplication.h"

#include "support/TestSupport.h"
#include "tavrine/platform/x11/X11Connection.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUuid>

#include <csignal>

namespace tavrine::test {

std::optional<QString> RealApplication::find(const QString& program) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

bool RealApplication::required() {
    return qEnvironmentVariable("TAVRINE_REAL_APPS") == QLatin1String("required");
}

RealApplication::RealApplication(const QString& path, const QStringList& arguments,
                                 const QList<std::pair<QString, QString>>& environment)
    : m_process(std::make_unique<QProcess>()) {
    // Below the test's own temporary home, which the test main removes at the end.
    m_folder = QDir::home().filePath(QStringLiteral("app-") + QUuid::createUuid().toString(QUuid::Id128));
    QDir().mkpath(m_folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Toolkits that were told to keep away from the accessibility bus would show no tree.
    env.remove(QStringLiteral("NO_AT_BRIDGE"));
    env.remove(QStringLiteral("GTK_MODULES"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("GNOME_ACCESSIBILITY"), QStringLiteral("1"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    env.insert(QStringLiteral("HOME"), m_folder);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_folder + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_folder + QStringLiteral("/data"));
    // The sanitizer settings of the test are no business of an uninstrumented program.
    env.remove(QStringLiteral("ASAN_OPTIONS"));
    env.remove(QStringLiteral("UBSAN_OPTIONS"));
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    m_process->setProcessEnvironment(env);
    m_process->setWorkingDirectory(m_folder);
    m_process->setStandardOutputFile(m_folder + QStringLiteral("/stdout.log"));
    m_process->setStandardErrorFile(m_folder + QStringLiteral("/stderr.log"));
    // A group of its own: a browser starts helper processes, and all of them end with the test.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_process->start(path, arguments);
    m_process->waitForStarted(10000);
}

RealApplication::~RealApplication() {
    const qint64 pid = m_process->processId();
    if (pid > 0) {
        ::kill(-pid_t(pid), SIGTERM);
        if (!m_process->waitForFinished(5000))
            ::kill(-pid_t(pid), SIGKILL);
        m_process->waitForFinished(5000);
        // Helpers of the group that outlived their parent.
        ::kill(-pid_t(pid), SIGKILL);
    }
}

bool RealApplication::isRunning() const {
    return m_process->state() != QProcess::NotRunning;
}

std::optional<quint32> RealApplication::waitForWindow(const std::function<bool(const QString&)>& title,
                                                      double seconds) {
    platform::X11Connection& x11 = *platform::X11Connection::shared();
    std::optional<quint32> found;
    waitUntil(
        [&] {
            for (const platform::XWindowId window : x11.clientListStacking()) {
                if (x11.isViewable(window) && title(x11.windowTitle(window))) {
                    found = window;
                    return true;
                }
            }
            return !isRunning();
        },
        seconds);
    return found;
}

LoopbackPage::LoopbackPage(QByteArray html) : m_html(std::move(html)) {
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                const QByteArray request = socket->peek(8192);
                if (!request.contains("\r\n\r\n"))
                    return;
                socket->readAll();
                // The page, at its name alone or with a query after it.
                const bool page = request.startsWith("GET /page.html ") || request.startsWith("GET /page.html?");
                const QByteArray body = page ? m_html : QByteArray("not here");
                m_served += page ? 1 : 0;
                socket->write((page ? QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n")
                                    : QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n")) +
                              "Content-Length: " + QByteArray::number(body.size()) +
                              "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

LoopbackPage::~LoopbackPage() = default;

QString LoopbackPage::url(const QString& name) const {
    if (!m_server.isListening())
        return {};
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_server.serverPort()).arg(name);
}

} // namespace tavrine::test
