#include "tavrine/onboarding/WebPlayerPage.h"

#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QWebChannel>
#include <unistd.h>

Q_LOGGING_CATEGORY(logOnboarding, "com.dravolence.tavrine.Onboarding")

namespace tavrine {

namespace {

// Maps the message handler the page posts to onto the web channel's bridge object; messages posted before the
// channel is up wait in order.
const char* const adapterScript = R"JS(
(function () {
    var waiting = [];
    var bridge = null;
    window.webkit = window.webkit || {};
    window.webkit.messageHandlers = window.webkit.messageHandlers || {};
    window.webkit.messageHandlers.player = {
        postMessage: function (body) { if (bridge) bridge.post(body); else waiting.push(body); }
    };
    new QWebChannel(qt.webChannelTransport, function (channel) {
        bridge = channel.objects.player;
        waiting.forEach(function (body) { bridge.post(body); });
        waiting = [];
    });
})();
)JS";

QString jsString(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

} // namespace

QString playerPageHtml(const QUrl& origin, const QString& apiUrl) {
    const QString originText = origin.toString(QUrl::FullyEncoded);
    QString html = QStringLiteral(R"HTML(<!doctype html>
<html><head><meta name="referrer" content="strict-origin-when-cross-origin">
<style>html,body{margin:0;height:100%;background:#000;overflow:hidden}#player{position:absolute;top:0;left:0;width:100%;height:100%}</style>
</head><body><div id="player"></div>
<script>
var player = null;
function post(event, value) { window.webkit.messageHandlers.player.postMessage({event: event, value: value}); }
function onYouTubeIframeAPIReady() {
  player = new YT.Player('player', {width: '100%', height: '100%',
    playerVars: {playsinline: 1, rel: 0, origin: )HTML");
    html += jsString(originText);
    html += QStringLiteral(R"HTML(},
    events: {
      onReady: function () { post('ready', 0); },
      onStateChange: function (e) { post('state', e.data); },
      onError: function (e) { post('error', e.data); }
    }});
}
function setVolume(volume) { player.setVolume(volume); if (volume === 0) player.mute(); else player.unMute(); }
function show(id, start, playing, volume) {
  setVolume(volume);
  if (playing) player.loadVideoById({videoId: id, startSeconds: start});
  else player.cueVideoById({videoId: id, startSeconds: start});
}
function play(volume) { setVolume(volume); player.playVideo(); }
function pause() { player.pauseVideo(); }
</script>
)HTML");
    if (!apiUrl.isEmpty())
        html += QStringLiteral("<script src=\"%1\"></script>\n").arg(apiUrl.toHtmlEscaped());
    html += QStringLiteral("</body></html>\n");
    return html;
}

QUrl WebPlayerPage::configuredOrigin() { return QUrl(QStringLiteral(TAVRINE_REHEARSAL_WEB_ORIGIN)); }

QString WebPlayerPage::configuredApiUrl() { return QStringLiteral(TAVRINE_REHEARSAL_PLAYER_API_URL); }

WebPlayerPage::WebPlayerPage(QQmlEngine& engine, QUrl origin, QString apiUrl)
    : m_origin(std::move(origin)), m_apiUrl(std::move(apiUrl)) {
    connect(&m_bridge, &PlayerBridge::posted, this, &RehearsalPlayerPage::message);
    QQmlComponent component(&engine, ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("PlayerWebView")));
    QObject* made = component.create();
    m_view = qobject_cast<QQuickItem*>(made);
    if (!m_view) {
        delete made;
        qCWarning(logOnboarding).noquote() << "The web video player cannot be made:" << component.errorString();
        return;
    }
    QQmlEngine::setObjectOwnership(m_view, QQmlEngine::CppOwnership);
    // The channel is the view's child, so the bridge stays registered exactly as long as the page can call it.
    if (auto* channel = m_view->property("channel").value<QWebChannel*>())
        channel->registerObject(QStringLiteral("player"), &m_bridge);
    connect(m_view, SIGNAL(crashed()), this, SIGNAL(crashed()));
    // The scripts go in through the view, so that nothing of the web engine is linked into the program: its
    // libraries load with the view's QML import, the first time a rehearsal shows the video page.
    QFile channelScript(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (channelScript.open(QIODevice::ReadOnly)) {
        QMetaObject::invokeMethod(m_view, "addUserScript", Q_ARG(QVariant, QStringLiteral("qwebchannel")),
                                  Q_ARG(QVariant, QString::fromUtf8(channelScript.readAll())));
        QMetaObject::invokeMethod(m_view, "addUserScript", Q_ARG(QVariant, QStringLiteral("playerBridge")),
                                  Q_ARG(QVariant, QString::fromUtf8(adapterScript)));
    }
}

WebPlayerPage::~WebPlayerPage() { delete m_view.data(); }

void WebPlayerPage::load() {
    if (m_view)
        QMetaObject::invokeMethod(m_view, "loadHtml", Q_ARG(QString, playerPageHtml(m_origin, m_apiUrl)),
                                  Q_ARG(QUrl, m_origin));
}

void WebPlayerPage::runScript(const QString& script) {
    if (m_view)
        QMetaObject::invokeMethod(m_view, "runJavaScript", Q_ARG(QString, script));
}

void WebPlayerPage::detach() {
    // The bridge falls silent here but stays known to the channel until the view goes: the page may have posted
    // answers to the last calls that are still on their way, and a deregistered object makes the channel
    // complain about each of them. Silenced, they reach no one.
    disconnect(&m_bridge, nullptr, this, nullptr);
    if (m_view)
        QMetaObject::invokeMethod(m_view, "loadHtml", Q_ARG(QString, QString()), Q_ARG(QUrl, QUrl()));
}

void prepareWebEngine() {
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qCInfo(logOnboarding) << "Running as root: the web video player runs without its sandbox";
    }
    // What the web engine needs of the application before it exists, set here because the engine itself only
    // loads when the video page first needs it: one GL context shared with the engine's, and OpenGL for Qt Quick.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const QSGRendererInterface::GraphicsApi api = QQuickWindow::graphicsApi();
    if (api != QSGRendererInterface::OpenGL && api != QSGRendererInterface::Vulkan)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
}

} // namespace tavrine
