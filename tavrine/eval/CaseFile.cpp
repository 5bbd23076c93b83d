#include "tavrine/eval/CaseFile.h"

#include "tavrine/eval/EvalFileError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace tavrine::eval::casefile {

QByteArray readAll(const QString& path) {
    // A folder opens fine on Linux and reads as nothing: name it before trying.
    if (QFileInfo(path).isDir())
        throw EvalFileError::read(path, QStringLiteral("Is a directory"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EvalFileError::read(path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EvalFileError::read(path, file.errorString());
    return bytes;
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
