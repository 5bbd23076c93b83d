#include "support/LogCapture.h"

#include <QMutex>
#include <QStringList>

namespace tavrine::test {

namespace {
QMutex mutex;
QList<LogCapture::Line> captured;
QtMessageHandler previous = nullptr;
int active = 0;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    QString category = QString::fromUtf8(context.category ? context.category : "");
    const QString prefix = QStringLiteral("com.dravolence.tavrine.");
    if (category.startsWith(prefix))
        category = category.mid(prefix.size());
    QString level;
    switch (type) {
    case QtDebugMsg:
        level = QStringLiteral("debug");
        break;
    case QtInfoMsg:
        level = QStringLiteral("info");
        break;
    case QtWarningMsg:
        level = QStringLiteral("warning");
        break;
    case QtCriticalMsg:
        level = QStringLiteral("critical");
        break;
    case QtFatalMsg:
        level = QStringLiteral("fatal");
        break;
    }
    {
        QMutexLocker lock(&mutex);
        captured.append({category, level, message});
    }
    if (previous && (qEnvironmentVariable("TAVRINE_TEST_LOG") == QLatin1String("1") || type == QtFatalMsg))
        previous(type, context, message);
}
} // namespace

LogCapture::LogCapture() {
    QMutexLocker lock(&mutex);
    if (active++ == 0) {
        captured.clear();
        previous = qInstallMessageHandler(handler);
    }
}

LogCapture::~LogCapture() {
    QMutexLocker lock(&mutex);
    if (--active == 0)
        qInstallMessageHandler(previous);
}

QList<LogCapture::Line> LogCapture::lines() const {
    QMutexLocker lock(&mutex);
    return captured;
}

QStringList LogCapture::messages(const QString& category) const {
    QMutexLocker lock(&mutex);
    QStringList out;
    for (const auto& line : captured)
        if (line.category == category)
            out.append(line.message);
    return out;
}

void LogCapture::clear() {
    QMutexLocker lock(&mutex);
    captured.clear();
}

} // namespace tavrine::test
