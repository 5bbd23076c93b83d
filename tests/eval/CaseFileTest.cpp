#include "tavrine/eval/CaseFile.h"
#include "tavrine/eval/EvalFileError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavrine::eval;

namespace {

// The read's failure text, or "<read N bytes>".
QString readOutcome(const QString& path, qint64 limit) {
    try {
        return QStringLiteral("<read %1 bytes>").arg(casefile::readAll(path, limit).size());
    } catch (const EvalFileError& error) {
        EXPECT_EQ(error.kind(), EvalFileError::Kind::Read);
        return error.description();
    }
}

QString fileOf(const QTemporaryDir& dir, const QString& name, qint64 size) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
    return path;
}

} // namespace

TEST(EvalCaseFileRead, FilesUpToTheLimitAreReadWholeAndLargerOrEndlessOnesRefused) {
    QTemporaryDir dir;
    const qint64 limit = 3 * 1024 * 1024 + 17; // more than one read chunk, not a whole number of them
    const QString atLimit = fileOf(dir, QStringLiteral("at-limit.json"), limit);
    const QString overLimit = fileOf(dir, QStringLiteral("over-limit.json"), limit + 1);
    const QString empty = fileOf(dir, QStringLiteral("empty.json"), 0);
    const QString tooLarge = QStringLiteral(": File is larger than 3145745 bytes");
    const std::pair<QString, QString> cases[] = {
        {atLimit, QStringLiteral("<read 3145745 bytes>")},
        {empty, QStringLiteral("<read 0 bytes>")},
        {overLimit, QStringLiteral("Cannot read ") + overLimit + tooLarge},
        // A device has no size: the read itself stops past the limit.
        {QStringLiteral("/dev/zero"), QStringLiteral("Cannot read /dev/zero") + tooLarge},
        {dir.path(), QStringLiteral("Cannot read ") + dir.path() + QStringLiteral(": Is a directory")},
    };
    for (const auto& [path, outcome] : cases)
        EXPECT_EQ(readOutcome(path, limit), outcome) << path.toStdString();
}
