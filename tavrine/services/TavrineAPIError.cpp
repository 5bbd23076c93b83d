#include "tavrine/services/TavrineAPIError.h"

#include "tavrine/services/ApiTokenProvider.h"
#include "tavrine/services/TavrineAPI.h"

namespace tavrine {

QString TavrineAPIError::caseName() const {
    switch (kind()) {
    case Kind::httpStatus:
        return QStringLiteral("httpStatus");
    case Kind::missingToken:
        return QStringLiteral("missingToken");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    case Kind::dailyLimit:
        return QStringLiteral("dailyLimit");
    case Kind::rateLimited:
        return QStringLiteral("rateLimited");
    case Kind::invalidResponse:
        return QStringLiteral("invalidResponse");
    case Kind::addressRefused:
        return QStringLiteral("addressRefused");
    }
    return QString();
}

QString TavrineAPIError::description() const {
    switch (kind()) {
    case Kind::httpStatus:
        return httpStatusDescription();
    case Kind::missingToken:
        return QStringLiteral("No API token is set up for Tavrine.");
    case Kind::unauthorized:
        return QStringLiteral("The API did not accept Tavrine's token.");
    case Kind::dailyLimit:
        return QStringLiteral("The daily limit for this call is used up.");
    case Kind::rateLimited:
        return QStringLiteral("Too many calls in a short time.");
    case Kind::invalidResponse:
        return QStringLiteral("The API returned an invalid response.");
    case Kind::addressRefused:
        return refusedAddressSentence(text());
    }
    return QString();
}

QString TavrineAPIError::ownReason() const {
    switch (kind()) {
    case Kind::httpStatus:
        return QStringLiteral("The API answered with HTTP %1").arg(status());
    case Kind::missingToken:
        return QStringLiteral("No API token is set up: set %1").arg(QLatin1String(ApiTokenProvider::tokenVariable));
    case Kind::unauthorized:
        return QStringLiteral("The API refused the token (401): check %1")
            .arg(QLatin1String(ApiTokenProvider::tokenVariable));
    case Kind::dailyLimit:
        return QStringLiteral("The API's daily limit is reached (429)");
    case Kind::rateLimited:
        return QStringLiteral("The API is getting too many calls (429): try again in a moment");
    case Kind::invalidResponse:
    case Kind::addressRefused:
        break;
    }
    return description();
}

QString refusedAddressSentence(const QString& problem) {
    const QString variable = QString::fromLatin1(TavrineAPI::baseVariable);
    if (problem.isEmpty())
        return QStringLiteral("The API address is refused: check %1. No request was sent.").arg(variable);
    return QStringLiteral("The API address is refused: %1 %2. No request was sent.").arg(variable, problem);
}

} // namespace tavrine
