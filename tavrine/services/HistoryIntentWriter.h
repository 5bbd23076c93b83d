#pragma once

#include "tavrine/history/TimelineBlocks.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/services/LinesWriter.h"

#include <QJsonObject>

namespace tavrine {

// Asks "history" for one intent line per block.
class HistoryIntentWriter : public HistoryIntentWriting, private LinesWriter {
public:
    static constexpr const char* defaultPromptVersion = "history-v1";
    static constexpr qsizetype blockLimit = historyBlockLimit;

    explicit HistoryIntentWriter(std::shared_ptr<TavrineAPIClient> api,
                                 QString promptVersion = QString::fromLatin1(defaultPromptVersion))
        : LinesWriter(std::move(api), std::move(promptVersion)) {}

    QString promptVersion() const override { return lastPromptVersion(); }
    // Block id → line. Throws NudgeWriterError::invalidResponse for a refused or malformed answer; the API
    // client's errors, transport errors and CancelledError pass through unchanged.
    QCoro::Task<QMap<QString, QString>> write(QString intention, QList<HistoryBlockFacts> facts) override;

    static QJsonObject requestBody(const QString& intention, const QList<HistoryBlockFacts>& facts);
};

} // namespace tavrine
