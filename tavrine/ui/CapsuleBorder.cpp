#include "tavrine/ui/CapsuleBorder.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tavrine::ui {

CapsuleBorder::CapsuleBorder(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

QImage CapsuleBorder::render(QSizeF size, qreal radius, const QColor& top, const QColor& bottom, qreal scale) {
    QImage image(std::max(1, int(std::ceil(size.width() * scale))), std::max(1, int(std::ceil(size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.width() < 2 || size.height() < 2)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    // The stroke's middle half a point inside the edge, so that all of it falls on the item.
    const qreal r = std::max(0.0, std::min(radius, std::min(size.width(), size.height()) / 2) - 0.5);
    const qreal left = 0.5;
    const qreal topEdge = 0.5;
    const qreal right = 0.5 + size.width() - 1;
    const qreal bottomEdge = 0.5 + size.height() - 1;
    QPainterPath path;
    path.moveTo(left + r, topEdge);
    path.lineTo(right - r, topEdge);
    path.arcTo(QRectF(right - 2 * r, topEdge, 2 * r, 2 * r), 90, -90);
    path.lineTo(right, bottomEdge - r);
    path.arcTo(QRectF(right - 2 * r, bottomEdge - 2 * r, 2 * r, 2 * r), 0, -90);
    path.lineTo(left + r, bottomEdge);
    path.arcTo(QRectF(left, bottomEdge - 2 * r, 2 * r, 2 * r), -90, -90);
    path.lineTo(left, topEdge + r);
    path.arcTo(QRectF(left, topEdge, 2 * r, 2 * r), 180, -90);
    path.closeSubpath();
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    return image;
}

qreal CapsuleBorder::radius() const {
    return m_radius < 0 ? std::min(width(), height()) / 2 : m_radius;
}

void CapsuleBorder::setRadius(qreal radius) {
    change(m_radius, std::max(0.0, radius), &CapsuleBorder::radiusChanged);
}

void CapsuleBorder::resetRadius() {
    change(m_radius, -1.0, &CapsuleBorder::radiusChanged);
}

void CapsuleBorder::setTopColor(const QColor& color) {
    change(m_topColor, color, &CapsuleBorder::topColorChanged);
}

void CapsuleBorder::setBottomColor(const QColor& color) {
    change(m_bottomColor, color, &CapsuleBorder::bottomColorChanged);
}

PictureItem::Picture CapsuleBorder::paint(qreal scale) const {
    return {render(size(), radius(), m_topColor, m_bottomColor, scale), QRectF(0, 0, width(), height())};
}

void CapsuleBorder::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    PictureItem::geometryChange(newGeometry, oldGeometry);
    if (m_radius < 0 && newGeometry.size() != oldGeometry.size())
        emit radiusChanged();
}

} // namespace tavrine::ui
