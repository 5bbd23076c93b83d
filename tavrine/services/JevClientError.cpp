#include "tavrine/services/JevClientError.h"

namespace tavrine {

JevClientError JevClientError::httpStatus(int status, const QString& text) {
    JevClientError error(Kind::httpStatus);
    error.m_status = status;
    error.m_text = text;
    return error;
}

JevClientError JevClientError::missingAnswer(const QString& member) {
    JevClientError error(Kind::missingAnswer);
    error.m_text = member;
    return error;
}

QString JevClientError::caseName() const {
    switch (m_kind) {
    case Kind::httpStatus:
        return QStringLiteral("httpStatus");
    case Kind::missingAnswer:
        return QStringLiteral("missingAnswer");
    case Kind::missingAPIKey:
        return QStringLiteral("missingAPIKey");
    case Kind::invalidResponse:
        return QStringLiteral("invalidResponse");
    }
    return QString();
}

QString JevClientError::description() const {
    switch (m_kind) {
    case Kind::httpStatus:
        return QStringLiteral("API HTTP ") + QString::number(m_status) + QStringLiteral(": ") + m_text;
    case Kind::missingAnswer:
        return QStringLiteral("The judge response is missing ") + m_text + QLatin1Char('.');
    case Kind::missingAPIKey:
        return QStringLiteral("No API token is set up for the judge.");
    case Kind::invalidResponse:
        return QStringLiteral("The judge returned an invalid response.");
    }
    return QString();
}

QString JevClientError::summaryCode() const {
    switch (m_kind) {
    case Kind::httpStatus:
        return QStringLiteral("typesafeHTTP") + QString::number(m_status);
    case Kind::missingAnswer:
        return QStringLiteral("typesafeMissingAnswer");
    case Kind::missingAPIKey:
        return QStringLiteral("typesafeMissingKey");
    case Kind::invalidResponse:
        return QStringLiteral("typesafeInvalidResponse");
    }
    return QString();
}

} // namespace tavrine
