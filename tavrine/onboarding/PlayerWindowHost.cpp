#include "tavrine/onboarding/PlayerWindowHost.h"

#include "tavrine/onboarding/RehearsalPlayer.h"

#include <QQuickWindow>

namespace tavrine {

PlayerWindowHost::PlayerWindowHost(QQuickItem* parent) : QQuickItem(parent) {}

PlayerWindowHost::~PlayerWindowHost() {
    // The embedded window must not stay behind over a page that is gone.
    if (auto* player = qobject_cast<RehearsalPlayer*>(m_player.data()); player && player->page())
        player->page()->place(nullptr, {}, false);
}

void PlayerWindowHost::setPlayer(QObject* player) {
    if (m_player == player)
        return;
    m_player = player;
    emit playerChanged();
    sync();
}

void PlayerWindowHost::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    sync();
}

void PlayerWindowHost::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange)
        follow(value.window);
    if (change == ItemSceneChange || change == ItemVisibleHasChanged)
        sync();
}

void PlayerWindowHost::follow(QQuickWindow* window) {
    for (const QMetaObject::Connection& connection : std::as_const(m_windowConnections))
        disconnect(connection);
    m_windowConnections.clear();
    m_window = window;
    if (!window)
        return;
    // An ancestor moving moves this item without telling it: each frame checks where it now is.
    m_windowConnections << connect(window, &QQuickWindow::afterAnimating, this, &PlayerWindowHost::sync)
                        << connect(window, &QWindow::visibleChanged, this, &PlayerWindowHost::sync);
}

void PlayerWindowHost::sync() {
    auto* player = qobject_cast<RehearsalPlayer*>(m_player.data());
    RehearsalPlayerPage* page = player ? player->page() : nullptr;
    if (!page)
        return;
    if (!m_window) {
        page->place(nullptr, {}, false);
        return;
    }
    const QRect rect = mapRectToScene(boundingRect()).toAlignedRect();
    page->place(m_window, rect, isVisible() && m_window->isVisible() && !rect.isEmpty());
}

} // namespace tavrine
