#include "tavrine/services/HistoryIntentWriter.h"

#include "tavrine/core/Numbers.h"

#include <QJsonArray>
#include <algorithm>

namespace tavrine {

namespace {

constexpr double historyTimeout = 60.0;

double lengthOf(const SessionTimeline::Segment& segment) {
    return finiteOrZero(segment.end - segment.start);
}

} // namespace

QList<HistoryBlockFacts> makeHistoryBlockFacts(const QList<SessionTimeline::Segment>& segments) {
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const SessionTimeline::Kind kind = segments.at(i).kind;
        if (kind == SessionTimeline::Kind::Related || kind == SessionTimeline::Kind::Detour)
            kept.append(i);
    }
    QList<qsizetype> longest = kept;
    std::stable_sort(longest.begin(), longest.end(),
                     [&](qsizetype a, qsizetype b) { return lengthOf(segments.at(a)) > lengthOf(segments.at(b)); });
    if (longest.size() > HistoryIntentWriter::blockLimit)
        longest.resize(HistoryIntentWriter::blockLimit);
    std::sort(longest.begin(), longest.end());

    QList<HistoryBlockFacts> facts;
    for (qsizetype index : std::as_const(longest)) {
        const SessionTimeline::Segment& segment = segments.at(index);
        HistoryBlockFacts block;
        block.id = QString::number(segment.id);
        block.kind =
            segment.kind == SessionTimeline::Kind::Related ? QStringLiteral("on_track") : QStringLiteral("detour");
        block.app = segment.clues.app;
        block.site = segment.clues.host;
        block.minutes = std::max<qint64>(1, roundedNumber(lengthOf(segment) / 60.0));
        block.titles = segment.clues.titles;
        block.text = segment.clues.excerpts;
        block.captions = segment.clues.captions;
        facts.append(block);
    }
    return facts;
}

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
