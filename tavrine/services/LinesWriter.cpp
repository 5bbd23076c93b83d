#include "tavrine/services/LinesWriter.h"

#include "tavrine/core/Text.h"
#include "tavrine/services/NudgeWriterError.h"

#include <optional>

namespace tavrine {

namespace {

std::optional<QString> answeredPromptVersion(const QJsonObject& answer) {
    const QJsonValue version = answer.value(QStringLiteral("prompt_version"));
    if (version.isString() && !version.toString().isEmpty())
        return version.toString();
    return std::nullopt;
}

} // namespace

QMap<QString, QString> LinesWriter::parseLines(const QJsonObject& answer) {
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

QCoro::Task<QMap<QString, QString>> LinesWriter::postForLines(QString path, QJsonObject body, double timeout) {
    const std::shared_ptr<TavrineAPIClient> api = m_api;
    const std::shared_ptr<bool> alive = m_alive;
    const QJsonObject answer = co_await api->post(path, body, path, timeout);
    // A writer that went away while the call was in flight has no version to keep.
    if (const std::optional<QString> version = answeredPromptVersion(answer); version && *alive)
        m_promptVersion = *version;
    co_return parseLines(answer);
}

} // namespace tavrine
