#pragma once

#include "tavrine/model/RecapWriting.h"
#include "tavrine/services/LinesWriter.h"

#include <QJsonObject>

namespace tavrine {

// Asks "recap" for one phrase per top detour of a finished session.
class RecapPhraseWriter : public RecapWriting, private LinesWriter {
public:
    static constexpr const char* defaultPromptVersion = "recap-v2";

    explicit RecapPhraseWriter(std::shared_ptr<TavrineAPIClient> api,
                               QString promptVersion = QString::fromLatin1(defaultPromptVersion))
        : LinesWriter(std::move(api), std::move(promptVersion)) {}

    QString promptVersion() const override { return lastPromptVersion(); }
    // Detour id → phrase. Throws NudgeWriterError::invalidResponse for a refused or malformed answer; the API
    // client's errors, transport errors and CancelledError pass through unchanged.
    QCoro::Task<QMap<QString, QString>> write(QString intention, QList<RecapDetourFacts> facts) override;

    static QJsonObject requestBody(const QString& intention, const QList<RecapDetourFacts>& facts);
};

} // namespace tavrine
