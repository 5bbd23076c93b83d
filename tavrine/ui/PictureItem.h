#pragma once

#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// An item that shows a picture drawn once into a texture and drawn again only when its size, the window's pixel
// density or one of its properties changes: a window that animates something else then redraws it as a plain
// image, and no shader is made for it at run time. A subclass paints the picture and says where it goes.
class PictureItem : public QQuickItem {
    Q_OBJECT
    QML_ANONYMOUS

protected:
    // The picture in device pixels and the rectangle it covers in the item's coordinates.
    struct Picture {
        QImage image;
        QRectF rect;
    };

    // `textureOptions` are those the texture is made with (the shared atlas or not).
    explicit PictureItem(QQuickItem* parent = nullptr, QQuickWindow::CreateTextureOptions textureOptions = {});

    // The picture at `scale` device pixels per item unit; called only for an item of some size in a window.
    virtual Picture paint(qreal scale) const = 0;

    // Sets a property the picture depends on: a new value has the picture drawn again and emits `changed`.
    template <typename Owner, typename T> void change(T& member, const T& value, void (Owner::*changed)()) {
        if (member == value)
            return;
        member = value;
        m_stale = true;
        update();
        emit(static_cast<Owner*>(this)->*changed)();
    }

    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    QQuickWindow::CreateTextureOptions m_textureOptions;
    qreal m_drawnScale = 0;
    bool m_stale = true;
};

} // namespace tavrine::ui
