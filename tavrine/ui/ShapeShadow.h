#pragma once

#include "tavrine/ui/PictureItem.h"
#include "tavrine/ui/SoftShadow.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// The drop shadow that a few shapes laid out in the item cast (symbols and rounded rectangles), with a halo
// round them and the shapes themselves on top when asked: what Qt's drop-shadow effect draws, drawn once into a
// texture. The effect would load Qt's run-time shader compiler, megabytes that stay for the rest of the run.
class ShapeShadow : public PictureItem {
    Q_OBJECT
    QML_ELEMENT
    // Each shape a map: "rect" in the item's coordinates, and either "radius" (a rounded rectangle) or "symbol"
    // (the URL of an SVG drawn into the rectangle as an icon is, turned "rotation" degrees about its middle).
    Q_PROPERTY(QVariantList shapes READ shapes WRITE setShapes NOTIFY lookChanged)
    // The shapes drawn in this colour over their halo; transparent: the shapes only cast the shadow.
    Q_PROPERTY(QColor fill READ fill WRITE setFill NOTIFY lookChanged)
    // A halo round the shapes, as a drop shadow without offset draws it (`samples` 2 * ceil(radius) + 1).
    Q_PROPERTY(QColor haloColor READ haloColor WRITE setHaloColor NOTIFY lookChanged)
    Q_PROPERTY(qreal haloRadius READ haloRadius WRITE setHaloRadius NOTIFY lookChanged)
    Q_PROPERTY(qreal haloSpread READ haloSpread WRITE setHaloSpread NOTIFY lookChanged)
    // The shadow of the shapes and their halo. `samples` 0 takes 2 * ceil(blurRadius) + 1, the effect's best.
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY lookChanged)
    Q_PROPERTY(qreal blurRadius READ blurRadius WRITE setBlurRadius NOTIFY lookChanged)
    Q_PROPERTY(int samples READ samples WRITE setSamples NOTIFY lookChanged)
    Q_PROPERTY(qreal horizontalOffset READ horizontalOffset WRITE setHorizontalOffset NOTIFY lookChanged)
    Q_PROPERTY(qreal verticalOffset READ verticalOffset WRITE setVerticalOffset NOTIFY lookChanged)

public:
    struct Shape {
        QRectF rect;
        qreal radius = 0;
        // A resource or file path (":/icons/x.svg"); empty for a rounded rectangle.
        QString symbol;
        qreal rotation = 0;
    };
    struct Look {
        QColor fill = Qt::transparent;
        QColor haloColor = Qt::transparent;
        SoftShadow::Blur halo;
        QColor color = Qt::transparent;
        SoftShadow::Blur blur;
        // In whole item units, as the effect places its shadow.
        QPoint offset;
    };
    // A picture in device pixels and where its top left lies, in device pixels of the item.
    struct Drawn {
        QImage image;
        QPoint origin;
    };

    explicit ShapeShadow(QQuickItem* parent = nullptr);

    // The shapes at `scale` device pixels per item unit: the shadow, the halo over it, the filled shapes on top.
    static Drawn draw(const QList<Shape>& shapes, const Look& look, qreal scale);
    // The shapes of a QML list as `shapes` takes it; entries without a rectangle, or with an empty symbol, are left
    // out.
    static QList<Shape> shapesFrom(const QVariantList& list);

    QVariantList shapes() const { return m_shapeList; }
    void setShapes(const QVariantList& shapes);
    QColor fill() const { return m_look.fill; }
    void setFill(const QColor& fill);
    QColor haloColor() const { return m_look.haloColor; }
    void setHaloColor(const QColor& color);
    qreal haloRadius() const { return m_look.halo.radius; }
    void setHaloRadius(qreal radius);
    qreal haloSpread() const { return m_look.halo.spread; }
    void setHaloSpread(qreal spread);
    QColor color() const { return m_look.color; }
    void setColor(const QColor& color);
    qreal blurRadius() const { return m_look.blur.radius; }
    void setBlurRadius(qreal radius);
    int samples() const { return m_samples; }
    void setSamples(int samples);
    qreal horizontalOffset() const { return m_horizontalOffset; }
    void setHorizontalOffset(qreal offset);
    qreal verticalOffset() const { return m_verticalOffset; }
    void setVerticalOffset(qreal offset);

signals:
    void lookChanged();

protected:
    Picture paint(qreal scale) const override;

private:
    template <typename T> void change(T& member, const T& value) {
        PictureItem::change(member, value, &ShapeShadow::lookChanged);
    }

    QVariantList m_shapeList;
    QList<Shape> m_shapes;
    Look m_look;
    int m_samples = 0;
    qreal m_horizontalOffset = 0;
    qreal m_verticalOffset = 0;
};

} // namespace tavrine::ui
