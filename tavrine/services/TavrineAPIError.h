#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// The API client's failures, each with a text a user can read.
class TavrineAPIError : public Error {
public:
    enum class Kind { httpStatus, missingToken, unauthorized, dailyLimit, rateLimited, invalidResponse };

    explicit TavrineAPIError(Kind kind) : m_kind(kind) {}
    static TavrineAPIError httpStatus(int status, const QString& text) {
        TavrineAPIError error(Kind::httpStatus);
        error.m_status = status;
        error.m_text = text;
        return error;
    }

    Kind kind() const { return m_kind; }
    // The HTTP status and the start of the answer (httpStatus only; 0 and empty otherwise).
    int status() const { return m_status; }
    QString text() const { return m_text; }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.TavrineAPIError"); }
    long code() const override { return static_cast<long>(m_kind); }
    QString description() const override;

    friend bool operator==(const TavrineAPIError& a, const TavrineAPIError& b) {
        return a.m_kind == b.m_kind && a.m_status == b.m_status && a.m_text == b.m_text;
    }

private:
    Kind m_kind;
    int m_status = 0;
    QString m_text;
};

} // namespace tavrine
