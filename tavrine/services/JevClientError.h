#pragma once

#include "tavrine/services/ServiceError.h"

namespace tavrine {

// The cases, in code order; the class names them Kind.
enum class JevClientErrorKind { httpStatus, missingAnswer, missingAPIKey, invalidResponse, addressRefused };

// The judge client's failures. The error summary reads them in a shape of their own: "typesafeHTTP503",
// "typesafeMissingAnswer", "typesafeMissingKey", "typesafeInvalidResponse", "typesafeAddressRefused", and the
// description alone as text. text() is the answer text (httpStatus), the missing member's name (missingAnswer) or
// why the API's address was refused (addressRefused).
class JevClientError : public ServiceError<JevClientError, JevClientErrorKind> {
public:
    explicit JevClientError(Kind kind) : ServiceError(kind) {}
    static JevClientError missingAnswer(const QString& member) { return make(Kind::missingAnswer, 0, member); }
    static JevClientError addressRefused(const QString& problem) { return make(Kind::addressRefused, 0, problem); }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.JevClientError"); }
    QString description() const override;
    QString summaryCode() const override;
    QString summaryText() const override { return description(); }

protected:
    QString ownReason() const override;
};

} // namespace tavrine
