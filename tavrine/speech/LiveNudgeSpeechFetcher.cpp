#include "tavrine/speech/LiveNudgeSpeechFetcher.h"

#include "tavrine/core/Text.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/ApiTransportError.h"
#include "tavrine/services/JsonParseError.h"
#include "tavrine/services/TavrineAPIClient.h"
#include "tavrine/speech/NudgeSpeechError.h"
#include "tavrine/speech/SonioxMessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>
#include <cmath>

namespace tavrine {

namespace {

int milliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        seconds = 20.0;
    return static_cast<int>(std::min(seconds * 1000.0, 3600.0 * 1000.0));
}

QTimer* singleShot(QObject* parent, double seconds) {
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(milliseconds(seconds));
    return timer;
}

// A reply that carries an HTTP status and no failure of the connection, a proxy or the protocol is an answer
// (Qt also reports 4xx and 5xx statuses as errors).
bool isAnswer(QNetworkReply::NetworkError error, const QVariant& status) {
    if (error == QNetworkReply::NoError)
        return true;
    const int code = static_cast<int>(error);
    return status.isValid() && code >= 200 && error != QNetworkReply::ProtocolUnknownError &&
           error != QNetworkReply::ProtocolFailure;
}

enum class Abort { none, timedOut, totalTimedOut, bodyTooLarge };

// One spoken text over the vendor's socket. The socket closes with 1001 (going away) in every end state, and
// when the consumer drops the stream before the end.
class LiveSpeechStream final : public SpeechChunkStream {
public:
    LiveSpeechStream(const QUrl& url, QString text, QString key, QString voice,
                     const LiveNudgeSpeechFetcher::Limits& limits)
        : m_text(std::move(text)), m_key(std::move(key)), m_voice(std::move(voice)), m_socket(new QWebSocket()) {
        QWebSocket* socket = m_socket;
        m_open = singleShot(socket, limits.socketOpen);
        m_silence = singleShot(socket, limits.silence);
        m_total = singleShot(socket, limits.total);
        QObject::connect(m_open, &QTimer::timeout, socket,
                         [this, limits] { receiveFailed(ApiTransportError::timedOut(limits.socketOpen)); });
        QObject::connect(m_silence, &QTimer::timeout, socket,
                         [this, limits] { receiveFailed(ApiTransportError::timedOut(limits.silence)); });
        QObject::connect(m_total, &QTimer::timeout, socket,
                         [this, limits] { receiveFailed(ApiTransportError::timedOut(limits.total)); });
        QObject::connect(socket, &QWebSocket::connected, socket, [this] { sendMessages(); });
        QObject::connect(socket, &QWebSocket::textMessageReceived, socket,
                         [this](const QString& message) { receive(message); });
        QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket, [this](const QByteArray& bytes) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = decoder(bytes);
            if (decoder.hasError())
                receiveFailed(
                    NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::notSpeech));
            else
                receive(text);
        });
        QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), socket, [this, socket](QAbstractSocket::SocketError) {
            receiveFailed(ApiTransportError::network(QNetworkReply::RemoteHostClosedError, socket->errorString()));
        });
        QObject::connect(socket, &QWebSocket::disconnected, socket, [this, socket] {
            // Qt closes with "too much data" itself when a frame or message passes the limits below.
            if (socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
                receiveFailed(
                    NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::oversize));
            else
                receiveFailed(ApiTransportError::network(QNetworkReply::RemoteHostClosedError,
                                                         QStringLiteral("The speech connection closed.")));
        });
        // Qt would take about 2 GB per message and then convert and parse it: a message of the stream carries a
        // few seconds of audio at most.
        socket->setMaxAllowedIncomingFrameSize(quint64(limits.messageBytes));
        socket->setMaxAllowedIncomingMessageSize(quint64(limits.messageBytes));
        m_open->start();
        m_total->start();
        socket->open(QNetworkRequest(url));
    }

    ~LiveSpeechStream() override {
        // The consumer went away: nothing of ours may run any more, but the closing frame still goes out before the
        // socket is deleted.
        QWebSocket* socket = m_socket;
        socket->disconnect();
        m_open->stop();
        m_silence->stop();
        m_total->stop();
        closeSocket();
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
        } else {
            QObject::connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(2000, socket, &QObject::deleteLater);
        }
    }

private:
    void sendMessages() {
        m_open->stop();
        const QString streamID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QString config = sonioxConfigMessage(m_key, streamID, m_voice);
        const QString text = sonioxTextMessage(m_text, streamID);
        if (m_socket->sendTextMessage(config) <= 0 || m_socket->sendTextMessage(text) <= 0) {
            end(std::make_exception_ptr(NudgeSpeechError(NudgeSpeechError::Kind::requestFailed)));
            return;
        }
        m_silence->start();
    }

    void receive(const QString& message) {
        if (hasEnded())
            return;
        m_silence->start();
        SonioxSpeechEvent event;
        try {
            event = parseSonioxMessage(message);
        } catch (const Error&) {
            receiveFailed(std::current_exception());
            return;
        }
        const bool hasAudio = event.audio && !event.audio->isEmpty();
        if (hasAudio || event.timestamps)
            yield(SpeechChunk{hasAudio ? *event.audio : QByteArray(), event.timestamps});
        if (hasAudio)
            m_audioSeen = true;
        if (event.terminated)
            end(nullptr);
    }

    template <typename E> void receiveFailed(const E& error) { receiveFailed(std::make_exception_ptr(error)); }
    void receiveFailed(std::exception_ptr failure) {
        if (hasEnded())
            return;
        // Audio already heard is kept: the speech ends there, cut short.
        if (m_audioSeen) {
            m_cutShort = true;
            end(nullptr);
        } else {
            end(std::move(failure));
        }
    }

    void end(std::exception_ptr failure) {
        if (hasEnded())
            return;
        m_open->stop();
        m_silence->stop();
        m_total->stop();
        // Ended before the socket closes: closing reports a disconnection at once.
        if (failure)
            fail(std::move(failure));
        else
            finish(m_cutShort);
        closeSocket();
    }

    void closeSocket() {
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->close(QWebSocketProtocol::CloseCodeGoingAway);
    }

    QString m_text;
    QString m_key;
    QString m_voice;
    QWebSocket* m_socket;
    QTimer* m_open = nullptr;
    QTimer* m_silence = nullptr;
    QTimer* m_total = nullptr;
    bool m_audioSeen = false;
    bool m_cutShort = false;
};

} // namespace

LiveNudgeSpeechFetcher::LiveNudgeSpeechFetcher(QUrl socketURL, QString voice, Limits limits, QObject* parent)
    : QObject(parent), m_socketURL(std::move(socketURL)), m_voice(std::move(voice)), m_limits(limits),
      m_manager(new QNetworkAccessManager(this)) {
    // The bearer token must never follow a redirect to another host.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

LiveNudgeSpeechFetcher::~LiveNudgeSpeechFetcher() = default;

QCoro::Task<QString> LiveNudgeSpeechFetcher::temporaryKey(QUrl url, QString token) {
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    // A POST without a body: a custom verb keeps Qt from adding a content type of its own.
    request.setRawHeader("Content-Length", "0");
    QNetworkReply* reply = m_manager->sendCustomRequest(request, QByteArrayLiteral("POST"));

    auto abort = std::make_shared<Abort>(Abort::none);
    QTimer* idle = singleShot(reply, m_limits.keyIdle);
    QTimer* total = singleShot(reply, m_limits.keyTotal);
    auto end = [reply, abort](Abort why) {
        if (*abort != Abort::none)
            return;
        *abort = why;
        if (!reply->isFinished())
            reply->abort();
    };
    QObject::connect(idle, &QTimer::timeout, reply, [end] { end(Abort::timedOut); });
    QObject::connect(total, &QTimer::timeout, reply, [end] { end(Abort::totalTimedOut); });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, idle, qOverload<>(&QTimer::start));
    QObject::connect(reply, &QNetworkReply::readyRead, idle, qOverload<>(&QTimer::start));
    // A key is a few dozen bytes: an answer that grows past what the API client ever reads is cut off.
    constexpr qint64 bodyLimit = TavrineAPIClient::maximumBodyBytes;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, end] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > bodyLimit)
            end(Abort::bodyTooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, end] {
        if (reply->bytesAvailable() > bodyLimit)
            end(Abort::bodyTooLarge);
    });
    const Wakeup finished;
    QObject::connect(reply, &QNetworkReply::finished, reply, [finished] { finished.fire(); });
    if (reply->isFinished()) {
        finished.fire();
    } else {
        idle->start();
        total->start();
    }
    co_await finished;

    idle->stop();
    total->stop();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    reply->disconnect();
    reply->deleteLater();

    if (*abort == Abort::timedOut)
        throw ApiTransportError::timedOut(m_limits.keyIdle);
    if (*abort == Abort::totalTimedOut)
        throw ApiTransportError::timedOut(m_limits.keyTotal);
    if (*abort == Abort::bodyTooLarge)
        throw ApiTransportError::bodyTooLarge(bodyLimit);
    if (!isAnswer(error, status)) {
        if (!status.isValid() && error == QNetworkReply::NoError)
            throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed);
        throw ApiTransportError::network(error, errorText);
    }

    switch (status.toInt()) {
    case 200: {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            throw JsonParseError(parseError);
        const QJsonValue key = document.object().value(QStringLiteral("api_key"));
        if (!document.isObject() || !key.isString())
            throw JsonParseError(QJsonParseError::IllegalValue, 0, QStringLiteral("no \"api_key\" text"));
        const QString trimmed = text::trimmed(key.toString());
        if (trimmed.isEmpty())
            throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::keyAnswer);
        co_return trimmed;
    }
    case 401:
        throw NudgeSpeechError(NudgeSpeechError::Kind::unauthorized);
    case 429: {
        const QJsonValue code = QJsonDocument::fromJson(body).object().value(QStringLiteral("error"));
        if (code.isString() && code.toString() == QLatin1String("daily_limit"))
            throw NudgeSpeechError(NudgeSpeechError::Kind::dailyLimitReached);
        throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::keyAnswer);
    }
    default:
        // Redirects included: the token never follows one.
        throw NudgeSpeechError(NudgeSpeechError::Kind::requestFailed, NudgeSpeechError::Cause::keyAnswer);
    }
}

std::unique_ptr<SpeechChunkStream> LiveNudgeSpeechFetcher::stream(const QString& text, const QString& key) {
    return std::make_unique<LiveSpeechStream>(m_socketURL, text, key, m_voice, m_limits);
}

} // namespace tavrine
