#pragma once

#include "tavrine/model/RecapWriting.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <memory>

namespace tavrine {

// Asks "recap" for one phrase per top detour of a finished session.
class RecapPhraseWriter : public RecapWriting {
public:
    static constexpr const char* defaultPromptVersion = "recap-v2";

    explicit RecapPhraseWriter(std::shared_ptr<TavrineAPIClient> api,
                               QString promptVersion = QString::fromLatin1(defaultPromptVersion))
        : m_api(std::move(api)), m_promptVersion(std::move(promptVersion)) {}
    ~RecapPhraseWriter() override { *m_alive = false; }

    QString promptVersion() const override { return m_promptVersion; }
    // Detour id → phrase. Throws NudgeWriterError::invalidResponse for a refused or malformed answer; the API
    // client's errors, transport errors and CancelledError pass through unchanged.
    QCoro::Task<QMap<QString, QString>> write(QString intention, QList<RecapDetourFacts> facts) override;

    static QJsonObject requestBody(const QString& intention, const QList<RecapDetourFacts>& facts);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
    QString m_promptVersion;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine
