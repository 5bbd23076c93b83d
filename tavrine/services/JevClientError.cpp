#include "tavrine/services/JevClientError.h"

#include "tavrine/services/TavrineAPIError.h"

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
    case Kind::addressRefused:
        return QStringLiteral("addressRefused");
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
    case Kind::addressRefused:
        return refusedAddressSentence(text());
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
    case Kind::addressRefused:
        return QStringLiteral("typesafeAddressRefused");
    }
    return QString();
}

QString JevClientError::ownReason() const {
    if (kind() == Kind::missingAPIKey)
        return TavrineAPIError(TavrineAPIError::Kind::missingToken).reason();
    if (kind() == Kind::httpStatus && status() != 0)
        return TavrineAPIError::httpStatus(status(), text()).reason();
    return description();
}

} // namespace tavrine
