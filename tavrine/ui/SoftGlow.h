#pragma once

#include "tavrine/ui/PictureItem.h"

#include <QColor>
#include <QImage>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// A glow around the item's rectangle that fades out over `glowRadius` beyond its edges: the falloff of
// Qt's RectangularGlow (a smooth step across each axis, their product squared). Loading the graphical-effects module
// for it would also load Qt's run-time shader compiler, megabytes that stay for the rest of the run.
class SoftGlow : public PictureItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal glowRadius READ glowRadius WRITE setGlowRadius NOTIFY glowRadiusChanged)
    Q_PROPERTY(qreal spread READ spread WRITE setSpread NOTIFY spreadChanged)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

public:
    struct Glow {
        // The glowing rectangle, in device pixels.
        QSizeF size;
        qreal glowRadius = 0;
        qreal spread = 0;
        qreal cornerRadius = 0;
    };

    explicit SoftGlow(QQuickItem* parent = nullptr);

    // The glow's area around the rectangle, in the rectangle's coordinates: it reaches glowRadius plus the
    // corner radius (clamped to half the shorter side plus glowRadius) beyond each edge.
    static QRectF area(const Glow& glow);
    // The glow in `color` over `area(glow)` rounded out to whole pixels: premultiplied.
    static QImage render(const Glow& glow, const QColor& color);

    qreal glowRadius() const { return m_glowRadius; }
    void setGlowRadius(qreal radius);
    qreal spread() const { return m_spread; }
    void setSpread(qreal spread);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

signals:
    // One signal each: a binding of one property to another (the corner radius to the glow radius) is no loop.
    void glowRadiusChanged();
    void spreadChanged();
    void cornerRadiusChanged();
    void colorChanged();

protected:
    Picture paint(qreal scale) const override;

private:
    qreal m_glowRadius = 0;
    qreal m_spread = 0;
    qreal m_cornerRadius = 0;
    QColor m_color = Qt::white;
};

} // namespace tavrine::ui
