#pragma once

#include <QImage>
#include <QRegion>

namespace tavrine {

// Paints `area` (clipped to the image) over in the colour most of the rest of the image shows, so that text
// recognition finds neither words nor edges there; white when nothing else shows. Indexed formats and formats
// of fewer than 8 bits a pixel are converted to RGB32 first.
void blankImageArea(QImage& image, const QRegion& area);

// The part of `whole` that `area` covers, from 0 to 1; 0 for an empty `whole`.
double coveredShare(const QRegion& area, const QRect& whole);

} // namespace tavrine
