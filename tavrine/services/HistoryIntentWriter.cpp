#include "tavrine/services/HistoryIntentWriter.h"

#include "tavrine/core/Numbers.h"

#include <QJsonArray>
#include <algorithm>

namespace tavrine {

namespace {

constexpr double historyTimeout = 60.0;

} // namespace

QJsonObject HistoryIntentWriter::requestBody(const QString& intention, const QList<HistoryBlockFacts>& facts) {
    QJsonArray blocks;
    for (const HistoryBlockFacts& block : facts)
        blocks.append(QJsonObject{
            {QStringLiteral("id"), block.id},
            {QStringLiteral("kind"), block.kind},
            {QStringLiteral("app"), block.app},
            {QStringLiteral("site"), block.site},
            {QStringLiteral("minutes"), static_cast<double>(block.minutes)},
            {QStringLiteral("titles"), QJsonArray::fromStringList(block.titles)},
            {QStringLiteral("text"), QJsonArray::fromStringList(block.text)},
            {QStringLiteral("captions"), QJsonArray::fromStringList(block.captions)},
        });
    return QJsonObject{{QStringLiteral("intention"), intention}, {QStringLiteral("blocks"), blocks}};
}

QCoro::Task<QMap<QString, QString>> HistoryIntentWriter::write(QString intention, QList<HistoryBlockFacts> facts) {
    co_return co_await postForLines(QStringLiteral("history"), requestBody(intention, facts), historyTimeout);
}

} // namespace tavrine
