#include "tavrine/services/TavrineAPIClient.h"

#include "tavrine/core/Error.h"
#include "tavrine/core/Text.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/model/CheckID.h"
#include "tavrine/model/EvidenceDiagnostics.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/OneShotBody.h"
#include "tavrine/services/TavrineAPI.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUuid>
#include <cmath>

namespace tavrine {

namespace {

constexpr qsizetype answerTextLimit = 240;

// Why an attempt was ended from our side. Qt reports all three as OperationCanceledError, so the reason is kept
// apart from the reply.
enum class Abort { none, cancelled, timedOut, totalTimedOut, bodyTooLarge };

int milliseconds(double seconds) {
    // A caller's length that is not a usable number falls back to the session's default minute.
    if (!std::isfinite(seconds) || seconds <= 0)
        seconds = 60.0;
    return static_cast<int>(std::min(seconds * 1000.0, 24.0 * 3600.0 * 1000.0));
}

// Whether the reply is a complete HTTP answer. Qt also sets an error for 4xx and 5xx statuses (HTTP 400 even as
// ProtocolInvalidOperationError, 407 as a proxy error), and a connection that broke after the headers still
// carries a status, so the status alone says nothing: failures of the connection itself, of a proxy, of the
// protocol, and the refused resend are transport failures whatever arrived before them.
bool isAnswer(QNetworkReply::NetworkError error, std::optional<int> status) {
    if (error == QNetworkReply::NoError)
        return true;
    if (!status)
        return false;
    const int code = static_cast<int>(error);
    if (code >= 1 && code <= 99)
        return false;
    if (code >= 101 && code <= 199)
        return error == QNetworkReply::ProxyAuthenticationRequiredError && *status == 407;
    // Qt rewinds the body for a 307 or 308 even when redirects are not followed; the body cannot rewind, so it
    // reports ContentReSendError, but the redirect is a complete answer all the same.
    if (error == QNetworkReply::ContentReSendError)
        return *status >= 300 && *status <= 399;
    return error != QNetworkReply::ProtocolUnknownError && error != QNetworkReply::ProtocolFailure;
}

// A token goes into a header line as it is: one that carries control characters (a line break could add
// headers of its own) or characters outside ASCII cannot be sent safely and counts as no token.
bool isSendable(const QString& token) {
    for (QChar c : token) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u >= 0x7F)
            return false;
    }
    return true;
}

QString descriptionOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Error& error) {
        return error.description();
    } catch (...) {
    }
    return QString();
}

} // namespace

struct TavrineAPIClient::Exchange {
    Abort abort = Abort::none;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorText;
    std::optional<int> status;
    QByteArray body;
};

std::shared_ptr<TavrineAPIClient> TavrineAPIClient::create(BearerToken bearerToken,
                                                           RefreshBearerToken refreshBearerToken, BaseURL baseURL,
                                                           SessionConfiguration session) {
    return std::shared_ptr<TavrineAPIClient>(
        new TavrineAPIClient(std::move(bearerToken), std::move(refreshBearerToken), std::move(baseURL), session));
}

TavrineAPIClient::TavrineAPIClient(BearerToken bearerToken, RefreshBearerToken refreshBearerToken, BaseURL baseURL,
                                   SessionConfiguration session)
    : m_bearerToken(std::move(bearerToken)), m_refreshBearerToken(std::move(refreshBearerToken)),
      m_baseURL(std::move(baseURL)), m_session(session), m_manager(new QNetworkAccessManager(this)) {
    // Nothing of the API's traffic is kept: no disk cache is set, and answers are never followed elsewhere.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

TavrineAPIClient::~TavrineAPIClient() = default;

std::optional<QString> TavrineAPIClient::readToken() const {
    std::optional<QString> token = m_bearerToken ? m_bearerToken() : std::nullopt;
    if (!token)
        return std::nullopt;
    const QString trimmed = text::trimmed(*token);
    if (trimmed.isEmpty() || !isSendable(trimmed))
        return std::nullopt;
    return trimmed;
}

QCoro::Task<QJsonObject> TavrineAPIClient::post(QString path, QJsonObject body, QString name, double timeout,
                                                CancellationToken cancellation) {
    // Keeps the client (its network manager and replies) alive for as long as this call runs.
    const std::shared_ptr<TavrineAPIClient> self = shared_from_this();
    const std::optional<QString> token = readToken();
    if (!token)
        throw TavrineAPIError(TavrineAPIError::Kind::missingToken);
    cancellation.throwIfCancelled();
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);

    bool refused = false;
    try {
        co_return co_await attempt(path, bytes, name, timeout, *token, cancellation);
    } catch (const TavrineAPIError& error) {
        if (error.kind() != TavrineAPIError::Kind::unauthorized)
            throw;
        refused = true;
    }
    Q_ASSERT(refused);

    if (m_refreshBearerToken)
        co_await m_refreshBearerToken();
    cancellation.throwIfCancelled();
    const std::optional<QString> fresh = readToken();
    if (!fresh || *fresh == *token)
        throw TavrineAPIError(TavrineAPIError::Kind::unauthorized);
    co_return co_await attempt(path, bytes, name, timeout, *fresh, cancellation);
}

QJsonObject TavrineAPIClient::answerObject(int status, const QByteArray& body) {
    const QString text = QString::fromUtf8(body);
    if (status == 401)
        throw TavrineAPIError(TavrineAPIError::Kind::unauthorized);
    if (status == 429) {
        const QJsonDocument document = QJsonDocument::fromJson(body);
        const QJsonValue code = document.isObject() ? document.object().value(QStringLiteral("error")) : QJsonValue();
        if (code.isString() && code.toString() == QLatin1String("daily_limit"))
            throw TavrineAPIError(TavrineAPIError::Kind::dailyLimit);
        throw TavrineAPIError(TavrineAPIError::Kind::rateLimited);
    }
    if (status < 200 || status > 299)
        throw TavrineAPIError::httpStatus(status, text::graphemePrefix(text, answerTextLimit));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw JsonParseError(parseError);
    if (document.isArray())
        throw TavrineAPIError(TavrineAPIError::Kind::invalidResponse);
    if (!document.isObject())
        throw JsonParseError(QJsonParseError::IllegalValue, 0, QStringLiteral("no object or array"));
    return document.object();
}

QCoro::Task<QJsonObject> TavrineAPIClient::attempt(QString path, QByteArray body, QString name, double timeout,
                                                   QString token, CancellationToken cancellation) {
    const QUrl base = m_baseURL ? m_baseURL() : TavrineAPI::baseURL();
    const QUrl url = TavrineAPI::url(path, base);
    // No usable base address means the API is off: the call fails unsent, saying why.
    if (url.isEmpty())
        throw TavrineAPIError::addressRefused(m_baseURL ? QString() : TavrineAPI::baseProblem());

    const QString call = makeCheckID();
    const QString kind = QStringLiteral("api-") + name;
    logModelCall(call, kind + QStringLiteral("-request"), QString::fromUtf8(body));

    const Exchange answer = co_await exchange(url, body, token, timeout, cancellation);

    if (answer.abort != Abort::none || !isAnswer(answer.error, answer.status)) {
        std::exception_ptr failure;
        switch (answer.abort) {
        case Abort::cancelled:
            failure = std::make_exception_ptr(CancelledError());
            break;
        case Abort::timedOut:
            failure = std::make_exception_ptr(ApiTransportError::timedOut(timeout));
            break;
        case Abort::totalTimedOut:
            failure = std::make_exception_ptr(ApiTransportError::timedOut(m_session.resourceTimeout));
            break;
        case Abort::bodyTooLarge:
            failure = std::make_exception_ptr(ApiTransportError::bodyTooLarge(maximumBodyBytes));
            break;
        case Abort::none:
            // Qt wanted to send the request again after the connection closed, and the body refused to rewind.
            if (answer.error == QNetworkReply::ContentReSendError)
                failure = std::make_exception_ptr(
                    ApiTransportError::network(QNetworkReply::RemoteHostClosedError,
                                               QStringLiteral("The connection closed before the answer arrived.")));
            else
                failure = std::make_exception_ptr(ApiTransportError::network(answer.error, answer.errorText));
            break;
        }
        logModelCall(call, kind + QStringLiteral("-error"), descriptionOf(failure));
        std::rethrow_exception(failure);
    }

    const int status = answer.status.value_or(0);
    const QString text = QString::fromUtf8(answer.body);
    logModelCall(call, kind + QStringLiteral("-response"),
                 QStringLiteral("status=") + QString::number(status) + QLatin1Char('\n') + text, status);

    co_return answerObject(status, answer.body);
}

QCoro::Task<TavrineAPIClient::Exchange> TavrineAPIClient::exchange(QUrl url, QByteArray body, QString token,
                                                                   double timeout, CancellationToken cancellation) {
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);

    auto state = std::make_shared<Exchange>();
    Wakeup finished;
    // The body streams from a device that cannot rewind, with its length given, so Qt has no way to send it a
    // second time on its own.
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto* upload = new OneShotBody(body);
    QNetworkReply* reply = m_manager->post(request, upload);
    upload->setParent(reply);

    // Every helper lives as a child of the reply and goes with it; the reply itself is deleted later, never while
    // Qt may still be inside one of its signals.
    auto end = [reply, state](Abort why) {
        if (state->abort != Abort::none)
            return;
        state->abort = why;
        if (!reply->isFinished())
            reply->abort();
    };
    auto* idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(milliseconds(timeout));
    auto* total = new QTimer(reply);
    total->setSingleShot(true);
    total->setInterval(milliseconds(m_session.resourceTimeout));
    QObject::connect(idle, &QTimer::timeout, reply, [end] { end(Abort::timedOut); });
    QObject::connect(total, &QTimer::timeout, reply, [end] { end(Abort::totalTimedOut); });

    auto drain = [reply, state, end] {
        if (state->abort != Abort::none)
            return;
        state->body += reply->readAll();
        if (state->body.size() > maximumBodyBytes)
            end(Abort::bodyTooLarge);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, idle, end] {
        idle->start();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maximumBodyBytes)
            end(Abort::bodyTooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [idle, drain] {
        idle->start();
        drain();
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [idle] { idle->start(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [finished] { finished.fire(); });

    CancellationSubscription subscription = cancellation.onCancel([end] { end(Abort::cancelled); });
    if (!reply->isFinished() && state->abort == Abort::none) {
        idle->start();
        total->start();
    } else {
        finished.fire();
    }
    co_await finished;
    subscription.reset();

    drain();
    state->error = reply->error();
    state->errorText = reply->errorString();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        state->status = status.toInt();
    reply->disconnect();
    idle->stop();
    total->stop();
    reply->deleteLater();
    co_return std::move(*state);
}

} // namespace tavrine
