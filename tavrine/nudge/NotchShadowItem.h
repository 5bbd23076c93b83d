#pragma once

#include "tavrine/ui/PictureItem.h"

#include <QColor>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The soft shadow of the notch silhouette (of the item's size, with the silhouette's radii), blurred as a drop
// shadow is and moved down by `verticalOffset`. Its shape changes only while the silhouette opens or closes.
class NotchShadowItem : public ui::PictureItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double earRadius READ earRadius WRITE setEarRadius NOTIFY shapeChanged)
    Q_PROPERTY(double bottomRadius READ bottomRadius WRITE setBottomRadius NOTIFY shapeChanged)
    Q_PROPERTY(int blurRadius READ blurRadius WRITE setBlurRadius NOTIFY shapeChanged)
    Q_PROPERTY(double verticalOffset READ verticalOffset WRITE setVerticalOffset NOTIFY shapeChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY shapeChanged)
public:
    explicit NotchShadowItem(QQuickItem* parent = nullptr);

    double earRadius() const { return m_ear; }
    void setEarRadius(double radius);
    double bottomRadius() const { return m_bottom; }
    void setBottomRadius(double radius);
    int blurRadius() const { return m_blur; }
    void setBlurRadius(int radius);
    double verticalOffset() const { return m_offset; }
    void setVerticalOffset(double offset);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

signals:
    void shapeChanged();

protected:
    Picture paint(qreal scale) const override;

private:
    template <typename T> void change(T& member, const T& value) {
        PictureItem::change(member, value, &NotchShadowItem::shapeChanged);
    }

    double m_ear = 6;
    double m_bottom = 10;
    int m_blur = 0;
    double m_offset = 0;
    QColor m_color = Qt::black;
};

} // namespace tavrine::nudge
