#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>

namespace tavrine::capture {

// The content area of a window, from the frames of its web documents and scroll panes (in walk order) and of
// its focused element: the candidate holding the focus when it covers 20–92 % of the window, else the largest
// covering over 70 %, else the largest covering 20–90 %, else the window itself.
QRectF estimateContentFrame(const QList<QRectF>& webAreaFrames, const QList<QRectF>& scrollAreaFrames,
                            const std::optional<QRectF>& focusedFrame, const QRectF& window);

// The candidate when it covers at least 30 % of the window and is at least 200 x 150 points; else the window.
QRectF acceptContentFrame(const QRectF& candidate, const QRectF& window);

// The pixel rectangle of the image (which shows `window`) that shows `content`, within the image.
QRect pixelCropRect(const QRectF& content, const QRectF& window, int imageWidth, int imageHeight);

// The size a window of `frame` is captured at: `pixelsPerPoint` per point, at most 1800 pixels wide, at least
// 1 x 1, keeping the window's aspect ratio.
QSize captureImageSize(const QRectF& frame, double pixelsPerPoint);

// The largest image width a capture takes.
inline constexpr int largestImageWidth = 1800;

} // namespace tavrine::capture
