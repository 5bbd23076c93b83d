#pragma once

#include "tavrine/speech/SpeechChunk.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QUrl>

class QWebSocket;
class QWebSocketServer;

namespace tavrine::test {

// One thing the fake vendor does after it received both messages of a stream.
struct VendorStep {
    enum class Kind {
        text,   // a text frame
        binary, // a binary frame
        drop,   // the connection is cut without a closing handshake
        stall,  // nothing more is sent
    };
    Kind kind = Kind::text;
    QByteArray data;

    // An audio message: Base64 PCM, optional timing, optional end.
    static VendorStep audio(const QByteArray& pcm, const std::optional<SpeechTimestamps>& timestamps = std::nullopt,
                            bool terminated = false);
    static VendorStep json(const QJsonObject& object);
    static VendorStep terminated();
    static VendorStep error();
    static VendorStep drop() { return VendorStep{Kind::drop, {}}; }
    static VendorStep stall() { return VendorStep{Kind::stall, {}}; }
};

// The speech vendor's real-time socket on 127.0.0.1 ("/tts-websocket"). It checks every member of the two
// messages a stream sends (a stream identifier in lower case is refused with a vendor error), then plays the
// script queued for that connection, or, without one, speaks the text as a tone per word with character times.
// It records the messages and the close code of every connection.
class FakeSpeechVendor : public QObject {
    Q_OBJECT
public:
    static constexpr const char* voice = "5B3A2E64-7C1D-4E8F-9A0B-1C2D3E4F5A6B";

    explicit FakeSpeechVendor(QObject* parent = nullptr);
    ~FakeSpeechVendor() override;

    bool listen(quint16 port = 0);
    // "ws://127.0.0.1:<port>" and the socket's full address.
    QUrl origin() const;
    QUrl socketURL() const;

    void enqueue(QList<VendorStep> script) { m_scripts.enqueue(std::move(script)); }

    // Every text message received, in order, with the connection it came on (counted from 1).
    QList<QPair<int, QJsonObject>> messages() const { return m_messages; }
    // Faults found in the messages.
    QStringList problems() const { return m_problems; }
    // The close code each finished connection saw from the client (0: closed without a code).
    QList<int> closeCodes() const { return m_closeCodes; }
    int connectionCount() const { return m_connections; }

    // The tone speech of a text: one message per word, the last one terminated.
    static QList<VendorStep> toneScript(const QString& text);

private:
    void onConnection();
    void onMessage(QWebSocket* socket, int connection, const QString& message);
    void play(QWebSocket* socket, QList<VendorStep> script);

    QWebSocketServer* m_server;
    QQueue<QList<VendorStep>> m_scripts;
    QList<QPair<int, QJsonObject>> m_messages;
    QStringList m_problems;
    QList<int> m_closeCodes;
    int m_connections = 0;
};

} // namespace tavrine::test
