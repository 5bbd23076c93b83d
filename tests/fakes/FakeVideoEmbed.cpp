#include "fakes/FakeVideoEmbed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

namespace tavrine::test {

namespace {

// The site's API as far as the page uses it. `CALLS` and `CLIPS` are filled in when served.
const char* const apiScript = R"JS(
(function () {
  var calls = CALLS;
  var clips = CLIPS;
  var sequence = 0;
  function record(name, args) {
    sequence += 1;
    fetch(calls, {method: 'POST', mode: 'no-cors', headers: {'Content-Type': 'text/plain'},
                  body: JSON.stringify({sequence: sequence, name: name, args: args})});
  }
  function Player(elementId, options) {
    var self = this;
    var events = options.events || {};
    var current = null;
    var element = document.getElementById(elementId);
    record('Player', [elementId, {width: options.width, height: options.height, playerVars: options.playerVars}]);
    function fire(name, data, delay) {
      setTimeout(function () { if (events[name]) events[name]({target: self, data: data}); }, delay || 0);
    }
    function behaviour() { return clips[current] || 'plays'; }
    function playing() {
      switch (behaviour()) {
      case 'refused': fire('onError', 150); break;
      case 'stalls': fire('onStateChange', -1); break;
      case 'textState': fire('onStateChange', '1'); break;
      default: fire('onStateChange', 3); fire('onStateChange', 1, 50);
      }
    }
    function start(id, play) {
      current = id;
      if (element) {
        element.style.background = '#3a1f5c';
        element.textContent = id;
      }
      if (play) playing();
      else if (behaviour() === 'refused') fire('onError', 150);
      else fire('onStateChange', behaviour() === 'stalls' ? -1 : 5);
    }
    self.setVolume = function (volume) { record('setVolume', [volume]); };
    self.mute = function () { record('mute', []); };
    self.unMute = function () { record('unMute', []); };
    self.loadVideoById = function (options) { record('loadVideoById', [options]); start(options.videoId, true); };
    self.cueVideoById = function (options) { record('cueVideoById', [options]); start(options.videoId, false); };
    self.playVideo = function () { record('playVideo', []); if (current !== null) playing(); };
    self.pauseVideo = function () {
      record('pauseVideo', []);
      if (current !== null && behaviour() === 'plays') fire('onStateChange', 2);
    };
    fire('onReady', undefined);
  }
  window.YT = {Player: Player, PlayerState: {UNSTARTED: -1, ENDED: 0, PLAYING: 1, PAUSED: 2, BUFFERING: 3, CUED: 5}};
  setTimeout(function () { if (window.onYouTubeIframeAPIReady) window.onYouTubeIframeAPIReady(); }, 0);
})();
)JS";

QByteArray reply(int status, const QByteArray& reason, const QByteArray& type, const QByteArray& body) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    if (!type.isEmpty())
        head += "Content-Type: " + type + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Access-Control-Allow-Origin: *\r\nAccess-Control-Allow-Headers: Content-Type\r\n";
    head += "Cache-Control: no-store\r\nConnection: keep-alive\r\n\r\n";
    return head + body;
}

QString behaviourName(FakeVideoEmbed::Clip clip) {
    switch (clip) {
    case FakeVideoEmbed::Clip::plays:
        return QStringLiteral("plays");
    case FakeVideoEmbed::Clip::refused:
        return QStringLiteral("refused");
    case FakeVideoEmbed::Clip::stalls:
        return QStringLiteral("stalls");
    case FakeVideoEmbed::Clip::textState:
        return QStringLiteral("textState");
    }
    return QStringLiteral("plays");
}

} // namespace

FakeVideoEmbed::FakeVideoEmbed(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &FakeVideoEmbed::onNewConnection);
}

FakeVideoEmbed::~FakeVideoEmbed() = default;

bool FakeVideoEmbed::listen() { return m_server->listen(QHostAddress::LocalHost, 0); }

QUrl FakeVideoEmbed::origin() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server->serverPort());
    return url;
}

QString FakeVideoEmbed::apiUrl() const { return origin().toString() + QStringLiteral("/iframe_api"); }

QStringList FakeVideoEmbed::callNames() const {
    QStringList names;
    for (const EmbedCall& call : m_calls)
        names << call.name;
    return names;
}

void FakeVideoEmbed::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeVideoEmbed::serve(QTcpSocket* socket) {
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it.value() += socket->readAll();
    QByteArray& buffer = it.value();
    while (true) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        qsizetype length = 0;
        for (const QByteArray& line : lines) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.toLower().startsWith("content-length:"))
                length = trimmed.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < headEnd + 4 + length)
            return;
        const QByteArray method = requestLine.value(0);
        QByteArray path = requestLine.value(1);
        if (const qsizetype query = path.indexOf('?'); query >= 0)
            path.truncate(query);
        const QByteArray body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        m_paths << QString::fromUtf8(path);

        if (method == "OPTIONS") {
            socket->write(reply(204, "No Content", {}, {}));
        } else if (method == "GET" && path == "/iframe_api") {
            ++m_scriptsServed;
            socket->write(reply(200, "OK", "text/javascript; charset=utf-8", script()));
        } else if (method == "POST" && path == "/call") {
            socket->write(reply(204, "No Content", {}, {}));
            record(body);
        } else {
            socket->write(reply(404, "Not Found", "text/plain", "not here\n"));
        }
    }
}

void FakeVideoEmbed::record(const QByteArray& body) {
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    EmbedCall call{object.value(QStringLiteral("name")).toString(), object.value(QStringLiteral("args")).toArray()};
    const qint64 sequence = object.value(QStringLiteral("sequence")).toInteger();
    const auto at = std::upper_bound(m_ordered.begin(), m_ordered.end(), sequence,
                                     [](qint64 s, const QPair<qint64, EmbedCall>& entry) { return s < entry.first; });
    m_ordered.insert(at, {sequence, call});
    m_calls.clear();
    for (const auto& entry : m_ordered)
        m_calls << entry.second;
    emit called(call);
}

QByteArray FakeVideoEmbed::script() const {
    QJsonObject clips;
    for (auto it = m_clips.begin(); it != m_clips.end(); ++it)
        clips.insert(it.key(), behaviourName(it.value()));
    QByteArray text = apiScript;
    text.replace("CALLS", QJsonDocument(QJsonArray{origin().toString() + QStringLiteral("/call")})
                              .toJson(QJsonDocument::Compact)
                              .mid(1)
                              .chopped(1));
    text.replace("CLIPS", QJsonDocument(clips).toJson(QJsonDocument::Compact));
    return text;
}

} // namespace tavrine::test
