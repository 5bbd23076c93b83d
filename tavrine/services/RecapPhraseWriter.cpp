#include "tavrine/services/RecapPhraseWriter.h"

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
    co_return co_await postForLines(QStringLiteral("recap"), requestBody(intention, facts), recapTimeout);
}

} // namespace tavrine
