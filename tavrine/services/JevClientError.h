#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// The judge client's failures. The error summary reads them in a shape of their own: "typesafeHTTP503",
// "typesafeMissingAnswer", "typesafeMissingKey", "typesafeInvalidResponse", and the description alone as text.
class JevClientError : public Error {
public:
    enum class Kind { httpStatus, missingAnswer, missingAPIKey, invalidResponse };

    explicit JevClientError(Kind kind) : m_kind(kind) {}
    static JevClientError httpStatus(int status, const QString& text);
    static JevClientError missingAnswer(const QString& member);

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    // The answer text (httpStatus) or the missing member's name (missingAnswer).
    QString text() const { return m_text; }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.JevClientError"); }
    long code() const override { return static_cast<long>(m_kind); }
    QString description() const override;
    QString summaryCode() const override;
    QString summaryText() const override { return description(); }

    friend bool operator==(const JevClientError& a, const JevClientError& b) {
        return a.m_kind == b.m_kind && a.m_status == b.m_status && a.m_text == b.m_text;
    }

private:
    Kind m_kind;
    int m_status = 0;
    QString m_text;
};

} // namespace tavrine
