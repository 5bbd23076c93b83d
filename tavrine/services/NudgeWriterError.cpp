#include "tavrine/services/NudgeWriterError.h"

namespace tavrine {

QString NudgeWriterError::caseName() const {
    switch (kind()) {
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
    switch (kind()) {
    case Kind::rejected:
        return QStringLiteral("Nudge copy rejected: ") + text();
    case Kind::httpStatus:
        return httpStatusDescription();
    case Kind::missingToken:
        return QStringLiteral("No API token is set up for the nudge writer.");
    case Kind::invalidResponse:
        return QStringLiteral("The API returned an invalid nudge response.");
    }
    return QString();
}

QString NudgeWriterError::summaryCode() const {
    switch (kind()) {
    case Kind::rejected:
        return QStringLiteral("nudgeRejected");
    case Kind::httpStatus:
        return QStringLiteral("openAIHTTP") + QString::number(status());
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
