#pragma once

class QImage;

namespace tavrine::nudge {

// Blurs a premultiplied ARGB image in place: three box passes each way, which come close to a Gaussian of the
// given radius in pixels. A radius under 0.5 leaves the image as it is.
void boxBlur(QImage& image, double radius);

} // namespace tavrine::nudge
