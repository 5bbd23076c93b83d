#pragma once

#include "tavrine/model/NudgeWriting.h"
#include "tavrine/services/TavrineAPIClient.h"

#include <QJsonObject>
#include <memory>

namespace tavrine {

// Asks "nudge" for the sentence of a nudge. Every failure goes to the caller, who has a fallback wording.
class LocalNudgeWriter : public NudgeWriting {
public:
    explicit LocalNudgeWriter(std::shared_ptr<TavrineAPIClient> api) : m_api(std::move(api)) {}

    // Throws NudgeWriterError (the API client's errors converted: missingToken kept, the others as httpStatus
    // with code 0 and the API error's text), or passes transport errors, CancelledError and JsonParseError on.
    QCoro::Task<WrittenNudge> write(NudgeFacts facts) override;

    static QJsonObject requestBody(const NudgeFacts& facts);
    static WrittenNudge parseAnswer(const QJsonObject& answer);

private:
    std::shared_ptr<TavrineAPIClient> m_api;
};

} // namespace tavrine
