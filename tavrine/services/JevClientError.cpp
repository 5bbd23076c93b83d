#include "tavrine/services/JevClientError.h"

namespace tavrine {

QString JevClientError::caseName() const {
    switch (kind()) {
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
    switch (kind()) {
    case Kind::httpStatus:
        return httpStatusDescription();
    case Kind::missingAnswer:
        return QStringLiteral("The judge response is missing ") + text() + QLatin1Char('.');
    case Kind::missingAPIKey:
        return QStringLiteral("No API token is set up for the judge.");
    case Kind::invalidResponse:
        return QStringLiteral("The judge returned an invalid response.");
    }
    return QString();
}

QString JevClientError::summaryCode() const {
    switch (kind()) {
    case Kind::httpStatus:
        return QStringLiteral("typesafeHTTP") + QString::number(status());
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
