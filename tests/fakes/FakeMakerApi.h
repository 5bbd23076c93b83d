#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QUrl>
#include <utility>

class QTcpServer;
class QTcpSocket;

namespace tavrine::test {

// One scripted answer of the fake API.
struct FakeReply {
    enum class Drop {
        none,
        // The connection is closed after the request arrived, before any byte of the answer.
        beforeStatus,
        // The status line, the headers (with the full Content-Length) and half the body go out, then the
        // connection is closed.
        midBody,
    };

    int status = 200;
    // Extra header lines; a "Content-Length" or "Content-Type" given here replaces the fake's own.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Seconds before the status line is written.
    double delay = 0;
    Drop drop = Drop::none;
    // Seconds between the first and the second half of the body (the headers go out at once).
    double bodyPause = 0;
    // The body is sent with chunked transfer coding and no Content-Length.
    bool chunked = false;

    static FakeReply json(const QJsonObject& object, int status = 200);
    static FakeReply json(const QJsonDocument& document, int status = 200);
    static FakeReply text(int status, const QByteArray& body);
};

// One request as the fake received it.
struct FakeRequest {
    QByteArray method;
    // Without the leading slash: "judge", "speech/temporary-key".
    QString path;
    // Header names in lower case.
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;
    // Which connection carried it, counted from 1.
    int connection = 0;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// A small HTTP/1.1 server standing in for the maker's API, on 127.0.0.1 with a free port. It serves POST on
// "judge", "job", "nudge", "history", "recap" and "speech/temporary-key". Tests script a queue of answers per
// path and read back every request; a path with an empty queue answers 500 ("no scripted answer"), or, with
// canned replies on, a plausible answer of the real service's shape.
class FakeMakerApi : public QObject {
    Q_OBJECT
public:
    static const QStringList paths;

    explicit FakeMakerApi(QObject* parent = nullptr);
    ~FakeMakerApi() override;

    // Listens on 127.0.0.1 (port 0: a free one). False when that fails.
    bool listen(quint16 port = 0);
    // "http://127.0.0.1:<port>".
    QUrl baseURL() const;

    void enqueue(const QString& path, FakeReply reply);
    void setCannedReplies(bool on) { m_canned = on; }
    // Canned nudges alternate between a short sentence and a longer one, as a writer's sentences differ in length:
    // each card then comes at another size than the one before.
    void setVariedNudges(bool on) { m_variedNudges = on; }

    QList<FakeRequest> requests() const { return m_requests; }
    QList<FakeRequest> requests(const QString& path) const;
    // Connections accepted so far.
    int connectionCount() const { return m_connections; }

    // The canned answer for a request (used when the path's queue is empty and canned replies are on).
    static FakeReply cannedReply(const FakeRequest& request, bool longerNudge = false);

signals:
    void requestReceived(const tavrine::test::FakeRequest& request);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void serveNext(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const FakeRequest& request);
    void write(QTcpSocket* socket, FakeReply reply);

    QTcpServer* m_server;
    QHash<QString, QQueue<FakeReply>> m_queues;
    QList<FakeRequest> m_requests;
    QHash<QTcpSocket*, std::shared_ptr<Connection>> m_open;
    int m_connections = 0;
    bool m_canned = false;
    bool m_variedNudges = false;
    int m_nudgesAnswered = 0;
};

} // namespace tavrine::test
