#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <vector>

namespace tavrine::test {

bool waitUntil(const std::function<bool()>& done, double seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > qint64(seconds * 1000))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
        QThread::usleep(200);
    }
    return true;
}

QString programOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool mapsFile(const QByteArray& name, qint64 pid) {
    QFile maps(pid ? QStringLiteral("/proc/%1/maps").arg(pid) : QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().toLower().contains(name);
}

QString temporaryFolder() {
    // Kept for the life of the test process; the whole HOME is a temporary folder anyway.
    static std::vector<std::unique_ptr<QTemporaryDir>> folders;
    folders.push_back(std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tavrine-XXXXXX")));
    return folders.back()->path();
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xffffffff;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

} // namespace tavrine::test
