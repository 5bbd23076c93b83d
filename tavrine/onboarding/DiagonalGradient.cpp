#include "tavrine/onboarding/DiagonalGradient.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tavrine::onboarding {

DiagonalGradient::DiagonalGradient(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

QVariantList DiagonalGradient::colorValues() const {
    QVariantList values;
    for (const QColor& color : m_colors)
        values << QVariant::fromValue(color);
    return values;
}

void DiagonalGradient::setColorValues(const QVariantList& values) {
    QList<QColor> colors;
    for (const QVariant& value : values) {
        // A colour name arrives as text; anything that does not name a colour is no colour at all.
        const QColor color = value.metaType().id() == QMetaType::QColor ? value.value<QColor>()
                             : value.canConvert<QString>()               ? QColor::fromString(value.toString())
                                                                         : QColor();
        if (color.isValid())
            colors << color;
    }
    if (colors == m_colors)
        return;
    m_colors = colors;
    emit colorsChanged();
    update();
}

void DiagonalGradient::setRadius(double radius) {
    radius = std::isfinite(radius) ? std::max(0.0, radius) : 0.0;
    if (radius == m_radius)
        return;
    m_radius = radius;
    emit radiusChanged();
    update();
}

void DiagonalGradient::paint(QPainter* painter) {
    const QRectF area(0, 0, width(), height());
    if (m_colors.isEmpty() || area.isEmpty())
        return;
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    if (m_colors.size() == 1) {
        gradient.setColorAt(0, m_colors.first());
    } else {
        for (qsizetype i = 0; i < m_colors.size(); ++i)
            gradient.setColorAt(double(i) / double(m_colors.size() - 1), m_colors[i]);
    }
    const double radius = std::min(m_radius, std::min(area.width(), area.height()) / 2);
    painter->setRenderHint(QPainter::Antialiasing, radius > 0);
    painter->setPen(Qt::NoPen);
    painter->setBrush(gradient);
    if (radius > 0)
        painter->drawRoundedRect(area, radius, radius);
    else
        painter->fillRect(area, gradient);
}

} // namespace tavrine::onboarding
