#include "fakes/FakeMakerApi.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cmath>

namespace tavrine::test {

const QStringList FakeMakerApi::paths = {QStringLiteral("judge"), QStringLiteral("job"),
                                         QStringLiteral("nudge"), QStringLiteral("history"),
                                         QStringLiteral("recap"), QStringLiteral("speech/temporary-key")};

namespace {

int milliseconds(double seconds) {
    return std::isfinite(seconds) && seconds > 0 ? static_cast<int>(std::lround(seconds * 1000)) : 0;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray chunk(const QByteArray& data) {
    if (data.isEmpty())
        return QByteArray();
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

// Words of four letters or more, lower-cased: enough for the canned judge to tell work from a detour.
QSet<QString> words(const QString& text) {
    QSet<QString> result;
    static const QRegularExpression pattern(QStringLiteral("\\w{4,}"), QRegularExpression::UseUnicodePropertiesOption);
    auto it = pattern.globalMatch(text.toLower());
    while (it.hasNext())
        result.insert(it.next().captured());
    return result;
}

QJsonObject lines(const QJsonArray& items, const std::function<QString(const QJsonObject&)>& line) {
    QJsonObject result;
    for (const QJsonValue& item : items) {
        const QJsonObject object = item.toObject();
        result.insert(object.value(QStringLiteral("id")).toString(), line(object));
    }
    return result;
}

} // namespace

FakeReply FakeReply::json(const QJsonObject& object, int status) {
    return json(QJsonDocument(object), status);
}

FakeReply FakeReply::json(const QJsonDocument& document, int status) {
    FakeReply reply;
    reply.status = status;
    reply.body = document.toJson(QJsonDocument::Compact);
    return reply;
}

FakeReply FakeReply::text(int status, const QByteArray& body) {
    FakeReply reply;
    reply.status = status;
    reply.body = body;
    reply.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "text/plain; charset=utf-8"));
    return reply;
}

struct FakeMakerApi::Connection {
    int number = 0;
    QByteArray buffer;
    bool busy = false;
};

FakeMakerApi::FakeMakerApi(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &FakeMakerApi::onNewConnection);
}

FakeMakerApi::~FakeMakerApi() = default;

bool FakeMakerApi::listen(quint16 port) {
    return m_server->listen(QHostAddress::LocalHost, port);
}

QUrl FakeMakerApi::baseURL() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server->serverPort());
    return url;
}

void FakeMakerApi::enqueue(const QString& path, FakeReply reply) {
    m_queues[path].enqueue(std::move(reply));
}

QList<FakeRequest> FakeMakerApi::requests(const QString& path) const {
    QList<FakeRequest> result;
    for (const FakeRequest& request : m_requests)
        if (request.path == path)
            result.append(request);
    return result;
}

void FakeMakerApi::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto connection = std::make_shared<Connection>();
        connection->number = ++m_connections;
        m_open.insert(socket, connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeMakerApi::onReadyRead(QTcpSocket* socket) {
    auto it = m_open.find(socket);
    if (it == m_open.end())
        return;
    it.value()->buffer += socket->readAll();
    serveNext(socket);
}

void FakeMakerApi::serveNext(QTcpSocket* socket) {
    auto it = m_open.find(socket);
    if (it == m_open.end())
        return;
    const std::shared_ptr<Connection> connection = it.value();
    if (connection->busy)
        return;
    const qsizetype headEnd = connection->buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> headLines = connection->buffer.left(headEnd).split('\n');
    FakeRequest request;
    request.connection = connection->number;
    const QList<QByteArray> requestLine = headLines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    QByteArray target = requestLine.value(1);
    if (const qsizetype query = target.indexOf('?'); query >= 0)
        target.truncate(query);
    request.path = QString::fromUtf8(target.startsWith('/') ? target.mid(1) : target);
    for (qsizetype i = 1; i < headLines.size(); ++i) {
        const QByteArray line = headLines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (connection->buffer.size() < headEnd + 4 + length)
        return;
    request.body = connection->buffer.mid(headEnd + 4, length);
    connection->buffer.remove(0, headEnd + 4 + length);
    connection->busy = true;
    m_requests.append(request);
    emit requestReceived(request);
    answer(socket, request);
}

void FakeMakerApi::answer(QTcpSocket* socket, const FakeRequest& request) {
    if (!paths.contains(request.path)) {
        write(socket, FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("not_found")}}, 404));
        return;
    }
    if (request.method != "POST") {
        write(socket, FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("method")}}, 405));
        return;
    }
    QQueue<FakeReply>& queue = m_queues[request.path];
    if (!queue.isEmpty()) {
        write(socket, queue.dequeue());
    } else if (m_canned) {
        const bool nudge = request.path == QLatin1String("nudge");
        const bool longer = m_variedNudges && nudge && m_nudgesAnswered % 2 == 1;
        m_nudgesAnswered += nudge ? 1 : 0;
        write(socket, cannedReply(request, longer));
    } else {
        write(socket, FakeReply::text(500, "no scripted answer for " + request.path.toUtf8()));
    }
}

void FakeMakerApi::write(QTcpSocket* socket, FakeReply reply) {
    QPointer<QTcpSocket> guard(socket);
    auto finish = [this, guard] {
        if (!guard)
            return;
        if (auto it = m_open.find(guard.data()); it != m_open.end())
            it.value()->busy = false;
        serveNext(guard.data());
    };
    auto send = [this, guard, reply, finish] {
        if (!guard)
            return;
        QTcpSocket* socket = guard.data();
        if (reply.drop == FakeReply::Drop::beforeStatus) {
            socket->disconnectFromHost();
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
        bool hasLength = false;
        bool hasType = false;
        for (const auto& [name, value] : reply.headers) {
            hasLength = hasLength || name.compare("content-length", Qt::CaseInsensitive) == 0;
            hasType = hasType || name.compare("content-type", Qt::CaseInsensitive) == 0;
            head += name + ": " + value + "\r\n";
        }
        if (!hasType && !reply.body.isEmpty())
            head += "Content-Type: application/json\r\n";
        if (reply.chunked)
            head += "Transfer-Encoding: chunked\r\n";
        else if (!hasLength)
            head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        head += "Connection: keep-alive\r\n\r\n";

        const QByteArray first = reply.body.left(reply.body.size() / 2);
        const QByteArray second = reply.body.mid(first.size());
        socket->write(head + (reply.chunked ? chunk(first) : first));
        if (reply.drop == FakeReply::Drop::midBody) {
            socket->disconnectFromHost();
            return;
        }
        auto rest = [guard, reply, second, finish] {
            if (!guard)
                return;
            guard->write(reply.chunked ? chunk(second) + "0\r\n\r\n" : second);
            finish();
        };
        if (reply.bodyPause > 0)
            QTimer::singleShot(milliseconds(reply.bodyPause), socket, rest);
        else
            rest();
    };
    if (reply.delay > 0)
        QTimer::singleShot(milliseconds(reply.delay), socket, send);
    else
        send();
}

FakeReply FakeMakerApi::cannedReply(const FakeRequest& request, bool longerNudge) {
    const QJsonObject body = request.json();
    const QString intention = body.value(QStringLiteral("intention")).toString();
    if (request.path == QLatin1String("judge")) {
        const QJsonObject state = body.value(QStringLiteral("state")).toObject();
        QString seen;
        for (const QString& key : state.keys())
            seen += state.value(key).toString() + QLatin1Char(' ');
        const QSet<QString> wanted = words(intention);
        const bool related = !wanted.isEmpty() && words(seen).intersects(wanted);
        return FakeReply::json(QJsonObject{
            {QStringLiteral("label"), related ? QStringLiteral("relevant") : QStringLiteral("unrelated")},
            {QStringLiteral("enough_evidence"), 0.8},
            {QStringLiteral("supports"), related ? 0.9 : 0.1},
            {QStringLiteral("question"), QStringLiteral("Does this window serve \"%1\"?").arg(intention)},
            {QStringLiteral("version"), QStringLiteral("fake-judge-1")},
            {QStringLiteral("model"), QStringLiteral("fake")},
        });
    }
    if (request.path == QLatin1String("job"))
        return FakeReply::json(QJsonObject{
            {QStringLiteral("status"), QStringLiteral("ok")},
            {QStringLiteral("actions"),
             QStringLiteral("Work on %1: read, write and test what it needs; look up its references.").arg(intention)},
            {QStringLiteral("version"), QStringLiteral("fake-job-1")},
        });
    if (request.path == QLatin1String("nudge")) {
        const QString app = body.value(QStringLiteral("app")).toString();
        return FakeReply::json(QJsonObject{
            {QStringLiteral("status"), QStringLiteral("ok")},
            {QStringLiteral("nudge"),
             (longerNudge ? QStringLiteral("%1 can wait, and so can everything else it offers you. Back to %2.")
                          : QStringLiteral("%1 can wait. Back to %2."))
                 .arg(app.isEmpty() ? QStringLiteral("This") : app, intention)},
            {QStringLiteral("prompt_version"), QStringLiteral("fake-nudge-1")},
            {QStringLiteral("model"), QStringLiteral("fake")},
            {QStringLiteral("doorway"), QString()},
        });
    }
    if (request.path == QLatin1String("history"))
        return FakeReply::json(QJsonObject{
            {QStringLiteral("status"), QStringLiteral("ok")},
            {QStringLiteral("prompt_version"), QStringLiteral("fake-history-1")},
            {QStringLiteral("lines"), lines(body.value(QStringLiteral("blocks")).toArray(),
                                            [](const QJsonObject& block) {
                                                const QString app = block.value(QStringLiteral("app")).toString();
                                                return block.value(QStringLiteral("kind")).toString() ==
                                                               QLatin1String("detour")
                                                           ? QStringLiteral("Took a detour in %1").arg(app)
                                                           : QStringLiteral("Worked in %1").arg(app);
                                            })},
        });
    if (request.path == QLatin1String("recap"))
        return FakeReply::json(QJsonObject{
            {QStringLiteral("status"), QStringLiteral("ok")},
            {QStringLiteral("prompt_version"), QStringLiteral("fake-recap-1")},
            {QStringLiteral("lines"), lines(body.value(QStringLiteral("detours")).toArray(),
                                            [](const QJsonObject& detour) {
                                                const QString site = detour.value(QStringLiteral("site")).toString();
                                                return site.isEmpty()
                                                           ? detour.value(QStringLiteral("fallback")).toString()
                                                           : QStringLiteral("Wandered over to %1").arg(site);
                                            })},
        });
    if (request.path == QLatin1String("speech/temporary-key"))
        return FakeReply::json(QJsonObject{{QStringLiteral("api_key"), QStringLiteral("fake-temporary-key")}});
    return FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("not_found")}}, 404);
}

} // namespace tavrine::test
