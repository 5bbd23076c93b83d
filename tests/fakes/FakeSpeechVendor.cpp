#include "fakes/FakeSpeechVendor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtEndian>
#include <cmath>

namespace tavrine::test {

namespace {

QJsonObject timestampsObject(const SpeechTimestamps& timestamps) {
    QJsonArray characters;
    QJsonArray starts;
    for (const QString& c : timestamps.characters)
        characters.append(c);
    for (double s : timestamps.starts)
        starts.append(s);
    return QJsonObject{{"characters", characters}, {"character_start_times_seconds", starts}};
}

bool isUpperUuid(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    return pattern.match(text).hasMatch();
}

} // namespace

VendorStep VendorStep::audio(const QByteArray& pcm, const std::optional<SpeechTimestamps>& timestamps,
                             bool terminated) {
    QJsonObject object{{"audio", QString::fromLatin1(pcm.toBase64())}};
    if (timestamps)
        object.insert("timestamps", timestampsObject(*timestamps));
    if (terminated)
        object.insert("terminated", true);
    return json(object);
}

VendorStep VendorStep::json(const QJsonObject& object) {
    return VendorStep{Kind::text, QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

VendorStep VendorStep::terminated() {
    return json(QJsonObject{{"terminated", true}});
}

VendorStep VendorStep::error() {
    return json(QJsonObject{{"error_code", 400}, {"error_message", "refused"}});
}

FakeSpeechVendor::FakeSpeechVendor(QObject* parent)
    : QObject(parent), m_server(new QWebSocketServer(QStringLiteral("fake-speech"), QWebSocketServer::NonSecureMode,
                                                     this)) {
    connect(m_server, &QWebSocketServer::newConnection, this, &FakeSpeechVendor::onConnection);
}

FakeSpeechVendor::~FakeSpeechVendor() = default;

bool FakeSpeechVendor::listen(quint16 port) {
    return m_server->listen(QHostAddress::LocalHost, port);
}

QUrl FakeSpeechVendor::origin() const {
    return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_server->serverPort()));
}

QUrl FakeSpeechVendor::socketURL() const {
    QUrl url = origin();
    url.setPath(QStringLiteral("/tts-websocket"));
    return url;
}

void FakeSpeechVendor::onConnection() {
    while (QWebSocket* socket = m_server->nextPendingConnection()) {
        const int connection = ++m_connections;
        socket->setParent(this);
        if (socket->requestUrl().path() != QLatin1String("/tts-websocket"))
            m_problems.append(QStringLiteral("wrong path %1").arg(socket->requestUrl().path()));
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket, connection](const QString& message) { onMessage(socket, connection, message); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_closeCodes.append(static_cast<int>(socket->closeCode()));
            socket->deleteLater();
        });
    }
}

void FakeSpeechVendor::onMessage(QWebSocket* socket, int connection, const QString& message) {
    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
    m_messages.append({connection, object});
    int count = 0;
    QJsonObject config;
    for (const auto& [c, o] : std::as_const(m_messages)) {
        if (c == connection && ++count == 1)
            config = o;
    }
    auto problem = [this](const QString& text) { m_problems.append(text); };
    if (count == 1) {
        const QStringList keys{"api_key", "model", "language", "voice", "audio_format", "sample_rate",
                               "return_timestamps", "stream_id"};
        if (object.keys().size() != keys.size())
            problem(QStringLiteral("configuration has %1 members").arg(object.keys().size()));
        if (!object.value("api_key").isString() || object.value("api_key").toString().isEmpty())
            problem("api_key");
        if (object.value("model") != QJsonValue("tts-rt-v2") || object.value("language") != QJsonValue("en") ||
            object.value("audio_format") != QJsonValue("pcm_s16le") ||
            object.value("return_timestamps") != QJsonValue(true))
            problem("fixed members");
        if (!object.value("sample_rate").isDouble() || object.value("sample_rate").toDouble() != 24000 ||
            !message.contains(QLatin1String("\"sample_rate\":24000")))
            problem("sample_rate");
        if (object.value("voice").toString().size() != 36)
            problem("voice");
        return;
    }
    if (count != 2) {
        problem(QStringLiteral("message %1 on one stream").arg(count));
        return;
    }
    if (object.keys().size() != 3 || !object.value("text").isString() || object.value("text_end") != QJsonValue(true))
        problem("text message");
    const QString id = config.value("stream_id").toString();
    if (object.value("stream_id").toString() != id || !isUpperUuid(id)) {
        problem(QStringLiteral("stream_id %1").arg(id));
        play(socket, {VendorStep::error()});
        return;
    }
    play(socket, m_scripts.isEmpty() ? toneScript(object.value("text").toString()) : m_scripts.dequeue());
}

void FakeSpeechVendor::play(QWebSocket* socket, QList<VendorStep> script) {
    for (const VendorStep& step : script) {
        switch (step.kind) {
        case VendorStep::Kind::text:
            socket->sendTextMessage(QString::fromUtf8(step.data));
            break;
        case VendorStep::Kind::binary:
            socket->sendBinaryMessage(step.data);
            break;
        case VendorStep::Kind::drop:
            socket->flush();
            // Cut without a closing handshake, after what was sent so far went out.
            QTimer::singleShot(50, socket, [socket] { socket->abort(); });
            return;
        case VendorStep::Kind::stall:
            return;
        }
    }
}

QList<VendorStep> FakeSpeechVendor::toneScript(const QString& text) {
    QList<VendorStep> script;
    constexpr double characterSeconds = 0.06;
    double at = 0;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype w = 0; w < words.size(); ++w) {
        const QString word = words.at(w) + (w + 1 < words.size() ? QStringLiteral(" ") : QString());
        SpeechTimestamps timestamps;
        for (QChar c : word) {
            timestamps.characters.append(QString(c));
            timestamps.starts.append(at);
            at += characterSeconds;
        }
        const int samples = static_cast<int>(word.size() * characterSeconds * SpeechChunk::sampleRate);
        QByteArray pcm(samples * 2, Qt::Uninitialized);
        const double frequency = 330.0 + 40.0 * static_cast<double>(w % 5);
        for (int i = 0; i < samples; ++i) {
            // A tone for the letters, silence for the blank at the end of the word.
            const bool letter = i < samples - static_cast<int>(characterSeconds * SpeechChunk::sampleRate) ||
                                w + 1 == words.size();
            const double value =
                letter ? 9000.0 * std::sin(2.0 * M_PI * frequency * i / SpeechChunk::sampleRate) : 0.0;
            qToLittleEndian<qint16>(static_cast<qint16>(value), pcm.data() + 2 * i);
        }
        script.append(VendorStep::audio(pcm, timestamps, w + 1 == words.size()));
    }
    if (script.isEmpty())
        script.append(VendorStep::terminated());
    return script;
}

} // namespace tavrine::test
