#pragma once

#include "tavrine/services/ServiceError.h"

namespace tavrine {

// The cases, in code order; the class names them Kind.
enum class TavrineAPIErrorKind {
    httpStatus,
    missingToken,
    unauthorized,
    dailyLimit,
    rateLimited,
    invalidResponse,
    addressRefused,
};

// The API client's failures, each with a text a user can read. status() and text() are the HTTP status and the
// start of the answer (httpStatus only; 0 and empty otherwise), or why the API's address was refused
// (addressRefused).
class TavrineAPIError : public ServiceError<TavrineAPIError, TavrineAPIErrorKind> {
public:
    explicit TavrineAPIError(Kind kind) : ServiceError(kind) {}
    // No request was sent: the configured address of the API is not one Tavrine sends a token to.
    static TavrineAPIError addressRefused(const QString& problem) { return make(Kind::addressRefused, 0, problem); }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.TavrineAPIError"); }
    QString description() const override;

protected:
    QString ownReason() const override;
};

// The sentence for an API address that is refused: `problem` says what is wrong with TAVRINE_API_BASE_URL.
QString refusedAddressSentence(const QString& problem);

} // namespace tavrine
