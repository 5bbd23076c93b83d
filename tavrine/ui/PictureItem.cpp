#include "tavrine/ui/PictureItem.h"

#include <QSGImageNode>

namespace tavrine::ui {

PictureItem::PictureItem(QQuickItem* parent, QQuickWindow::CreateTextureOptions textureOptions)
    : QQuickItem(parent), m_textureOptions(textureOptions) {
    setFlag(ItemHasContents);
}

void PictureItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        m_stale = true;
        update();
    }
}

QSGNode* PictureItem::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* node = static_cast<QSGImageNode*>(old);
    if (width() <= 0 || height() <= 0 || !window()) {
        delete node;
        return nullptr;
    }
    const qreal scale = window()->effectiveDevicePixelRatio();
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Linear);
        m_stale = true;
    }
    // A window on a screen of another pixel density needs the picture drawn again at its scale.
    if (scale != m_drawnScale) {
        m_drawnScale = scale;
        m_stale = true;
    }
    // Everything the rectangle depends on makes the picture stale, so the two are set together.
    if (m_stale) {
        const Picture picture = paint(scale);
        node->setTexture(window()->createTextureFromImage(picture.image, m_textureOptions));
        node->setRect(picture.rect);
        m_stale = false;
    }
    return node;
}

} // namespace tavrine::ui
