#pragma once

#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

// Draws a bitmap fitted into the item, aspect kept: the share popup's preview of the image it offers.
class SharePreview : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)

public:
    explicit SharePreview(QQuickItem* parent = nullptr) : QQuickPaintedItem(parent) {}

    QImage image() const { return m_image; }
    void setImage(const QImage& image);
    void paint(QPainter* painter) override;

signals:
    void imageChanged();

private:
    QImage m_image;
};

} // namespace tavrine
