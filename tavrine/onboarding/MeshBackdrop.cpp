#include "tavrine/onboarding/MeshBackdrop.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace tavrine::onboarding {

namespace {

double smoothstep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

// The cell a unit coordinate falls in (0 or 1) and the smoothstepped place within it.
std::pair<int, double> cellOf(double x) {
    x = std::isfinite(x) ? std::clamp(x, 0.0, 1.0) : 0.0;
    const int cell = x < 0.5 ? 0 : 1;
    return {cell, smoothstep((x - 0.5 * cell) * 2.0)};
}

double mix(double a, double b, double t) {
    return a + (b - a) * t;
}

} // namespace

QColor meshColor(const BackdropPalette& palette, double u, double v) {
    // The places are named apart rather than bound as pairs: clang 14 refuses a lambda's use of a structured binding.
    const auto [column, across] = cellOf(u);
    const auto [row, down] = cellOf(v);
    const double s = across;
    const double t = down;
    const QColor& a = palette[size_t(row * 3 + column)];
    const QColor& b = palette[size_t(row * 3 + column + 1)];
    const QColor& c = palette[size_t((row + 1) * 3 + column)];
    const QColor& d = palette[size_t((row + 1) * 3 + column + 1)];
    const auto channel = [&](auto get) { return float(mix(mix(get(a), get(b), s), mix(get(c), get(d), s), t)); };
    return QColor::fromRgbF(channel([](const QColor& x) { return x.redF(); }),
                            channel([](const QColor& x) { return x.greenF(); }),
                            channel([](const QColor& x) { return x.blueF(); }));
}

BackdropPalette blendPalettes(const BackdropPalette& from, const BackdropPalette& to, double t) {
    t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 1.0;
    BackdropPalette blended;
    for (size_t i = 0; i < blended.size(); ++i) {
        blended[i] = QColor::fromRgbF(float(mix(from[i].redF(), to[i].redF(), t)),
                                      float(mix(from[i].greenF(), to[i].greenF(), t)),
                                      float(mix(from[i].blueF(), to[i].blueF(), t)));
    }
    return blended;
}

QImage meshImage(const BackdropPalette& palette, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width();
    const int h = size.height();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = h > 1 ? double(y) / (h - 1) : 0.0;
        for (int x = 0; x < w; ++x)
            line[x] = meshColor(palette, w > 1 ? double(x) / (w - 1) : 0.0, v).rgb();
    }
    return image;
}

MeshBackdrop::MeshBackdrop(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setOpaquePainting(true);
    setAntialiasing(false);
    // The gradient has no detail to lose: the mesh is painted into a small texture, and the scene graph
    // stretches it over the window with linear filtering, so a frame of the page animation costs the small
    // image alone.
    setSmooth(true);
    setTextureSize(meshSize);
}

void MeshBackdrop::setFromPage(int page) {
    if (page == m_from)
        return;
    m_from = page;
    emit pagesChanged();
    update();
}

void MeshBackdrop::setToPage(int page) {
    if (page == m_to)
        return;
    m_to = page;
    emit pagesChanged();
    update();
}

void MeshBackdrop::setProgress(double progress) {
    if (progress == m_progress)
        return;
    m_progress = progress;
    emit progressChanged();
    update();
}

BackdropPalette MeshBackdrop::palette(int page) const {
    return pageTable(pageFromRaw(page).value_or(OnboardingPage::Welcome)).palette;
}

QSGNode* MeshBackdrop::updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) {
    // The software renderer stretches a painted item's texture without filtering, which shows the mesh's cells
    // as blocks: there the texture takes the item's size and the painter stretches the mesh smoothly.
    const bool software = window() && window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
    const QSize texture = software ? QSize(qCeil(width()), qCeil(height())).expandedTo(QSize(1, 1)) : meshSize;
    if (textureSize() != texture)
        setTextureSize(texture);
    return QQuickPaintedItem::updatePaintNode(old, data);
}

void MeshBackdrop::paint(QPainter* painter) {
    const QImage image = meshImage(blendPalettes(palette(m_from), palette(m_to), m_progress), meshSize);
    // The painter maps the item onto the texture: on the small one the image lands pixel for pixel.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter->drawImage(QRectF(0, 0, width(), height()), image);
}

} // namespace tavrine::onboarding
