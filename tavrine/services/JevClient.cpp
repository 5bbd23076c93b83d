#include "tavrine/services/JevClient.h"

#include "tavrine/services/JevClientError.h"
#include "tavrine/services/TavrineAPIError.h"

namespace tavrine {

namespace {

constexpr double judgeTimeout = 60.0;

JevClientError invalid() {
    return JevClientError(JevClientError::Kind::invalidResponse);
}

// A JSON number. Text that looks like a number is not one, and neither is a boolean.
double number(const QJsonObject& answer, const QString& member) {
    const QJsonValue value = answer.value(member);
    if (!value.isDouble())
        throw invalid();
    return value.toDouble();
}

QString textOrEmpty(const QJsonObject& answer, const QString& member) {
    const QJsonValue value = answer.value(member);
    return value.isString() ? value.toString() : QString();
}

} // namespace

QJsonObject JevClient::requestBody(const QString& intention, const std::optional<QString>& actions,
                                   const ActivityEvidence& evidence) {
    const QJsonObject state{
        {QStringLiteral("app"), evidence.app},
        {QStringLiteral("window"), evidence.title},
        {QStringLiteral("subject"), evidence.subject},
        {QStringLiteral("url"), evidence.url},
        {QStringLiteral("focused"), evidence.focusedDescription},
        {QStringLiteral("text"), evidence.text},
    };
    return QJsonObject{
        {QStringLiteral("intention"), intention},
        {QStringLiteral("state"), state},
        {QStringLiteral("actions"), actions && !actions->isEmpty() ? *actions : QString()},
    };
}

JevVerdict JevClient::parseAnswer(const QJsonObject& answer) {
    JevVerdict verdict;
    const QJsonValue label = answer.value(QStringLiteral("label"));
    const std::optional<ActivityRelevance> relevance =
        label.isString() ? activityRelevanceFromRawValue(label.toString()) : std::nullopt;
    if (!relevance)
        throw invalid();
    verdict.label = *relevance;
    verdict.enoughEvidence = number(answer, QStringLiteral("enough_evidence"));
    verdict.supportsJob = number(answer, QStringLiteral("supports"));
    const QJsonValue question = answer.value(QStringLiteral("question"));
    if (!question.isString() || question.toString().isEmpty())
        throw invalid();
    verdict.question = question.toString();
    verdict.version = textOrEmpty(answer, QStringLiteral("version"));
    verdict.model = textOrEmpty(answer, QStringLiteral("model"));
    return verdict;
}

QCoro::Task<JevVerdict> JevClient::judge(QString intention, std::optional<QString> actions, ActivityEvidence evidence) {
    const std::shared_ptr<TavrineAPIClient> api = m_api;
    const QJsonObject body = requestBody(intention, actions, evidence);
    const QString path = QStringLiteral("judge");
    std::optional<TavrineAPIError> refused;
    QJsonObject answer;
    try {
        answer = co_await api->post(path, body, path, judgeTimeout);
    } catch (const TavrineAPIError& error) {
        refused = error;
    }
    if (refused) {
        switch (refused->kind()) {
        case TavrineAPIError::Kind::missingToken:
            throw JevClientError(JevClientError::Kind::missingAPIKey);
        case TavrineAPIError::Kind::invalidResponse:
            throw invalid();
        case TavrineAPIError::Kind::httpStatus:
            throw JevClientError::httpStatus(refused->status(), refused->text());
        case TavrineAPIError::Kind::addressRefused:
            throw JevClientError::addressRefused(refused->text());
        case TavrineAPIError::Kind::unauthorized:
        case TavrineAPIError::Kind::dailyLimit:
        case TavrineAPIError::Kind::rateLimited:
            // Stored as the judge's HTTP case with no status; the refusal's own sentence goes with it.
            throw JevClientError::httpStatus(0, refused->description()).withReason(refused->reason());
        }
    }
    co_return parseAnswer(answer);
}

} // namespace tavrine
