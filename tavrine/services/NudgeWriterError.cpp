#include "tavrine/services/NudgeWriterError.h"

namespace tavrine {

NudgeWriterError NudgeWriterError::rejected(const QString& reason) {
    NudgeWriterError error(Kind::rejected);
    error.m_text = reason;
    return error;
}

NudgeWriterError NudgeWriterError::httpStatus(int status, const QString& text) {
    NudgeWriterError error(Kind::httpStatus);
    error.m_status = status;
    error.m_text = text;
    return error;
}

QString NudgeWriterError::caseName() const {
    switch (m_kind) {
    case Kind::rejected:
        return QStringLiteral("rejected");
    case Kind::httpStatus:
        return QStringLiteral("httpStatus");
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::invalidResponse:
        return QStringLiteral("invalidResponse");
    }
    return QString();
}

QString NudgeWriterError::description() const {
    switch (m_kind) {
    case Kind::rejected:
        return QStringLiteral("Nudge copy rejected: ") + m_text;
    case Kind::httpStatus:
        return QStringLiteral("API HTTP ") + QString::number(m_status) + QStringLiteral(": ") + m_text;
    case Kind::missingToken:
        return QStringLiteral("No API token is set up for the nudge writer.");
    case Kind::invalidResponse:
        return QStringLiteral("The API returned an invalid nudge response.");
    }
    return QString();
}

QString NudgeWriterError::summaryCode() const {
    switch (m_kind) {
    case Kind::rejected:
        return QStringLiteral("nudgeRejected");
    case Kind::httpStatus:
        return QStringLiteral("openAIHTTP") + QString::number(m_status);
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::invalidResponse:
        return QStringLiteral("openAIInvalidResponse");
    }
    return QString();
}

QString NudgeWriterError::summaryText() const {
    return domain() + QStringLiteral(" code=") + QString::number(code()) + QLatin1Char(' ') + description();
}

} // namespace tavrine
