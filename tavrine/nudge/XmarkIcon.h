#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The close button's cross (resources/icons/xmark.svg) in one colour, drawn from the vector at the item's
// size.
class XmarkIcon : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit XmarkIcon(QQuickItem* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    void paint(QPainter* painter) override;

signals:
    void colorChanged();

private:
    QColor m_color = Qt::black;
};

} // namespace tavrine::nudge
