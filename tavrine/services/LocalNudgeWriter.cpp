#include "tavrine/services/LocalNudgeWriter.h"

#include "tavrine/services/NudgeWriterError.h"
#include "tavrine/services/TavrineAPIError.h"

namespace tavrine {

namespace {

constexpr double nudgeTimeout = 60.0;

QString textOrEmpty(const QJsonObject& answer, const QString& member) {
    const QJsonValue value = answer.value(member);
    return value.isString() ? value.toString() : QString();
}

} // namespace

QJsonObject LocalNudgeWriter::requestBody(const NudgeFacts& facts) {
    return facts.toJson();
}

WrittenNudge LocalNudgeWriter::parseAnswer(const QJsonObject& answer) {
    const QJsonValue status = answer.value(QStringLiteral("status"));
    if (status.isString() && status.toString() == QLatin1String("rejected")) {
        const QJsonValue reason = answer.value(QStringLiteral("reason"));
        throw NudgeWriterError::rejected(reason.isString() ? reason.toString() : QStringLiteral("unknown"));
    }
    if (!status.isString() || status.toString() != QLatin1String("ok"))
        throw NudgeWriterError(NudgeWriterError::Kind::invalidResponse);
    const QJsonValue nudge = answer.value(QStringLiteral("nudge"));
    if (!nudge.isString() || nudge.toString().isEmpty())
        throw NudgeWriterError(NudgeWriterError::Kind::invalidResponse);

    WrittenNudge written;
    written.text = nudge.toString();
    const QString speech = textOrEmpty(answer, QStringLiteral("speech"));
    if (!speech.isEmpty())
        written.speech = speech;
    written.promptVersion = textOrEmpty(answer, QStringLiteral("prompt_version"));
    written.model = textOrEmpty(answer, QStringLiteral("model"));
    written.doorway = textOrEmpty(answer, QStringLiteral("doorway"));
    return written;
}

QCoro::Task<WrittenNudge> LocalNudgeWriter::write(NudgeFacts facts) {
    const std::shared_ptr<TavrineAPIClient> api = m_api;
    const QString path = QStringLiteral("nudge");
    std::optional<TavrineAPIError> refused;
    QJsonObject answer;
    try {
        answer = co_await api->post(path, requestBody(facts), path, nudgeTimeout);
    } catch (const TavrineAPIError& error) {
        refused = error;
    }
    if (refused) {
        if (refused->kind() == TavrineAPIError::Kind::missingToken)
            throw NudgeWriterError(NudgeWriterError::Kind::missingToken);
        throw NudgeWriterError::httpStatus(0, refused->description()).withReason(refused->reason());
    }
    co_return parseAnswer(answer);
}

} // namespace tavrine
