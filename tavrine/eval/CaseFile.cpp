#include "tavrine/eval/CaseFile.h"

#include "tavrine/eval/EvalFileError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <sys/stat.h>

namespace tavrine::eval::casefile {

namespace {

QString tooLarge(qint64 limit) {
    if (limit % (1024 * 1024) == 0)
        return QStringLiteral("File is larger than %1 MB").arg(limit / (1024 * 1024));
    return QStringLiteral("File is larger than %1 bytes").arg(limit);
}

} // namespace

QByteArray readAll(const QString& path, qint64 limit) {
    // A folder opens fine on Linux and reads as nothing: name it before trying.
    const QFileInfo info(path);
    if (info.isDir())
        throw EvalFileError::read(path, QStringLiteral("Is a directory"));
    // A regular file is refused by its size before a byte is read; a device has no size to ask, so the read
    // itself stops one byte past the limit.
    if (info.isFile() && info.size() > limit)
        throw EvalFileError::read(path, tooLarge(limit));
    // Opening a pipe waits for a writer, perhaps for ever, and what comes through it has no end to check
    // beforehand: it is refused by its kind, as one that never ends.
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode))
        throw EvalFileError::read(path, tooLarge(limit));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EvalFileError::read(path, file.errorString());
    QByteArray bytes;
    constexpr qint64 chunk = 1024 * 1024;
    for (;;) {
        const qint64 had = bytes.size();
        const qint64 wanted = std::min(chunk, limit + 1 - had);
        bytes.resize(had + wanted);
        const qint64 got = file.read(bytes.data() + had, wanted);
        if (got < 0)
            throw EvalFileError::read(path, file.errorString());
        bytes.resize(had + got);
        if (bytes.size() > limit)
            throw EvalFileError::read(path, tooLarge(limit));
        if (got == 0)
            return bytes;
    }
}

QList<QJsonObject> objects(const QByteArray& bytes) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw EvalFileError::decode(QStringLiteral("invalid JSON at offset ") + QString::number(parseError.offset) +
                                    QStringLiteral(" (") + parseError.errorString() + QLatin1Char(')'));
    if (!document.isArray())
        throw EvalFileError::decode(QStringLiteral("expected a JSON array of cases"));
    const QJsonArray array = document.array();
    QList<QJsonObject> result;
    result.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject())
            throw EvalFileError::decode(QStringLiteral("case ") + QString::number(i + 1) +
                                        QStringLiteral(" is not a JSON object"));
        result.append(array.at(i).toObject());
    }
    return result;
}

void fail(qsizetype index, const QString& key, const QString& detail) {
    throw EvalFileError::decode(QStringLiteral("case ") + QString::number(index) + QStringLiteral(", key \"") + key +
                                QStringLiteral("\": ") + detail);
}

std::optional<QString> optionalText(const QJsonObject& object, const QString& key, qsizetype index) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        fail(index, key, QStringLiteral("expected a string"));
    return value.toString();
}

QString requiredText(const QJsonObject& object, const QString& key, qsizetype index) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        fail(index, key, QStringLiteral("missing"));
    if (value.isNull())
        fail(index, key, QStringLiteral("expected a string, found null"));
    if (!value.isString())
        fail(index, key, QStringLiteral("expected a string"));
    return value.toString();
}

QString text(const QJsonObject& object, const QString& key, qsizetype index) {
    return optionalText(object, key, index).value_or(QString());
}

} // namespace tavrine::eval::casefile
