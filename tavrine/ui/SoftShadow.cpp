#include "tavrine/ui/SoftShadow.h"
#include "tavrine/ui/CapsuleBorder.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrine::ui {

namespace {

// The shape painted at its size: the fill, then the edge stroked over it, as the capsule's own items draw them.
QImage shapeImage(const SoftShadow::Shape& shape) {
    QImage image(std::max(0, shape.size.width()), std::max(0, shape.size.height()),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = shape.size.width();
    const qreal h = shape.size.height();
    const qreal radius = std::clamp(shape.cornerRadius, 0.0, std::min(w, h) / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, float(std::clamp(shape.fill, 0.0, 1.0))));
    painter.drawRoundedRect(QRectF(0, 0, w, h), radius, radius);
    if (shape.edgeTop > 0 || shape.edgeBottom > 0)
        CapsuleBorder::strokeEdge(painter, QSizeF(w, h), radius,
                                  QColor::fromRgbF(0, 0, 0, float(std::clamp(shape.edgeTop, 0.0, 1.0))),
                                  QColor::fromRgbF(0, 0, 0, float(std::clamp(shape.edgeBottom, 0.0, 1.0))));
    return image;
}

// The alpha of `shape`, `pad` pixels of transparency added on each side.
std::vector<float> coverage(const QImage& shape, int pad, int width, int height) {
    std::vector<float> alpha(std::size_t(width) * std::size_t(height), 0.0f);
    const QImage source = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < source.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x)
            alpha[std::size_t(y + pad) * width + std::size_t(x + pad)] = float(qAlpha(line[x])) / 255.0f;
    }
    return alpha;
}

// The weights of `blur` for the whole pixels from -ceil(radius) to ceil(radius): a tap between two pixels is
// shared between them as linear interpolation reads it.
std::vector<float> blurWeights(const SoftShadow::Blur& blur) {
    const int pad = int(std::ceil(std::max<qreal>(0, blur.radius)));
    std::vector<float> weights(std::size_t(2 * pad + 1), 0.0f);
    const int taps = std::max(0, blur.samples / 2);
    if (taps == 0 || pad == 0) {
        weights[std::size_t(pad)] = 1;
        return weights;
    }
    const double step = blur.radius / taps;
    const double deviation = std::max(0.00001, (blur.radius + 1.0) / 3.3333);
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

} // namespace

// In the shared atlas: shadows and icons next to one another then draw as one batch.
SoftShadow::SoftShadow(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

QImage SoftShadow::render(const Shape& shape, int blurRadius, const QColor& color) {
    return blurred(shapeImage(shape), blurRadius, color);
}

QImage SoftShadow::blurred(const QImage& shape, int blurRadius, const QColor& color) {
    const int radius = std::max(0, blurRadius);
    return tinted(shape, Blur{qreal(radius), 2 * radius + 1, 0}, 1, color);
}

QImage SoftShadow::blurred(const QImage& coverage, const Blur& blur, const QColor& color) {
    // As the effect's shader divides, so that a blurred edge reaches full strength.
    const double thickness = std::clamp(1 - blur.spread * 0.98, 0.00001, 0.98);
    return tinted(coverage, blur, thickness, color);
}

QImage SoftShadow::tinted(const QImage& shape, const Blur& blur, double thickness, const QColor& color) {
    const std::vector<float> weights = blurWeights(blur);
    const int pad = int(weights.size() / 2);
    const int width = shape.width() + 2 * pad;
    const int height = shape.height() + 2 * pad;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    // Each pass divides by the thickness and keeps within full coverage, as the effect's two passes do.
    std::vector<float> alpha = blurPass(coverage(shape, pad, width, height), width, height, true, weights);
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

void SoftShadow::setCornerRadius(qreal radius) {
    change(m_cornerRadius, radius);
}
void SoftShadow::setFill(const QColor& fill) {
    change(m_fill, fill);
}
void SoftShadow::setEdgeTop(const QColor& color) {
    change(m_edgeTop, color);
}
void SoftShadow::setEdgeBottom(const QColor& color) {
    change(m_edgeBottom, color);
}
void SoftShadow::setBlurRadius(int radius) {
    change(m_blurRadius, std::max(0, radius));
}
void SoftShadow::setColor(const QColor& color) {
    change(m_color, color);
}
void SoftShadow::setHorizontalOffset(qreal offset) {
    change(m_horizontalOffset, offset);
}
void SoftShadow::setVerticalOffset(qreal offset) {
    change(m_verticalOffset, offset);
}

PictureItem::Picture SoftShadow::paint(qreal scale) const {
    // The blur and the offsets in device pixels, the offsets whole, as the shadow has always been placed.
    const int blur = int(std::lround(m_blurRadius * scale));
    Shape shape;
    shape.size = QSize(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)));
    shape.cornerRadius = m_cornerRadius * scale;
    shape.fill = m_fill.alphaF();
    shape.edgeTop = m_edgeTop.alphaF();
    shape.edgeBottom = m_edgeBottom.alphaF();
    return {render(shape, blur, m_color),
            QRectF(std::round(m_horizontalOffset) - blur / scale, std::round(m_verticalOffset) - blur / scale,
                   std::ceil(width() * scale) / scale + 2 * blur / scale,
                   std::ceil(height() * scale) / scale + 2 * blur / scale)};
}

} // namespace tavrine::ui
