#include "tavrine/nudge/XmarkIcon.h"

#include "tavrine/core/Observable.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace tavrine::nudge {

XmarkIcon::XmarkIcon(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setImplicitSize(8, 8);
    setAntialiasing(true);
}

void XmarkIcon::setColor(const QColor& color) {
    if (assignIfChanged(m_color, color)) {
        update();
        emit colorChanged();
    }
}

void XmarkIcon::paint(QPainter* painter) {
    static QSvgRenderer renderer(QStringLiteral(":/icons/xmark.svg"));
    const QSize size(qMax(1, int(width())), qMax(1, int(height())));
    QImage glyph(size, QImage::Format_ARGB32_Premultiplied);
    glyph.fill(Qt::transparent);
    {
        QPainter p(&glyph);
        renderer.render(&p);
        // Keep the glyph's coverage, take our colour.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(glyph.rect(), m_color);
    }
    painter->drawImage(QPointF(0, 0), glyph);
}

} // namespace tavrine::nudge
