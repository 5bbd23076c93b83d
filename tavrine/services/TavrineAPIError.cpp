#include "tavrine/services/TavrineAPIError.h"

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
    }
    return QString();
}

} // namespace tavrine
