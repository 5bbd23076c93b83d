#pragma once

#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <memory>

namespace tavrine {

// What the "recap" and "history" writers share: the API client, the prompt version of the last answer that named
// one, and the call that sends a request and reads the lines of its answer.
class LinesWriter {
public:
    LinesWriter(std::shared_ptr<TavrineAPIClient> api, QString promptVersion)
        : m_api(std::move(api)), m_promptVersion(std::move(promptVersion)) {}
    ~LinesWriter() { *m_alive = false; }

    // The lines of an answer object, as postForLines reads them.
    static QMap<QString, QString> parseLines(const QJsonObject& answer);

protected:
    QString lastPromptVersion() const { return m_promptVersion; }

    // Posts `body` to the endpoint `path` (named so in the log) and returns the answer's lines: "status" must be
    // "ok" and "lines" an object, else NudgeWriterError::invalidResponse. Every text member of "lines" is kept,
    // except lines that are empty after trimming: those would replace a good fallback phrase or intent with
    // nothing. The answer's "prompt_version", when it is a non-empty text, is taken before anything else is looked
    // at, so even an answer that is then refused updates the version. The API client's errors, transport errors and
    // CancelledError pass through unchanged.
    QCoro::Task<QMap<QString, QString>> postForLines(QString path, QJsonObject body, double timeout);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
    QString m_promptVersion;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace tavrine
