#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <functional>
#include <memory>
#include <optional>

namespace tavrine::test {

// One installed desktop application started under the test X server with accessibility on for it, ended when
// this object goes away. Tests that need one skip when it is not installed, unless TAVRINE_REAL_APPS is
// "required" (as on CI), where a missing program is a failure.
class RealApplication {
public:
    // The program's path; none when it is not installed.
    static std::optional<QString> find(const QString& program);
    // Whether a missing program fails the test instead of skipping it.
    static bool required();

    // Starts `program` with `arguments` in a fresh home folder of its own. The accessibility bus must be enabled
    // before (toolkits decide at start whether to show their trees).
    RealApplication(const QString& path, const QStringList& arguments,
                    const QList<std::pair<QString, QString>>& environment = {});
    ~RealApplication();
    RealApplication(const RealApplication&) = delete;
    RealApplication& operator=(const RealApplication&) = delete;

    // A folder of the application's own for files it is given (it goes away with the application).
    QString folder() const { return m_folder; }
    bool isRunning() const;

    // Waits up to `seconds` of real time for a viewable managed window whose title satisfies `title`, and
    // answers its id (an X window id).
    std::optional<quint32> waitForWindow(const std::function<bool(const QString&)>& title, double seconds = 60.0);

private:
    std::unique_ptr<QProcess> m_process;
    QString m_folder;
};

// Serves one HTML page on 127.0.0.1 for as long as it lives; any other path is answered 404. Runs on the
// test's event loop.
class LoopbackPage {
public:
    explicit LoopbackPage(QByteArray html);
    ~LoopbackPage();

    // "http://127.0.0.1:<port>/<name>"; empty when the server did not start. The page is served at "page.html",
    // with any query after it.
    QString url(const QString& name = QStringLiteral("page.html")) const;
    // How many requests for the page were answered.
    int served() const { return m_served; }

private:
    QByteArray m_html;
    QTcpServer m_server;
    int m_served = 0;
};

} // namespace tavrine::test
