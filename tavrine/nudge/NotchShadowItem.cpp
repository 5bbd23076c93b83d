#include "tavrine/nudge/NotchShadowItem.h"

#include "tavrine/nudge/NotchGeometry.h"
#include "tavrine/ui/SoftShadow.h"

#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>

#include <algorithm>
#include <cmath>

namespace tavrine::nudge {

NotchShadowItem::NotchShadowItem(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
}

template <typename T> void NotchShadowItem::change(T& member, const T& value) {
    if (member == value)
        return;
    member = value;
    m_stale = true;
    update();
    emit shapeChanged();
}

void NotchShadowItem::setEarRadius(double radius) {
    change(m_ear, radius);
}
void NotchShadowItem::setBottomRadius(double radius) {
    change(m_bottom, radius);
}
void NotchShadowItem::setBlurRadius(int radius) {
    change(m_blur, std::max(0, radius));
}
void NotchShadowItem::setVerticalOffset(double offset) {
    change(m_offset, offset);
}
void NotchShadowItem::setColor(const QColor& color) {
    change(m_color, color);
}

void NotchShadowItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        m_stale = true;
        update();
    }
}

QSGNode* NotchShadowItem::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* node = static_cast<QSGImageNode*>(old);
    if (width() <= 0 || height() <= 0 || !window()) {
        delete node;
        return nullptr;
    }
    const qreal scale = window()->effectiveDevicePixelRatio();
    const int blur = int(std::lround(m_blur * scale));
    const QSize size(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)));
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Linear);
        m_stale = true;
    }
    if (scale != m_drawnScale) {
        m_drawnScale = scale;
        m_stale = true;
    }
    if (m_stale) {
        QImage shape(size, QImage::Format_ARGB32_Premultiplied);
        shape.fill(Qt::transparent);
        {
            QPainter painter(&shape);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(scale, scale);
            painter.fillPath(notchShapePath(QRectF(0, 0, width(), height()), m_ear, m_bottom), Qt::black);
        }
        node->setTexture(window()->createTextureFromImage(ui::SoftShadow::blurred(shape, blur, m_color)));
        m_stale = false;
    }
    node->setRect(QRectF(-blur / scale, std::round(m_offset) - blur / scale, size.width() / scale + 2 * blur / scale,
                         size.height() / scale + 2 * blur / scale));
    return node;
}

} // namespace tavrine::nudge
