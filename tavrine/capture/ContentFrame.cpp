#include "tavrine/capture/ContentFrame.h"

#include "tavrine/core/Numbers.h"

#include <algorithm>
#include <cmath>

namespace tavrine::capture {

namespace {

constexpr double focusShareMin = 0.2;
constexpr double focusShareMax = 0.92;
constexpr double largeShare = 0.7;
constexpr double middleShareMin = 0.2;
constexpr double middleShareMax = 0.9;
constexpr double acceptedShare = 0.3;
constexpr double acceptedWidth = 200;
constexpr double acceptedHeight = 150;

// The intersection of two rectangles; none when they do not overlap (or meet only along an edge).
std::optional<QRectF> intersection(const QRectF& a, const QRectF& b) {
    const double left = std::max(a.left(), b.left());
    const double top = std::max(a.top(), b.top());
    const double right = std::min(a.right(), b.right());
    const double bottom = std::min(a.bottom(), b.bottom());
    if (!(right > left) || !(bottom > top))
        return std::nullopt;
    return QRectF(left, top, right - left, bottom - top);
}

double areaOf(const std::optional<QRectF>& rect) {
    return rect ? rect->width() * rect->height() : 0.0;
}

// The first candidate of the largest area.
std::optional<QRectF> largest(const QList<QRectF>& candidates) {
    std::optional<QRectF> best;
    for (const QRectF& candidate : candidates) {
        if (!best || areaOf(candidate) > areaOf(best))
            best = candidate;
    }
    return best;
}

} // namespace

QRectF estimateContentFrame(const QList<QRectF>& webAreaFrames, const QList<QRectF>& scrollAreaFrames,
                            const std::optional<QRectF>& focusedFrame, const QRectF& window) {
    const double windowArea = std::max(window.width() * window.height(), 1.0);
    QList<QRectF> candidates;
    for (const QList<QRectF>* frames : {&webAreaFrames, &scrollAreaFrames}) {
        for (const QRectF& frame : *frames) {
            if (const auto inside = intersection(frame, window))
                candidates.append(*inside);
        }
    }
    const auto share = [&](const QRectF& rect) { return areaOf(intersection(rect, window)) / windowArea; };

    if (focusedFrame && !candidates.isEmpty()) {
        if (const auto focus = intersection(*focusedFrame, window)) {
            const auto score = [&](const QRectF& rect) { return intersection(rect, *focus) ? areaOf(rect) : 0.0; };
            QRectF best = candidates.first();
            for (qsizetype i = 1; i < candidates.size(); ++i) {
                if (score(best) < score(candidates.at(i)))
                    best = candidates.at(i);
            }
            const double bestShare = share(best);
            if (intersection(best, *focus) && bestShare >= focusShareMin && bestShare <= focusShareMax)
                return best;
        }
    }

    QList<QRectF> large;
    QList<QRectF> middle;
    for (const QRectF& candidate : candidates) {
        const double candidateShare = share(candidate);
        if (candidateShare > largeShare)
            large.append(candidate);
        if (candidateShare >= middleShareMin && candidateShare <= middleShareMax)
            middle.append(candidate);
    }
    if (const auto best = largest(large))
        return *best;
    if (const auto best = largest(middle))
        return *best;
    return window;
}

QRectF acceptContentFrame(const QRectF& candidate, const QRectF& window) {
    const double windowArea = window.width() * window.height();
    if (!(windowArea > 0))
        return window;
    const double candidateShare = candidate.width() * candidate.height() / windowArea;
    if (candidateShare >= acceptedShare && candidate.width() >= acceptedWidth && candidate.height() >= acceptedHeight)
        return candidate;
    return window;
}

QRect pixelCropRect(const QRectF& content, const QRectF& window, int imageWidth, int imageHeight) {
    const QRectF ref = window.width() > 0 && window.height() > 0
                           ? window
                           : QRectF(0, 0, std::max(imageWidth, 1), std::max(imageHeight, 1));
    const QRectF clip = intersection(content, ref).value_or(ref);
    const double sx = imageWidth / std::max(ref.width(), 1.0);
    const double sy = imageHeight / std::max(ref.height(), 1.0);
    // Points and pixel rows both grow downwards from the window's top edge.
    const double x = (clip.left() - ref.left()) * sx;
    const double y = (clip.top() - ref.top()) * sy;
    const double width = clip.width() * sx;
    const double height = clip.height() * sy;
    // The smallest whole-pixel rectangle holding the exact one, within the image.
    const double left = std::floor(x);
    const double top = std::floor(y);
    const double right = std::ceil(x + width);
    const double bottom = std::ceil(y + height);
    const double clippedLeft = std::clamp(left, 0.0, double(imageWidth));
    const double clippedTop = std::clamp(top, 0.0, double(imageHeight));
    const double clippedRight = std::clamp(right, 0.0, double(imageWidth));
    const double clippedBottom = std::clamp(bottom, 0.0, double(imageHeight));
    return QRect(int(wholeNumber(clippedLeft)), int(wholeNumber(clippedTop)),
                 int(wholeNumber(clippedRight - clippedLeft)), int(wholeNumber(clippedBottom - clippedTop)));
}

QSize captureImageSize(const QRectF& frame, double pixelsPerPoint) {
    const double scaled = std::floor(pixelsPerPoint * frame.width());
    const int width = int(std::min<double>(largestImageWidth, std::max(1.0, std::isfinite(scaled) ? scaled : 1.0)));
    const double rawHeight = std::floor(width * frame.height() / std::max(frame.width(), 1.0));
    const int height = int(wholeNumber(std::max(1.0, std::isfinite(rawHeight) ? rawHeight : 1.0)));
    return QSize(width, height);
}

} // namespace tavrine::capture
