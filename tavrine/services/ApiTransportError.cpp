#include "tavrine/services/ApiTransportError.h"

#include "tavrine/core/Text.h"

namespace tavrine {

ApiTransportError ApiTransportError::network(QNetworkReply::NetworkError error, const QString& text) {
    return ApiTransportError(Kind::network, error, text);
}

ApiTransportError ApiTransportError::timedOut(double seconds) {
    return ApiTransportError(Kind::timedOut, QNetworkReply::TimeoutError,
                             QStringLiteral("The request timed out after ") + text::shortestDecimal(seconds) +
                                 QStringLiteral(" seconds."));
}

ApiTransportError ApiTransportError::bodyTooLarge(qint64 limit) {
    return ApiTransportError(Kind::bodyTooLarge, QNetworkReply::UnknownContentError,
                             QStringLiteral("The answer was larger than ") + QString::number(limit) +
                                 QStringLiteral(" bytes."));
}

QString ApiTransportError::caseName() const {
    switch (m_kind) {
    case Kind::network:
        return QStringLiteral("network");
    case Kind::timedOut:
        return QStringLiteral("timedOut");
    case Kind::bodyTooLarge:
        return QStringLiteral("bodyTooLarge");
    }
    return QString();
}

QString ApiTransportError::domain() const {
    return m_kind == Kind::network ? QStringLiteral("QNetworkReply") : QStringLiteral("tavrine.ApiTransport");
}

long ApiTransportError::code() const {
    switch (m_kind) {
    case Kind::network:
        return static_cast<long>(m_networkError);
    case Kind::timedOut:
        return 1;
    case Kind::bodyTooLarge:
        return 2;
    }
    return 0;
}

} // namespace tavrine
