#include "tavrine/model/ImageBlanking.h"

#include <QHash>
#include <QPainter>

#include <algorithm>

namespace tavrine {

namespace {

// Pixels looked at per row and column to find the background: enough to find it, cheap on a whole window.
constexpr int samplesPerSide = 96;

QColor commonColour(const QImage& image, const QRegion& blanked) {
    const int stepX = std::max(1, image.width() / samplesPerSide);
    const int stepY = std::max(1, image.height() / samplesPerSide);
    QHash<QRgb, int> counts;
    QRgb best = qRgb(255, 255, 255);
    int bestCount = 0;
    for (int y = stepY / 2; y < image.height(); y += stepY) {
        for (int x = stepX / 2; x < image.width(); x += stepX) {
            if (blanked.contains(QPoint(x, y)))
                continue;
            const QRgb pixel = image.pixel(x, y);
            const int count = ++counts[pixel];
            if (count > bestCount) {
                best = pixel;
                bestCount = count;
            }
        }
    }
    return QColor::fromRgba(best);
}

} // namespace

void blankImageArea(QImage& image, const QRegion& area) {
    const QRegion inside = area.intersected(image.rect());
    if (inside.isEmpty())
        return;
    if (image.depth() < 8 || image.format() == QImage::Format_Indexed8)
        image = image.convertToFormat(QImage::Format_RGB32);
    const QColor colour = commonColour(image, inside);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& rect : inside)
        painter.fillRect(rect, colour);
}

double coveredShare(const QRegion& area, const QRect& whole) {
    const double wholeArea = double(whole.width()) * double(whole.height());
    if (!(wholeArea > 0))
        return 0.0;
    double covered = 0.0;
    for (const QRect& rect : area.intersected(whole))
        covered += double(rect.width()) * double(rect.height());
    return std::min(1.0, covered / wholeArea);
}

} // namespace tavrine
