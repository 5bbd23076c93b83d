#include "tavrine/historyview/RecapDashedLine.h"

#include <QPainter>

namespace tavrine {

RecapDashedLine::RecapDashedLine(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void RecapDashedLine::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
    emit changed();
}

void RecapDashedLine::setLineWidth(double width) {
    if (width == m_lineWidth)
        return;
    m_lineWidth = width;
    update();
    emit changed();
}

void RecapDashedLine::setDash(double dash) {
    if (dash == m_dash)
        return;
    m_dash = dash;
    update();
    emit changed();
}

void RecapDashedLine::paint(QPainter* painter) {
    if (m_lineWidth <= 0)
        return;
    QPen pen(m_color, m_lineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    // A pen's dash pattern counts in line widths.
    pen.setDashPattern({m_dash / m_lineWidth, m_dash / m_lineWidth});
    painter->setPen(pen);
    const double y = height() / 2;
    painter->drawLine(QPointF(0, y), QPointF(width(), y));
}

} // namespace tavrine
