#pragma once

#include "tavrine/history/SessionTimeline.h"
#include "tavrine/model/HistoryIntentWriting.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <memory>

namespace tavrine {

// The blocks of a finished session's timeline that are worth a line: on-track and detour segments only, at most
// the 30 longest (on equal lengths the earlier wins), in timeline order.
QList<HistoryBlockFacts> makeHistoryBlockFacts(const QList<SessionTimeline::Segment>& segments);

// Asks "history" for one intent line per block.
class HistoryIntentWriter : public HistoryIntentWriting {
public:
    static constexpr const char* defaultPromptVersion = "history-v1";
    static constexpr qsizetype blockLimit = 30;

    explicit HistoryIntentWriter(std::shared_ptr<TavrineAPIClient> api,
                                 QString promptVersion = QString::fromLatin1(defaultPromptVersion))
        : m_api(std::move(api)), m_promptVersion(std::move(promptVersion)) {}
    ~HistoryIntentWriter() override { *m_alive = false; }

    QString promptVersion() const override { return m_promptVersion; }
    // Block id → line. Throws NudgeWriterError::invalidResponse for a refused or malformed answer; the API
    // client's errors, transport errors and CancelledError pass through unchanged.
    QCoro::Task<QMap<QString, QString>> write(QString intention, QList<HistoryBlockFacts> facts) override;

    static QJsonObject requestBody(const QString& intention, const QList<HistoryBlockFacts>& facts);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
    QString m_promptVersion;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine
