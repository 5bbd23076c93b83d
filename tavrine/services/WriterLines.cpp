#include "tavrine/services/WriterLines.h"

#include "tavrine/core/Text.h"
#include "tavrine/services/NudgeWriterError.h"

namespace tavrine {

std::optional<QString> answeredPromptVersion(const QJsonObject& answer) {
    const QJsonValue version = answer.value(QStringLiteral("prompt_version"));
    if (version.isString() && !version.toString().isEmpty())
        return version.toString();
    return std::nullopt;
}

QMap<QString, QString> parseWriterLines(const QJsonObject& answer) {
    const QJsonValue status = answer.value(QStringLiteral("status"));
    if (!status.isString() || status.toString() != QLatin1String("ok"))
        throw NudgeWriterError(NudgeWriterError::Kind::invalidResponse);
    const QJsonValue lines = answer.value(QStringLiteral("lines"));
    if (!lines.isObject())
        throw NudgeWriterError(NudgeWriterError::Kind::invalidResponse);

    QMap<QString, QString> result;
    const QJsonObject object = lines.toObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            continue;
        const QString line = it.value().toString();
        if (text::trimmed(line).isEmpty())
            continue;
        result.insert(it.key(), line);
    }
    return result;
}

} // namespace tavrine
