#pragma once

#include <QImage>
#include <QList>
#include <QRectF>

namespace tavrine::capture {

// Paints the bars (screen rectangles: menu bars, tool bars, status bars, header bars) over in `image`, which shows
// `window` at its own pixels, so that recognition reads the work and not the chrome around it.
void blankBars(QImage& image, const QList<QRectF>& bars, const QRectF& window);

// The top part of a whole-window image that the window's own title bar or header bar takes, as a fraction of its
// height: down to the bottom of the lowest bar that starts in the window's top tenth (at most a quarter of the
// window), else the top tenth.
double titleBand(const QList<QRectF>& bars, const QRectF& window);

} // namespace tavrine::capture
