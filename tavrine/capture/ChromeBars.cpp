#include "tavrine/capture/ChromeBars.h"

#include "tavrine/capture/CaptureRoutine.h"
#include "tavrine/model/ImageBlanking.h"

#include <QRegion>

#include <algorithm>
#include <cmath>

namespace tavrine::capture {

namespace {
constexpr double largestBand = 0.25;
} // namespace

void blankBars(QImage& image, const QList<QRectF>& bars, const QRectF& window) {
    if (bars.isEmpty() || !(window.width() > 0) || !(window.height() > 0))
        return;
    const double sx = image.width() / window.width();
    const double sy = image.height() / window.height();
    QRegion area;
    for (const QRectF& bar : bars) {
        const QRectF inside = bar.intersected(window);
        if (inside.isEmpty())
            continue;
        // Whole pixels that hold any of the bar.
        const int left = int(std::floor((inside.left() - window.left()) * sx));
        const int top = int(std::floor((inside.top() - window.top()) * sy));
        const int right = int(std::ceil((inside.right() - window.left()) * sx));
        const int bottom = int(std::ceil((inside.bottom() - window.top()) * sy));
        area += QRect(left, top, right - left, bottom - top);
    }
    blankImageArea(image, area);
}

double titleBand(const QList<QRectF>& bars, const QRectF& window) {
    if (!(window.height() > 0))
        return titleBarBand;
    double bottom = 0.0;
    for (const QRectF& bar : bars) {
        const double top = (bar.top() - window.top()) / window.height();
        if (top >= -titleBarBand && top <= titleBarBand)
            bottom = std::max(bottom, (bar.bottom() - window.top()) / window.height());
    }
    return bottom > 0.0 ? std::min(bottom, largestBand) : titleBarBand;
}

} // namespace tavrine::capture
