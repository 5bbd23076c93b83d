#include "HarnessRun.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>

namespace tavrine::test {

QStringList HarnessOutcome::outLines() const {
    QStringList lines = out.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void HarnessRun::SetUp() {
    ASSERT_TRUE(m_folder.isValid());
    ASSERT_TRUE(m_api.listen());
}

QString HarnessRun::write(const QString& relative, const QByteArray& bytes) {
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return file;
}

QString HarnessRun::copyScreenshot(const QString& name, const QString& relative) {
    QFile in(QStringLiteral(TAVRINE_EXAMPLES "/screenshots/") + name);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << name.toStdString();
    return write(relative, in.readAll());
}

HarnessOutcome HarnessRun::run(const QStringList& arguments, const QProcessEnvironment& extra,
                               const QStringList& unset) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Headless means no display at all.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("TAVRINE_API_BASE_URL"), m_api.baseURL().toString());
    environment.insert(QStringLiteral("TAVRINE_API_TOKEN"), QStringLiteral("test-token"));
    const QStringList keys = extra.keys();
    for (const QString& key : keys)
        environment.insert(key, extra.value(key));
    for (const QString& key : unset)
        environment.remove(key);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_folder.path());
    process.start(QStringLiteral(TAVRINE_EXECUTABLE), arguments);
    HarnessOutcome outcome;
    if (!process.waitForStarted(10000))
        return outcome;
    // The fake answers on this thread's event loop, so the wait keeps it turning.
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, 120);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.finished = process.exitStatus() == QProcess::NormalExit;
    outcome.status = process.exitCode();
    outcome.out = QString::fromUtf8(process.readAllStandardOutput());
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

HarnessOutcome HarnessRun::expectStop(const QString& commandLine, const QString& message, int status) {
    HarnessOutcome outcome = run(commandLine);
    EXPECT_EQ(outcome.status, status) << commandLine.toStdString();
    EXPECT_TRUE(outcome.err.contains(message)) << commandLine.toStdString() << ": " << outcome.err.toStdString();
    return outcome;
}

QJsonObject HarnessRun::report(const QString& relative) const {
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool HarnessRun::exists(const QString& relative) const {
    return QFileInfo::exists(path(relative));
}

QJsonObject verdict(const QString& label, double enough, double supports, const QString& question) {
    return QJsonObject{{QStringLiteral("label"), label},
                       {QStringLiteral("enough_evidence"), enough},
                       {QStringLiteral("supports"), supports},
                       {QStringLiteral("question"), question},
                       {QStringLiteral("version"), QStringLiteral("judge-v9")},
                       {QStringLiteral("model"), QStringLiteral("judge-model")}};
}

} // namespace tavrine::test
