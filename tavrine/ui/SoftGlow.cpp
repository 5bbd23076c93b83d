#include "tavrine/ui/SoftGlow.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrine::ui {

namespace {

qreal clampedCornerRadius(const SoftGlow::Glow& glow) {
    const qreal largest = std::min(glow.size.width(), glow.size.height()) / 2 + glow.glowRadius;
    return std::max(0.0, std::min(glow.cornerRadius, largest));
}

double smoothstep(double edge0, double edge1, double x) {
    if (edge1 <= edge0)
        return x < edge0 ? 0.0 : 1.0;
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

} // namespace

SoftGlow::SoftGlow(QQuickItem* parent) : PictureItem(parent, QQuickWindow::TextureCanUseAtlas) {}

QRectF SoftGlow::area(const Glow& glow) {
    const qreal reach = glow.glowRadius + clampedCornerRadius(glow);
    return QRectF(-reach, -reach, glow.size.width() + 2 * reach, glow.size.height() + 2 * reach);
}

QImage SoftGlow::render(const Glow& glow, const QColor& color) {
    const QRectF outer = area(glow);
    const int width = int(std::ceil(outer.width()));
    const int height = int(std::ceil(outer.height()));
    if (width <= 0 || height <= 0)
        return {};
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    // The fall-off runs over the glow radius (narrowed by the spread) and the corner radius on both sides of
    // each edge, as a fraction of the whole area; the same length in pixels along both axes.
    const double inverseSpread = 1.0 - glow.spread;
    const double falloff = inverseSpread * inverseSpread * glow.glowRadius + 2 * clampedCornerRadius(glow);
    const double relativeX = falloff / outer.width();
    const double relativeY = falloff / outer.height();
    const double low = glow.spread / 2;
    const double high = 1.0 - glow.spread / 2;
    const double a = color.alphaF();
    const double premultiplied[4] = {color.redF() * a, color.greenF() * a, color.blueF() * a, a};
    std::vector<double> across(std::size_t(width), 0.0);
    for (int x = 0; x < width; ++x) {
        const double u = (x + 0.5) / outer.width();
        across[std::size_t(x)] = smoothstep(0, relativeX, 0.5 - std::abs(0.5 - u));
    }
    for (int y = 0; y < height; ++y) {
        const double v = (y + 0.5) / outer.height();
        const double down = smoothstep(0, relativeY, 0.5 - std::abs(0.5 - v));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double alpha = across[std::size_t(x)] * down;
            const double m =
                high > low ? std::clamp((alpha - low) / (high - low), 0.0, 1.0) : (alpha >= low ? 1.0 : 0.0);
            const double strength = m * m;
            auto channel = [strength](double value) {
                return int(std::lround(std::clamp(value * strength, 0.0, 1.0) * 255.0));
            };
            line[x] = qRgba(channel(premultiplied[0]), channel(premultiplied[1]), channel(premultiplied[2]),
                            channel(premultiplied[3]));
        }
    }
    return image;
}

void SoftGlow::setGlowRadius(qreal radius) {
    change(m_glowRadius, std::max(0.0, radius), &SoftGlow::glowRadiusChanged);
}
void SoftGlow::setSpread(qreal spread) {
    change(m_spread, std::clamp(spread, 0.0, 1.0), &SoftGlow::spreadChanged);
}
void SoftGlow::setCornerRadius(qreal radius) {
    change(m_cornerRadius, radius, &SoftGlow::cornerRadiusChanged);
}
void SoftGlow::setColor(const QColor& color) {
    change(m_color, color, &SoftGlow::colorChanged);
}

PictureItem::Picture SoftGlow::paint(qreal scale) const {
    Glow glow;
    glow.size = QSizeF(width(), height()) * scale;
    glow.glowRadius = m_glowRadius * scale;
    glow.spread = m_spread;
    glow.cornerRadius = m_cornerRadius * scale;
    const QRectF device = area(glow);
    return {render(glow, m_color), QRectF(device.x() / scale, device.y() / scale, std::ceil(device.width()) / scale,
                                          std::ceil(device.height()) / scale)};
}

} // namespace tavrine::ui
