#pragma once

#include "tavrine/ui/PictureItem.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// The soft shadow that shapes cast, drawn once into a texture and drawn again only when a shape or the look
// changes: a rounded rectangle (the item's own when no shapes are given), a symbol, or any outline (the notch's
// silhouette), with a halo round them and the shapes themselves on top when asked. One blur for every caller: a
// radius r reaches r pixels beyond the shape, its taps weighted with a Gaussian of deviation (r + 1) / 3.3333,
// as the drop shadow of Qt's graphical effects draws it with 2r + 1 samples. Those effects would load Qt's
// run-time shader compiler, megabytes that stay for the rest of the run.
class Shadow : public PictureItem {
    Q_OBJECT
    QML_ELEMENT
    // Each shape a map, in the item's coordinates: "rect" and "radius" (a rounded rectangle), "rect" and "symbol"
    // (the URL of an SVG drawn into the rectangle as an icon is, turned "rotation" degrees about its middle), or
    // "outline" (a path). Empty: the item's own rectangle with `cornerRadius`.
    Q_PROPERTY(QVariantList shapes READ shapes WRITE setShapes NOTIFY lookChanged)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY lookChanged)
    // What the shapes are filled with: its alpha is how much shadow they cast (a translucent pill a faint one).
    Q_PROPERTY(QColor fill READ fill WRITE setFill NOTIFY lookChanged)
    // A rounded rectangle's one-pixel inner edge, its alpha running from `edgeTop` to `edgeBottom`: it casts
    // shadow too.
    Q_PROPERTY(QColor edgeTop READ edgeTop WRITE setEdgeTop NOTIFY lookChanged)
    Q_PROPERTY(QColor edgeBottom READ edgeBottom WRITE setEdgeBottom NOTIFY lookChanged)
    // The shapes drawn in `fill` over their halo and shadow; otherwise they only cast it.
    Q_PROPERTY(bool drawsShapes READ drawsShapes WRITE setDrawsShapes NOTIFY lookChanged)
    // A halo round the shapes, as a shadow without offset, strengthened by `haloSpread` (0…1).
    Q_PROPERTY(QColor haloColor READ haloColor WRITE setHaloColor NOTIFY lookChanged)
    Q_PROPERTY(qreal haloRadius READ haloRadius WRITE setHaloRadius NOTIFY lookChanged)
    Q_PROPERTY(qreal haloSpread READ haloSpread WRITE setHaloSpread NOTIFY lookChanged)
    // The shadow of the shapes and their halo, moved by whole item units.
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY lookChanged)
    Q_PROPERTY(qreal blurRadius READ blurRadius WRITE setBlurRadius NOTIFY lookChanged)
    Q_PROPERTY(qreal horizontalOffset READ horizontalOffset WRITE setHorizontalOffset NOTIFY lookChanged)
    Q_PROPERTY(qreal verticalOffset READ verticalOffset WRITE setVerticalOffset NOTIFY lookChanged)

public:
    struct Shape {
        QRectF rect;
        qreal radius = 0;
        // A resource or file path (":/icons/x.svg"); empty for a rounded rectangle.
        QString symbol;
        qreal rotation = 0;
        // When not empty, the shape itself (in the item's coordinates); `rect` is its bounds.
        QPainterPath outline;
    };
    // A blur reaching `radius` pixels each side; `spread` strengthens its edge (the blurred alpha divided by
    // 1 - 0.98 * spread), as a halo wants.
    struct Blur {
        qreal radius = 0;
        qreal spread = 0;
    };
    struct Look {
        QColor fill = Qt::black;
        QColor edgeTop = Qt::transparent;
        QColor edgeBottom = Qt::transparent;
        bool drawsShapes = false;
        QColor haloColor = Qt::transparent;
        Blur halo;
        QColor color = Qt::transparent;
        Blur blur;
        // In whole item units.
        QPoint offset;
    };
    // A picture in device pixels and where its top left lies, in device pixels of the item.
    struct Drawn {
        QImage image;
        QPoint origin;
    };

    explicit Shadow(QQuickItem* parent = nullptr);

    // The shapes at `scale` device pixels per item unit: the shadow, the halo over it, the filled shapes on top.
    static Drawn draw(const QList<Shape>& shapes, const Look& look, qreal scale);
    // `coverage`'s alpha blurred so, in `color`: premultiplied, ceil(radius) pixels larger on each side.
    static QImage blurred(const QImage& coverage, const Blur& blur, const QColor& color);
    // The shapes of a QML list as `shapes` takes it; entries without a rectangle or an outline, or with an empty
    // symbol, are left out.
    static QList<Shape> shapesFrom(const QVariantList& list);

    QVariantList shapes() const { return m_shapeList; }
    void setShapes(const QVariantList& shapes);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    QColor fill() const { return m_look.fill; }
    void setFill(const QColor& fill);
    QColor edgeTop() const { return m_look.edgeTop; }
    void setEdgeTop(const QColor& color);
    QColor edgeBottom() const { return m_look.edgeBottom; }
    void setEdgeBottom(const QColor& color);
    bool drawsShapes() const { return m_look.drawsShapes; }
    void setDrawsShapes(bool draws);
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
        PictureItem::change(member, value, &Shadow::lookChanged);
    }

    QVariantList m_shapeList;
    QList<Shape> m_shapes;
    qreal m_cornerRadius = 0;
    Look m_look;
    qreal m_horizontalOffset = 0;
    qreal m_verticalOffset = 0;
};

} // namespace tavrine::ui
