#include "support/ViewPictures.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace tavrine::test {

QImage reducedPicture(const QImage& drawn, QPoint phase) {
    if (drawn.isNull())
        return {};
    const QImage source = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = (source.width() + 1) / 2;
    const int height = (source.height() + 1) / 2;
    QImage reduced(width, height, QImage::Format_ARGB32_Premultiplied);
    bool opaque = true;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(reduced.scanLine(y));
        const int top = 2 * y + phase.y();
        const int rows = std::min(2, source.height() - 2 * y);
        for (int x = 0; x < width; ++x) {
            const int left = 2 * x + phase.x();
            const int columns = std::min(2, source.width() - 2 * x);
            int sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < rows; ++dy) {
                const auto* in =
                    reinterpret_cast<const QRgb*>(source.constScanLine(std::clamp(top + dy, 0, source.height() - 1)));
                for (int dx = 0; dx < columns; ++dx) {
                    const QRgb pixel = in[std::clamp(left + dx, 0, source.width() - 1)];
                    sum[0] += qRed(pixel);
                    sum[1] += qGreen(pixel);
                    sum[2] += qBlue(pixel);
                    sum[3] += qAlpha(pixel);
                }
            }
            const int count = rows * columns;
            auto average = [count](int total) { return (total + count / 2) / count; };
            out[x] = qRgba(average(sum[0]), average(sum[1]), average(sum[2]), average(sum[3]));
            opaque = opaque && average(sum[3]) == 255;
        }
    }
    // An opaque picture keeps no alpha: a smaller file, and the same pixels read back. Each channel keeps 5 bits
    // (off by 4 at most, far inside the tolerance): the file shrinks by two fifths.
    QImage kept = reduced.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(kept.scanLine(y));
        for (int x = 0; x < width; ++x) {
            auto coarse = [](int value) { return std::min(255, (value + 4) / 8 * 8); };
            const QRgb pixel = line[x];
            line[x] = qRgba(coarse(qRed(pixel)), coarse(qGreen(pixel)), coarse(qBlue(pixel)),
                            opaque ? 255 : coarse(qAlpha(pixel)));
        }
    }
    return opaque ? kept.convertToFormat(QImage::Format_RGB32) : kept;
}

int stray(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

namespace {

// A pixel of a difference map: a changed one red, the rest the new picture's grey faded towards white.
QRgb mapPixel(bool changed, QRgb now) {
    const int grey = 255 - (255 - qGray(now)) / 4;
    return changed ? qRgb(230, 0, 0) : qRgb(grey, grey, grey);
}

// The reference, the new picture and the map of changed blocks side by side, each over a checker pattern so
// that see-through parts show as such.
QImage sideBySide(const QImage& reference, const QImage& drawn, const QImage& map) {
    const int gap = 8;
    const QSize cell(std::max(reference.width(), drawn.width()), std::max(reference.height(), drawn.height()));
    QImage sheet(cell.width() * 3 + gap * 2, cell.height(), QImage::Format_RGB32);
    sheet.fill(QColor(128, 128, 128));
    QPainter painter(&sheet);
    const QImage* pictures[] = {&reference, &drawn, &map};
    for (int i = 0; i < 3; ++i) {
        const QRect area(i * (cell.width() + gap), 0, cell.width(), cell.height());
        for (int y = 0; y < cell.height(); y += 8)
            for (int x = 0; x < cell.width(); x += 8)
                painter.fillRect(QRect(area.x() + x, y, 8, 8).intersected(area),
                                 ((x + y) / 8) % 2 ? QColor(200, 200, 200) : QColor(240, 240, 240));
        if (!pictures[i]->isNull())
            painter.drawImage(area.topLeft(), *pictures[i]);
    }
    return sheet;
}

} // namespace

QImage referenceReview(const QImage& before, const QImage& after) {
    const QImage a = before.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = after.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage map(b.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            const QRgb now = b.pixel(x, y);
            const bool same =
                a.valid(x, y) && a.size() == b.size() && stray(a.pixel(x, y), now) <= PictureTolerance{}.channel;
            map.setPixel(x, y, mapPixel(!same, now));
        }
    }
    return sideBySide(a, b, map);
}

PictureComparison compareWithReference(const QImage& reference, const QImage& drawn,
                                       const PictureTolerance& tolerance) {
    PictureComparison result;
    const QImage a = reference.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage straight = reducedPicture(drawn).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    result.sameSize = !a.isNull() && a.size() == straight.size();
    QImage map;
    if (result.sameSize) {
        std::vector<QImage> phases{straight};
        if (tolerance.shifts) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx != 0 || dy != 0)
                        phases.push_back(
                            reducedPicture(drawn, QPoint(dx, dy)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
        map = QImage(a.size(), QImage::Format_ARGB32_Premultiplied);
        int largestAnywhere = 0;
        for (int y = 0; y < a.height(); ++y) {
            const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const auto* right = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(map.scanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                int best = stray(left[x], right[x]);
                largestAnywhere = std::max(largestAnywhere, best);
                for (std::size_t p = 1; p < phases.size() && best > tolerance.channel; ++p)
                    best = std::min(best, stray(left[x], reinterpret_cast<const QRgb*>(phases[p].constScanLine(y))[x]));
                const bool changed = best > tolerance.channel;
                if (changed) {
                    ++result.changedPixels;
                    result.largestChange = std::max(result.largestChange, best);
                }
                out[x] = mapPixel(changed, right[x]);
            }
        }
        if (result.changedPixels == 0)
            result.largestChange = largestAnywhere;
        const double allowed = std::max(double(tolerance.pixels), tolerance.share * a.width() * a.height());
        result.matches = result.changedPixels <= allowed;
    }
    if (!result.matches)
        result.difference = sideBySide(a, straight, map);
    return result;
}

} // namespace tavrine::test
