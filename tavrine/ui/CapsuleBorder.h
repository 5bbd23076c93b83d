#pragma once

#include "tavrine/ui/PictureItem.h"

#include <QColor>

class QPainter;
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// A one-point stroke inside the edge of a capsule (or a rounded rectangle of `radius`) that fades from
// `topColor` to `bottomColor`; QML rectangles have no gradient borders. Drawn once into a picture: a window has
// one for each pill, and each costs nothing more until its size or colours change.
class CapsuleBorder : public PictureItem {
    Q_OBJECT
    QML_ELEMENT
    // Half the shorter side (a capsule) until set.
    Q_PROPERTY(qreal radius READ radius WRITE setRadius RESET resetRadius NOTIFY radiusChanged)
    Q_PROPERTY(QColor topColor READ topColor WRITE setTopColor NOTIFY topColorChanged)
    Q_PROPERTY(QColor bottomColor READ bottomColor WRITE setBottomColor NOTIFY bottomColorChanged)

public:
    explicit CapsuleBorder(QQuickItem* parent = nullptr);

    // The stroke of a `size` (item units) border at `scale` device pixels per unit.
    static QImage render(QSizeF size, qreal radius, const QColor& top, const QColor& bottom, qreal scale);
    // The one-unit stroke inside the edge of a `size` capsule (in `painter`'s units) with corners of `radius`,
    // fading from `top` to `bottom`: what a pill's edge shows, and what its shadow casts.
    static void strokeEdge(QPainter& painter, QSizeF size, qreal radius, const QColor& top, const QColor& bottom);

    qreal radius() const;
    void setRadius(qreal radius);
    void resetRadius();
    QColor topColor() const { return m_topColor; }
    void setTopColor(const QColor& color);
    QColor bottomColor() const { return m_bottomColor; }
    void setBottomColor(const QColor& color);

signals:
    void radiusChanged();
    void topColorChanged();
    void bottomColorChanged();

protected:
    Picture paint(qreal scale) const override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    // Negative: half the shorter side.
    qreal m_radius = -1;
    QColor m_topColor;
    QColor m_bottomColor;
};

} // namespace tavrine::ui
