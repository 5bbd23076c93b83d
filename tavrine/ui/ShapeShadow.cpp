#include "tavrine/ui/ShapeShadow.h"

#include <QPainter>
#include <QQmlFile>
#include <QSvgRenderer>
#include <QTransform>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace tavrine::ui {

namespace {

QTransform turned(const ShapeShadow::Shape& shape) {
    const QPointF middle = shape.rect.center();
    return QTransform::fromTranslate(middle.x(), middle.y()).rotate(shape.rotation).translate(-middle.x(), -middle.y());
}

// A symbol as an icon shows it: drawn at twice its size, then halved with smoothing.
QImage symbolImage(const QString& path, QSize size) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QImage large(size * 2, QImage::Format_ARGB32_Premultiplied);
    large.fill(Qt::transparent);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSizeF fitted = QSizeF(renderer.defaultSize()).scaled(QSizeF(large.size()), Qt::KeepAspectRatio);
        renderer.render(
            &painter,
            QRectF(QPointF((large.width() - fitted.width()) / 2, (large.height() - fitted.height()) / 2), fitted));
    }
    return large.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The shapes in black over `box` (device pixels).
QImage shapesImage(const QList<ShapeShadow::Shape>& shapes, const QRect& box, qreal scale) {
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const ShapeShadow::Shape& shape : shapes) {
        const QRectF device(shape.rect.topLeft() * scale, shape.rect.size() * scale);
        painter.setTransform(QTransform::fromTranslate(-box.left(), -box.top()));
        const QPointF middle = device.center();
        painter.translate(middle);
        painter.rotate(shape.rotation);
        painter.translate(-middle);
        if (shape.symbol.isEmpty()) {
            const qreal radius = std::clamp(shape.radius * scale, 0.0, std::min(device.width(), device.height()) / 2);
            painter.drawRoundedRect(device, radius, radius);
        } else {
            const QSize size(int(std::lround(device.width())), int(std::lround(device.height())));
            painter.drawImage(QRectF(device.topLeft(), QSizeF(size)), symbolImage(shape.symbol, size));
        }
    }
    return image;
}

SoftShadow::Blur scaled(SoftShadow::Blur blur, qreal scale) {
    blur.radius *= scale;
    blur.samples = int(blur.samples * scale);
    return blur;
}

int bestSamples(qreal radius) {
    return 2 * int(std::ceil(std::max<qreal>(0, radius))) + 1;
}

} // namespace

// In the shared atlas, as the other shadows: small pictures next to one another draw as one batch.
ShapeShadow::ShapeShadow(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

ShapeShadow::Drawn ShapeShadow::draw(const QList<Shape>& shapes, const Look& look, qreal scale) {
    QRectF bounds;
    for (const Shape& shape : shapes)
        bounds |= turned(shape).mapRect(shape.rect);
    if (bounds.isEmpty() || scale <= 0)
        return {};
    const QRect box(QPoint(int(std::floor(bounds.left() * scale)), int(std::floor(bounds.top() * scale))),
                    QPoint(int(std::ceil(bounds.right() * scale)) - 1, int(std::ceil(bounds.bottom() * scale)) - 1));
    const QImage black = shapesImage(shapes, box, scale);

    // The halo, and over it what it is round: what the shadow is cast by, and what shows.
    QImage caster;
    QPoint casterOrigin = box.topLeft();
    if (look.haloColor.alpha() > 0) {
        caster = SoftShadow::blurred(black, scaled(look.halo, scale), look.haloColor);
        const int pad = (caster.width() - box.width()) / 2;
        casterOrigin -= QPoint(pad, pad);
    } else {
        caster = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        caster.fill(Qt::transparent);
    }
    QImage shown = caster;
    {
        QPainter painter(&caster);
        painter.drawImage(box.topLeft() - casterOrigin, black);
    }
    if (look.fill.alpha() > 0) {
        QImage filled = black;
        QPainter tint(&filled);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(filled.rect(), look.fill);
        tint.end();
        QPainter painter(&shown);
        painter.drawImage(box.topLeft() - casterOrigin, filled);
    }

    QRect whole(casterOrigin, caster.size());
    QImage shadow;
    QPoint shadowOrigin;
    if (look.color.alpha() > 0) {
        shadow = SoftShadow::blurred(caster, scaled(look.blur, scale), look.color);
        const int pad = (shadow.width() - caster.width()) / 2;
        shadowOrigin = casterOrigin - QPoint(pad, pad) +
                       QPoint(int(std::lround(look.offset.x() * scale)), int(std::lround(look.offset.y() * scale)));
        whole |= QRect(shadowOrigin, shadow.size());
    }
    QImage image(whole.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (!shadow.isNull())
        painter.drawImage(shadowOrigin - whole.topLeft(), shadow);
    painter.drawImage(casterOrigin - whole.topLeft(), shown);
    return {image, whole.topLeft()};
}

QList<ShapeShadow::Shape> ShapeShadow::shapesFrom(const QVariantList& list) {
    QList<Shape> shapes;
    for (const QVariant& entry : list) {
        const QVariantMap map = entry.toMap();
        const QVariant rect = map.value(QStringLiteral("rect"));
        if (!rect.canConvert<QRectF>())
            continue;
        Shape shape;
        shape.rect = rect.toRectF();
        shape.radius = map.value(QStringLiteral("radius")).toReal();
        shape.rotation = map.value(QStringLiteral("rotation")).toReal();
        if (map.contains(QStringLiteral("symbol"))) {
            // A "qrc:" or "file:" URL as QML writes it, or a path as it is; without one the shape is not drawn
            // at all, rather than as the rectangle it would fill.
            const QVariant symbol = map.value(QStringLiteral("symbol"));
            const QString local = QQmlFile::urlToLocalFileOrQrc(symbol.toUrl());
            shape.symbol = local.isEmpty() ? symbol.toString() : local;
            if (shape.symbol.isEmpty())
                continue;
        }
        shapes.append(shape);
    }
    return shapes;
}

void ShapeShadow::setShapes(const QVariantList& shapes) {
    if (shapes == m_shapeList)
        return;
    m_shapes = shapesFrom(shapes);
    change(m_shapeList, shapes);
}
void ShapeShadow::setFill(const QColor& fill) {
    change(m_look.fill, fill);
}
void ShapeShadow::setHaloColor(const QColor& color) {
    change(m_look.haloColor, color);
}
void ShapeShadow::setHaloRadius(qreal radius) {
    change(m_look.halo.radius, std::max<qreal>(0, radius));
}
void ShapeShadow::setHaloSpread(qreal spread) {
    change(m_look.halo.spread, std::clamp<qreal>(spread, 0, 1));
}
void ShapeShadow::setColor(const QColor& color) {
    change(m_look.color, color);
}
void ShapeShadow::setBlurRadius(qreal radius) {
    change(m_look.blur.radius, std::max<qreal>(0, radius));
}
void ShapeShadow::setSamples(int samples) {
    change(m_samples, std::max(0, samples));
}
void ShapeShadow::setHorizontalOffset(qreal offset) {
    change(m_horizontalOffset, offset);
}
void ShapeShadow::setVerticalOffset(qreal offset) {
    change(m_verticalOffset, offset);
}

PictureItem::Picture ShapeShadow::paint(qreal scale) const {
    Look look = m_look;
    look.blur.samples = m_samples > 0 ? m_samples : bestSamples(look.blur.radius);
    look.halo.samples = bestSamples(look.halo.radius);
    // Whole item units, as the effect moves its shadow.
    look.offset = QPoint(int(std::lround(m_horizontalOffset)), int(std::lround(m_verticalOffset)));
    Drawn drawn = draw(m_shapes, look, scale);
    if (drawn.image.isNull()) {
        // Nothing to draw: a texture of one clear pixel rather than none.
        drawn.image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        drawn.image.fill(Qt::transparent);
    }
    return {drawn.image, QRectF(QPointF(drawn.origin) / scale, QSizeF(drawn.image.size()) / scale)};
}

} // namespace tavrine::ui
