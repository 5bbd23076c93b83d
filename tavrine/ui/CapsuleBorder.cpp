#include "tavrine/ui/CapsuleBorder.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tavrine::ui {

CapsuleBorder::CapsuleBorder(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

QImage CapsuleBorder::render(QSizeF size, qreal radius, const QColor& top, const QColor& bottom, qreal scale) {
    QImage image(std::max(1, int(std::ceil(size.width() * scale))), std::max(1, int(std::ceil(size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    strokeEdge(painter, size, radius, top, bottom);
    return image;
}

void CapsuleBorder::strokeEdge(QPainter& painter, QSizeF size, qreal radius, const QColor& top,
                               const QColor& bottom) {
    if (size.width() < 2 || size.height() < 2)
        return;
    // The stroke's middle half a unit inside the edge, so that all of it falls on the capsule.
    const qreal r = std::max(0.0, std::clamp(radius, 0.0, std::min(size.width(), size.height()) / 2) - 0.5);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(gradient), 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), r, r);
    painter.restore();
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
