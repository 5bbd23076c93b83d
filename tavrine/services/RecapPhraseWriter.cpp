#include "tavrine/services/RecapPhraseWriter.h"

#include "tavrine/services/WriterLines.h"

#include <QJsonArray>

namespace tavrine {

namespace {
constexpr double recapTimeout = 30.0;
}

QJsonObject RecapPhraseWriter::requestBody(const QString& intention, const QList<RecapDetourFacts>& facts) {
    QJsonArray detours;
    for (const RecapDetourFacts& detour : facts)
        detours.append(QJsonObject{
            {QStringLiteral("id"), detour.id},
            {QStringLiteral("app"), detour.app},
            {QStringLiteral("site"), detour.site},
            {QStringLiteral("minutes"), static_cast<double>(detour.minutes)},
            {QStringLiteral("titles"), QJsonArray::fromStringList(detour.titles)},
            {QStringLiteral("captions"), QJsonArray::fromStringList(detour.captions)},
            {QStringLiteral("fallback"), detour.fallback},
        });
    return QJsonObject{{QStringLiteral("intention"), intention}, {QStringLiteral("detours"), detours}};
}

QCoro::Task<QMap<QString, QString>> RecapPhraseWriter::write(QString intention, QList<RecapDetourFacts> facts) {
    const std::shared_ptr<TavrineAPIClient> api = m_api;
    const std::shared_ptr<bool> alive = m_alive;
    const QString path = QStringLiteral("recap");
    const QJsonObject answer = co_await api->post(path, requestBody(intention, facts), path, recapTimeout);
    // A writer that went away while the call was in flight has no version to keep.
    if (const std::optional<QString> version = answeredPromptVersion(answer); version && *alive)
        m_promptVersion = *version;
    co_return parseWriterLines(answer);
}

} // namespace tavrine
