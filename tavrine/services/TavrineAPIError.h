#pragma once

#include "tavrine/services/ServiceError.h"

namespace tavrine {

// The cases, in code order; the class names them Kind.
enum class TavrineAPIErrorKind { httpStatus, missingToken, unauthorized, dailyLimit, rateLimited, invalidResponse };

// The API client's failures, each with a text a user can read. status() and text() are the HTTP status and the
// start of the answer (httpStatus only; 0 and empty otherwise).
class TavrineAPIError : public ServiceError<TavrineAPIError, TavrineAPIErrorKind> {
public:
    explicit TavrineAPIError(Kind kind) : ServiceError(kind) {}

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.TavrineAPIError"); }
    QString description() const override;
};

} // namespace tavrine
