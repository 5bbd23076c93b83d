#include "tavrine/nudge/NotchShapeItem.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/NotchGeometry.h"

#include <QPainter>

namespace tavrine::nudge {

NotchShapeItem::NotchShapeItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void NotchShapeItem::setEarRadius(double radius) {
    if (assignIfChanged(m_ear, radius)) {
        update();
        emit shapeChanged();
        emit outlineChanged();
    }
}

void NotchShapeItem::setBottomRadius(double radius) {
    if (assignIfChanged(m_bottom, radius)) {
        update();
        emit shapeChanged();
        emit outlineChanged();
    }
}

void NotchShapeItem::setColor(const QColor& color) {
    if (assignIfChanged(m_color, color)) {
        update();
        emit shapeChanged();
    }
}

QPainterPath NotchShapeItem::outline() const {
    return notchShapePath(QRectF(0, 0, width(), height()), m_ear, m_bottom);
}

void NotchShapeItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        emit outlineChanged();
}

void NotchShapeItem::paint(QPainter* painter) {
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(outline(), m_color);
}

} // namespace tavrine::nudge
