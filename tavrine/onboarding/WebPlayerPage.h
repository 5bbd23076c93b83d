#pragma once

#include "tavrine/onboarding/RehearsalPlayerPage.h"

#include <QPointer>
#include <QQuickItem>
#include <QUrl>
#include <memory>

class QQmlEngine;
class QQuickItem;

namespace tavrine {

// The player's page text: a full-size player element, the calls show/play/pause, and the player API's script
// from `apiUrl` (none when empty: the page then contacts no host and never reports "ready").
QString playerPageHtml(const QUrl& origin, const QString& apiUrl);

// The one object the page's bridge reaches: the page's `window.webkit.messageHandlers.player.postMessage(body)`
// arrives here as `post(body)`.
class PlayerBridge final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void post(const QVariant& body) { emit posted(body); }

signals:
    void posted(const QVariant& body);
};

// The real page: a web view (PlayerWebView.qml) with an off-the-record profile, playback without a user
// gesture, and the bridge injected as user scripts (an https page cannot load qrc:). The page owns the view, so
// no web process outlives the player.
class WebPlayerPage final : public RehearsalPlayerPage {
    Q_OBJECT
public:
    // Nothing shows when the component cannot be made (no GL, no web engine): the player then never gets "ready".
    explicit WebPlayerPage(QQmlEngine& engine, QUrl origin = configuredOrigin(), QString apiUrl = configuredApiUrl());
    ~WebPlayerPage() override;

    void load() override;
    void runScript(const QString& script) override;
    void detach() override;
    QQuickItem* view() const override { return m_view; }

    static QUrl configuredOrigin();
    static QString configuredApiUrl();

private:
    QPointer<QQuickItem> m_view;
    PlayerBridge m_bridge;
    QUrl m_origin;
    QString m_apiUrl;
};

// Before the application object: the web engine's shared context, and the sandbox that refuses to run as root.
void prepareWebEngine();

} // namespace tavrine
