#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// The dashed separator under the recap card's header: 4 on, 4 off, scaled with the card's unit.
class RecapDashedLine : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    Q_PROPERTY(double dash READ dash WRITE setDash NOTIFY changed)

public:
    explicit RecapDashedLine(QQuickItem* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    double dash() const { return m_dash; }
    void setDash(double dash);
    void paint(QPainter* painter) override;

signals:
    void changed();

private:
    QColor m_color;
    double m_lineWidth = 1.5;
    double m_dash = 4;
};

} // namespace tavrine
