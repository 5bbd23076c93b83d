#pragma once

#include "tavrine/ui/PictureItem.h"

#include <QColor>
#include <QImage>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// The soft shadow of a rounded rectangle, laid under the item it belongs to (anchored to fill it). The shadow
// is the Gaussian blur of the rectangle's coverage, so a translucent fill or a faint edge casts a faint shadow,
// tinted with `color` and moved by the offsets.
class SoftShadow : public PictureItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY shapeChanged)
    Q_PROPERTY(QColor fill READ fill WRITE setFill NOTIFY shapeChanged)
    Q_PROPERTY(QColor edgeTop READ edgeTop WRITE setEdgeTop NOTIFY shapeChanged)
    Q_PROPERTY(QColor edgeBottom READ edgeBottom WRITE setEdgeBottom NOTIFY shapeChanged)
    Q_PROPERTY(int blurRadius READ blurRadius WRITE setBlurRadius NOTIFY shapeChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY shapeChanged)
    Q_PROPERTY(qreal horizontalOffset READ horizontalOffset WRITE setHorizontalOffset NOTIFY shapeChanged)
    Q_PROPERTY(qreal verticalOffset READ verticalOffset WRITE setVerticalOffset NOTIFY shapeChanged)

public:
    // What casts the shadow, in device pixels: a rounded rectangle filled with `fill`'s alpha and a one-pixel
    // inner edge whose alpha runs from `edgeTop` at the top to `edgeBottom` at the bottom.
    struct Shape {
        QSize size;
        qreal cornerRadius = 0;
        qreal fill = 1;
        qreal edgeTop = 0;
        qreal edgeBottom = 0;
    };

    explicit SoftShadow(QQuickItem* parent = nullptr);

    // The shadow of `shape` blurred with a kernel of `blurRadius` pixels each side (deviation (r + 1) / 3.3333,
    // the weights normalised), in `color`: premultiplied, `blurRadius` pixels larger than the shape on each
    // side, the shape's top left at (blurRadius, blurRadius).
    static QImage render(const Shape& shape, int blurRadius, const QColor& color);
    // The same blur of any shape: `coverage`'s alpha is what casts the shadow.
    static QImage blurred(const QImage& coverage, int blurRadius, const QColor& color);

    // The blur of Qt's drop-shadow effect: `samples / 2` taps each side spread evenly over `radius` pixels (read
    // between pixels by linear interpolation), weighted with a deviation of (radius + 1) / 3.3333 taps; `spread`
    // strengthens the edge (each pass's alpha divided by 1 - 0.98 * spread, and by 0.98 at least).
    struct Blur {
        qreal radius = 0;
        int samples = 1;
        qreal spread = 0;
    };
    // `coverage`'s alpha blurred so, in `color`: premultiplied, ceil(radius) pixels larger on each side.
    static QImage blurred(const QImage& coverage, const Blur& blur, const QColor& color);

    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    QColor fill() const { return m_fill; }
    void setFill(const QColor& fill);
    QColor edgeTop() const { return m_edgeTop; }
    void setEdgeTop(const QColor& color);
    QColor edgeBottom() const { return m_edgeBottom; }
    void setEdgeBottom(const QColor& color);
    int blurRadius() const { return m_blurRadius; }
    void setBlurRadius(int radius);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    qreal horizontalOffset() const { return m_horizontalOffset; }
    void setHorizontalOffset(qreal offset);
    qreal verticalOffset() const { return m_verticalOffset; }
    void setVerticalOffset(qreal offset);

signals:
    void shapeChanged();

protected:
    Picture paint(qreal scale) const override;

private:
    template <typename T> void change(T& member, const T& value) {
        PictureItem::change(member, value, &SoftShadow::shapeChanged);
    }
    // The blurred alpha, each pass's divided by `thickness`, in `color`.
    static QImage tinted(const QImage& coverage, const Blur& blur, double thickness, const QColor& color);

    qreal m_cornerRadius = 0;
    QColor m_fill = Qt::black;
    QColor m_edgeTop = Qt::transparent;
    QColor m_edgeBottom = Qt::transparent;
    int m_blurRadius = 0;
    QColor m_color = Qt::black;
    qreal m_horizontalOffset = 0;
    qreal m_verticalOffset = 0;
};

} // namespace tavrine::ui
