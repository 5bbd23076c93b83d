#pragma once

#include <QColor>
#include <QPainterPath>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The notch panel's black silhouette over the item's whole area; both radii animate.
class NotchShapeItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double earRadius READ earRadius WRITE setEarRadius NOTIFY shapeChanged)
    Q_PROPERTY(double bottomRadius READ bottomRadius WRITE setBottomRadius NOTIFY shapeChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY shapeChanged)
    // The silhouette in the item's coordinates, for the shadow under it.
    Q_PROPERTY(QPainterPath outline READ outline NOTIFY outlineChanged)
public:
    explicit NotchShapeItem(QQuickItem* parent = nullptr);
    double earRadius() const { return m_ear; }
    void setEarRadius(double radius);
    double bottomRadius() const { return m_bottom; }
    void setBottomRadius(double radius);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QPainterPath outline() const;
    void paint(QPainter* painter) override;

signals:
    void shapeChanged();
    void outlineChanged();

protected:
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    double m_ear = 6;
    double m_bottom = 10;
    QColor m_color = Qt::black;
};

} // namespace tavrine::nudge
