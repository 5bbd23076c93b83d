#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// What the service errors that are an enumeration with an HTTP case have in common: the case, the HTTP status and
// a text (the answer, a reason or a member's name, as each family says). Self is the error class itself, so the
// factories and the comparison work on it; KindType must have a case named httpStatus.
template <typename Self, typename KindType> class ServiceError : public Error {
public:
    using Kind = KindType;

    static Self httpStatus(int status, const QString& text) { return make(Kind::httpStatus, status, text); }

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    QString text() const { return m_text; }

    // The same failure with the reason of the failure it stands for (a refusal of the API client that reaches
    // the caller as an HTTP case keeps saying what it was).
    Self withReason(const QString& reason) const {
        Self copy = static_cast<const Self&>(*this);
        copy.m_reason = reason;
        return copy;
    }
    QString reason() const override { return m_reason.isEmpty() ? ownReason() : m_reason; }

    long code() const override { return static_cast<long>(m_kind); }

    friend bool operator==(const Self& a, const Self& b) {
        return a.m_kind == b.m_kind && a.m_status == b.m_status && a.m_text == b.m_text;
    }

protected:
    explicit ServiceError(Kind kind) : m_kind(kind) {}
    // The family's own sentence when no other failure stands behind this one.
    virtual QString ownReason() const { return this->description(); }

    static Self make(Kind kind, int status, const QString& text) {
        Self error(kind);
        error.m_status = status;
        error.m_text = text;
        return error;
    }

    // The httpStatus case's description: "API HTTP 503: " and the text.
    QString httpStatusDescription() const {
        return QStringLiteral("API HTTP ") + QString::number(m_status) + QStringLiteral(": ") + m_text;
    }

private:
    Kind m_kind;
    int m_status = 0;
    QString m_text;
    QString m_reason;
};

} // namespace tavrine
