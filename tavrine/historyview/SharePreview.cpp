#include "tavrine/historyview/SharePreview.h"

#include <QPainter>

namespace tavrine {

void SharePreview::setImage(const QImage& image) {
    if (image == m_image)
        return;
    m_image = image;
    update();
    emit imageChanged();
}

void SharePreview::paint(QPainter* painter) {
    if (m_image.isNull())
        return;
    const QSizeF fitted = QSizeF(m_image.size()).scaled(size(), Qt::KeepAspectRatio);
    const QRectF target((width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(), fitted.height());
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, m_image);
}

} // namespace tavrine
