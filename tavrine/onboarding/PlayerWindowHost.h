#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// Keeps the player's own window over this item: the page hears of every change of the item's place in its
// window, of its visibility and of the window's, so the embedded window moves, shows and hides with the item.
// Does nothing for a player whose page shows as an item.
class PlayerWindowHost : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* player READ player WRITE setPlayer NOTIFY playerChanged)
public:
    explicit PlayerWindowHost(QQuickItem* parent = nullptr);
    ~PlayerWindowHost() override;

    QObject* player() const { return m_player; }
    void setPlayer(QObject* player);

signals:
    void playerChanged();

protected:
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    void follow(QQuickWindow* window);
    void sync();

    QPointer<QObject> m_player;
    QPointer<QQuickWindow> m_window;
    QList<QMetaObject::Connection> m_windowConnections;
};

} // namespace tavrine
