#include "tavrine/nudge/NotchShadowItem.h"

#include "tavrine/nudge/NotchGeometry.h"
#include "tavrine/ui/SoftShadow.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tavrine::nudge {

NotchShadowItem::NotchShadowItem(QQuickItem* parent) : PictureItem(parent) {}

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

ui::PictureItem::Picture NotchShadowItem::paint(qreal scale) const {
    const int blur = int(std::lround(m_blur * scale));
    const QSize size(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)));
    QImage shape(size, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.fillPath(notchShapePath(QRectF(0, 0, width(), height()), m_ear, m_bottom), Qt::black);
    }
    return {ui::SoftShadow::blurred(shape, blur, m_color),
            QRectF(-blur / scale, std::round(m_offset) - blur / scale, size.width() / scale + 2 * blur / scale,
                   size.height() / scale + 2 * blur / scale)};
}

} // namespace tavrine::nudge
