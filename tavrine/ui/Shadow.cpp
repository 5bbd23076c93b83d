#include "tavrine/ui/Shadow.h"
#include "tavrine/ui/CapsuleBorder.h"

#include <QPainter>
#include <QQmlFile>
#include <QSvgRenderer>
#include <QTransform>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrine::ui {

namespace {

QRectF boundsOf(const Shadow::Shape& shape) {
    if (!shape.outline.isEmpty())
        return shape.outline.boundingRect();
    const QPointF middle = shape.rect.center();
    return QTransform::fromTranslate(middle.x(), middle.y())
        .rotate(shape.rotation)
        .translate(-middle.x(), -middle.y())
        .mapRect(shape.rect);
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

QColor black(const QColor& alphaOf) {
    return QColor::fromRgbF(0, 0, 0, alphaOf.alphaF());
}

// What casts the shadow over `box` (device pixels): the shapes in black, as opaque as the fill, a rounded
// rectangle's edge stroked over it.
QImage coverageImage(const QList<Shadow::Shape>& shapes, const Shadow::Look& look, const QRect& box, qreal scale) {
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::NoPen);
    const bool edged = look.edgeTop.alpha() > 0 || look.edgeBottom.alpha() > 0;
    for (const Shadow::Shape& shape : shapes) {
        painter.setTransform(QTransform::fromTranslate(-box.left(), -box.top()));
        if (!shape.outline.isEmpty()) {
            painter.scale(scale, scale);
            painter.fillPath(shape.outline, black(look.fill));
            continue;
        }
        const QRectF device(shape.rect.topLeft() * scale, shape.rect.size() * scale);
        const QPointF middle = device.center();
        painter.translate(middle);
        painter.rotate(shape.rotation);
        painter.translate(-middle);
        if (!shape.symbol.isEmpty()) {
            const QSize size(int(std::lround(device.width())), int(std::lround(device.height())));
            painter.setOpacity(look.fill.alphaF());
            painter.drawImage(QRectF(device.topLeft(), QSizeF(size)), symbolImage(shape.symbol, size));
            painter.setOpacity(1);
            continue;
        }
        const qreal radius = std::clamp(shape.radius * scale, 0.0, std::min(device.width(), device.height()) / 2);
        painter.setBrush(black(look.fill));
        painter.drawRoundedRect(device, radius, radius);
        if (edged) {
            painter.translate(device.topLeft());
            CapsuleBorder::strokeEdge(painter, device.size(), radius, black(look.edgeTop), black(look.edgeBottom));
        }
    }
    return image;
}

// The alpha of `shape`, `pad` pixels of transparency added on each side.
std::vector<float> alphaOf(const QImage& shape, int pad, int width, int height) {
    std::vector<float> alpha(std::size_t(width) * std::size_t(height), 0.0f);
    const QImage source = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x)
            alpha[std::size_t(y + pad) * width + std::size_t(x + pad)] = float(qAlpha(line[x])) / 255.0f;
    }
    return alpha;
}

// The weights for the whole pixels from -ceil(radius) to ceil(radius): one tap per pixel of the radius (spread
// evenly over a radius that is no whole number, each read between two pixels as linear interpolation reads it).
std::vector<float> blurWeights(qreal radius) {
    const int pad = int(std::ceil(std::max<qreal>(0, radius)));
    std::vector<float> weights(std::size_t(2 * pad + 1), 0.0f);
    if (pad == 0) {
        weights[0] = 1;
        return weights;
    }
    const int taps = pad;
    const double step = radius / taps;
    const double deviation = (radius + 1.0) / 3.3333;
    double sum = 0;
    for (int i = -taps; i <= taps; ++i)
        sum += std::exp(-(double(i) * i) / (2 * deviation * deviation));
    for (int i = -taps; i <= taps; ++i) {
        const double weight = std::exp(-(double(i) * i) / (2 * deviation * deviation)) / sum;
        const double at = i * step;
        const int below = int(std::floor(at));
        const double past = at - below;
        weights[std::size_t(below + pad)] += float(weight * (1 - past));
        if (past > 0)
            weights[std::size_t(below + 1 + pad)] += float(weight * past);
    }
    return weights;
}

// One pass of the separable blur along x (step 1) or y (step = width); outside the image is transparent.
std::vector<float> blurPass(const std::vector<float>& in, int width, int height, bool alongX,
                            const std::vector<float>& weights) {
    const int radius = int(weights.size() / 2);
    std::vector<float> out(in.size(), 0.0f);
    const int length = alongX ? width : height;
    const int lines = alongX ? height : width;
    const std::size_t step = alongX ? 1 : std::size_t(width);
    for (int line = 0; line < lines; ++line) {
        const std::size_t start = alongX ? std::size_t(line) * width : std::size_t(line);
        for (int i = 0; i < length; ++i) {
            float sum = 0;
            const int from = std::max(-radius, -i);
            const int to = std::min(radius, length - 1 - i);
            for (int k = from; k <= to; ++k)
                sum += in[start + std::size_t(i + k) * step] * weights[std::size_t(k + radius)];
            out[start + std::size_t(i) * step] = sum;
        }
    }
    return out;
}

Shadow::Blur scaled(Shadow::Blur blur, qreal scale) {
    blur.radius *= scale;
    return blur;
}

} // namespace

// In the shared atlas: shadows and icons next to one another then draw as one batch.
Shadow::Shadow(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

QImage Shadow::blurred(const QImage& shape, const Blur& blur, const QColor& color) {
    const std::vector<float> weights = blurWeights(blur.radius);
    const int pad = int(weights.size() / 2);
    const int width = shape.width() + 2 * pad;
    const int height = shape.height() + 2 * pad;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    // Each pass divides by the thickness and keeps within full coverage, so that a spread edge reaches full
    // strength.
    const double thickness = std::max(0.00001, 1 - std::clamp<qreal>(blur.spread, 0, 1) * 0.98);
    std::vector<float> alpha = blurPass(alphaOf(shape, pad, width, height), width, height, true, weights);
    for (float& value : alpha)
        value = std::clamp(float(value / thickness), 0.0f, 1.0f);
    alpha = blurPass(alpha, width, height, false, weights);
    const float r = color.redF() * color.alphaF();
    const float g = color.greenF() * color.alphaF();
    const float b = color.blueF() * color.alphaF();
    const float a = color.alphaF();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float coverageHere = std::clamp(float(alpha[std::size_t(y) * width + x] / thickness), 0.0f, 1.0f);
            auto channel = [coverageHere](float value) { return int(std::lround(value * coverageHere * 255.0f)); };
            line[x] = qRgba(channel(r), channel(g), channel(b), channel(a));
        }
    }
    return image;
}

Shadow::Drawn Shadow::draw(const QList<Shape>& shapes, const Look& look, qreal scale) {
    QRectF bounds;
    for (const Shape& shape : shapes)
        bounds |= boundsOf(shape);
    if (bounds.isEmpty() || scale <= 0)
        return {};
    const QRect box(QPoint(int(std::floor(bounds.left() * scale)), int(std::floor(bounds.top() * scale))),
                    QPoint(int(std::ceil(bounds.right() * scale)) - 1, int(std::ceil(bounds.bottom() * scale)) - 1));
    const QImage coverage = coverageImage(shapes, look, box, scale);

    // The halo, and over it what it is round: together they cast the shadow; the halo and the shapes when drawn
    // are what shows.
    QImage caster;
    QPoint casterOrigin = box.topLeft();
    if (look.haloColor.alpha() > 0) {
        caster = blurred(coverage, scaled(look.halo, scale), look.haloColor);
        const int pad = (caster.width() - box.width()) / 2;
        casterOrigin -= QPoint(pad, pad);
    } else {
        caster = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
        caster.fill(Qt::transparent);
    }
    QImage shown = caster;
    {
        QPainter painter(&caster);
        painter.drawImage(box.topLeft() - casterOrigin, coverage);
    }
    if (look.drawsShapes && look.fill.alpha() > 0) {
        QImage filled = coverage;
        QPainter tint(&filled);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor opaque = look.fill;
        opaque.setAlphaF(1);
        tint.fillRect(filled.rect(), opaque);
        tint.end();
        QPainter painter(&shown);
        painter.drawImage(box.topLeft() - casterOrigin, filled);
    }

    QRect whole(casterOrigin, caster.size());
    QImage shadow;
    QPoint shadowOrigin;
    if (look.color.alpha() > 0) {
        shadow = blurred(caster, scaled(look.blur, scale), look.color);
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

QList<Shadow::Shape> Shadow::shapesFrom(const QVariantList& list) {
    QList<Shape> shapes;
    for (const QVariant& entry : list) {
        const QVariantMap map = entry.toMap();
        Shape shape;
        const QVariant outline = map.value(QStringLiteral("outline"));
        if (outline.canConvert<QPainterPath>()) {
            shape.outline = outline.value<QPainterPath>();
            if (shape.outline.isEmpty())
                continue;
            shape.rect = shape.outline.boundingRect();
            shapes.append(shape);
            continue;
        }
        const QVariant rect = map.value(QStringLiteral("rect"));
        if (!rect.canConvert<QRectF>())
            continue;
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

void Shadow::setShapes(const QVariantList& shapes) {
    if (shapes == m_shapeList)
        return;
    m_shapes = shapesFrom(shapes);
    change(m_shapeList, shapes);
}
void Shadow::setCornerRadius(qreal radius) {
    change(m_cornerRadius, radius);
}
void Shadow::setFill(const QColor& fill) {
    change(m_look.fill, fill);
}
void Shadow::setEdgeTop(const QColor& color) {
    change(m_look.edgeTop, color);
}
void Shadow::setEdgeBottom(const QColor& color) {
    change(m_look.edgeBottom, color);
}
void Shadow::setDrawsShapes(bool draws) {
    change(m_look.drawsShapes, draws);
}
void Shadow::setHaloColor(const QColor& color) {
    change(m_look.haloColor, color);
}
void Shadow::setHaloRadius(qreal radius) {
    change(m_look.halo.radius, std::max<qreal>(0, radius));
}
void Shadow::setHaloSpread(qreal spread) {
    change(m_look.halo.spread, std::clamp<qreal>(spread, 0, 1));
}
void Shadow::setColor(const QColor& color) {
    change(m_look.color, color);
}
void Shadow::setBlurRadius(qreal radius) {
    change(m_look.blur.radius, std::max<qreal>(0, radius));
}
void Shadow::setHorizontalOffset(qreal offset) {
    change(m_horizontalOffset, offset);
}
void Shadow::setVerticalOffset(qreal offset) {
    change(m_verticalOffset, offset);
}

PictureItem::Picture Shadow::paint(qreal scale) const {
    Look look = m_look;
    // Whole item units, as the shadows have always been placed.
    look.offset = QPoint(int(std::lround(m_horizontalOffset)), int(std::lround(m_verticalOffset)));
    const QList<Shape> own{Shape{QRectF(0, 0, width(), height()), m_cornerRadius, {}, 0, {}}};
    // Shapes given but none drawable (a symbol not known yet) draw nothing, not the item's rectangle.
    Drawn drawn = draw(m_shapeList.isEmpty() ? own : m_shapes, look, scale);
    if (drawn.image.isNull()) {
        // Nothing to draw: a texture of one clear pixel rather than none.
        drawn.image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        drawn.image.fill(Qt::transparent);
    }
    return {drawn.image, QRectF(QPointF(drawn.origin) / scale, QSizeF(drawn.image.size()) / scale)};
}

} // namespace tavrine::ui
