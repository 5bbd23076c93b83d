#pragma once

#include "tavrine/core/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace tavrine {

// What the HTTP session of an API client allows every request: the whole length of one attempt, from sending to
// the last byte of the answer, in seconds (the caller's `timeout` is the longest idle time within it).
struct ApiSessionConfiguration {
    double resourceTimeout = 60.0;
};

// The one client of the maker's API: an authorised POST of a JSON object to a path under the base address,
// answered by a JSON object. It adds the bearer token, refreshes a refused token once, writes two model-call log
// lines per attempt and turns HTTP outcomes into TavrineAPIError. It never retries on its own otherwise.
//
// Failures: TavrineAPIError; ApiTransportError when no usable HTTP answer arrived (connection failures, redirects
// are never followed but mapped as answers, the idle or total time-out, an answer over `maximumBodyBytes`);
// CancelledError when the caller's token was cancelled; JsonParseError for a successful answer that is not JSON.
//
// Lives on the main thread. Created shared: a call in flight keeps its client alive until the call ends.
class TavrineAPIClient : public QObject, public std::enable_shared_from_this<TavrineAPIClient> {
    Q_OBJECT
public:
    // The base address at the moment of each attempt; an empty URL means there is no usable base (the API is
    // off) and the call fails with missingToken before anything is sent.
    using BaseURL = std::function<QUrl()>;
    // The current bearer token, or none.
    using BearerToken = std::function<std::optional<QString>()>;
    // Asks the token's owner for a fresh token.
    using RefreshBearerToken = std::function<QCoro::Task<void>()>;

    using SessionConfiguration = ApiSessionConfiguration;

    // The largest answer body that is read; a longer one ends the attempt as a transport failure.
    static constexpr qint64 maximumBodyBytes = 1024 * 1024;

    // An empty `baseURL` closure means the process-wide base address (TavrineAPI::baseURL).
    static std::shared_ptr<TavrineAPIClient> create(BearerToken bearerToken, RefreshBearerToken refreshBearerToken,
                                                    BaseURL baseURL = {}, SessionConfiguration session = {});
    ~TavrineAPIClient() override;

    // Posts `body` to the endpoint `path`; `name` names the operation in the log; `timeout` is the longest idle
    // time of each attempt, in seconds. Returns the answer object.
    QCoro::Task<QJsonObject> post(QString path, QJsonObject body, QString name, double timeout,
                                  CancellationToken cancellation = {});

    const SessionConfiguration& sessionConfiguration() const { return m_session; }

    // The object of an HTTP answer that arrived whole: the status and body decide, as for every call.
    static QJsonObject answerObject(int status, const QByteArray& body);

private:
    TavrineAPIClient(BearerToken bearerToken, RefreshBearerToken refreshBearerToken, BaseURL baseURL,
                     SessionConfiguration session);
    struct Exchange;
    QCoro::Task<QJsonObject> attempt(QString path, QByteArray body, QString name, double timeout, QString token,
                                     CancellationToken cancellation);
    QCoro::Task<Exchange> exchange(QUrl url, QByteArray body, QString token, double timeout,
                                   CancellationToken cancellation);
    std::optional<QString> readToken() const;

    BearerToken m_bearerToken;
    RefreshBearerToken m_refreshBearerToken;
    BaseURL m_baseURL;
    SessionConfiguration m_session;
    QNetworkAccessManager* m_manager;
};

} // namespace tavrine
