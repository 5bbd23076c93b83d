#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// The nudge writer's failures; the recap and history-intent writers raise its invalidResponse too. Summary codes:
// "nudgeRejected", "openAIHTTP" + status, "missingToken", "openAIInvalidResponse"; the summary text has the
// platform shape (domain, code, description).
class NudgeWriterError : public Error {
public:
    enum class Kind { rejected, httpStatus, missingToken, invalidResponse };

    explicit NudgeWriterError(Kind kind) : m_kind(kind) {}
    static NudgeWriterError rejected(const QString& reason);
    static NudgeWriterError httpStatus(int status, const QString& text);

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    // The reason (rejected) or the text (httpStatus).
    QString text() const { return m_text; }

    QString caseName() const override;
    QString domain() const override { return QStringLiteral("tavrine.NudgeWriterError"); }
    long code() const override { return static_cast<long>(m_kind); }
    QString description() const override;
    QString summaryCode() const override;
    // The platform shape, as for any error outside the judge client.
    QString summaryText() const override;

    friend bool operator==(const NudgeWriterError& a, const NudgeWriterError& b) {
        return a.m_kind == b.m_kind && a.m_status == b.m_status && a.m_text == b.m_text;
    }

private:
    Kind m_kind;
    int m_status = 0;
    QString m_text;
};

} // namespace tavrine
