#pragma once

#include "tavrine/core/Error.h"

#include <QNetworkReply>

namespace tavrine {

// A request that got no usable HTTP answer. Failures that Qt reports keep Qt's own domain and number
// ("QNetworkReply", QNetworkReply::NetworkError: 2 for a connection closed by the server, 3 for a host not
// found, …). The two limits that Tavrine enforces itself have the domain "tavrine.ApiTransport": code 1 when the
// time-out ran out (idle time of the call, or the whole length the session allows), code 2 when the answer's body
// grew beyond the largest answer Tavrine reads.
class ApiTransportError : public Error {
public:
    enum class Kind { network, timedOut, bodyTooLarge };

    static ApiTransportError network(QNetworkReply::NetworkError error, const QString& text);
    static ApiTransportError timedOut(double seconds);
    static ApiTransportError bodyTooLarge(qint64 limit);

    Kind kind() const { return m_kind; }
    // Qt's error code (network only).
    QNetworkReply::NetworkError networkError() const { return m_networkError; }

    QString caseName() const override;
    QString domain() const override;
    long code() const override;
    QString description() const override { return m_text; }

private:
    ApiTransportError(Kind kind, QNetworkReply::NetworkError error, QString text)
        : m_kind(kind), m_networkError(error), m_text(std::move(text)) {}
    Kind m_kind;
    QNetworkReply::NetworkError m_networkError;
    QString m_text;
};

} // namespace tavrine
