#include "TestWindowProcess.h"

#include "support/TestSupport.h"

namespace tavrine::test {

TestWindowProcess::TestWindowProcess(const QString& title, const QStringList& lines, Kind kind)
    : m_process(std::make_unique<QProcess>()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("--title"), title};
    if (kind == Kind::plain)
        arguments.append(QStringLiteral("--plain"));
    else if (kind == Kind::panel)
        arguments.append(QStringLiteral("--panel"));
    arguments.append(lines);
    m_process->start(QStringLiteral(TAVRINE_TEST_WINDOW), arguments);
    // A sanitized Qt process starting on a busy machine can take many seconds.
    m_ready = waitForLine(QStringLiteral("ready"), 60.0);
}

TestWindowProcess::~TestWindowProcess() {
    m_process->kill();
    m_process->waitForFinished(5000);
}

qint32 TestWindowProcess::pid() const {
    return qint32(m_process->processId());
}

bool TestWindowProcess::waitForLine(const QString& line, double seconds) {
    return waitUntil(
               [&] {
                   while (m_process->canReadLine())
                       m_lines.append(QString::fromUtf8(m_process->readLine()).trimmed());
                   // A window that ended prints nothing more: no use waiting out the limit.
                   return m_lines.contains(line) || m_process->state() == QProcess::NotRunning;
               },
               seconds) &&
           m_lines.contains(line);
}

} // namespace tavrine::test
