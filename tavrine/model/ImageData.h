#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace tavrine {

// The image as a PNG file at its own size; absent for a null image or when encoding fails.
std::optional<QByteArray> encodeImageData(const QImage& image);

// 512 lower-case hexadecimal digits: the 16 x 16 grey thumbnail of the image composited onto black, row by row.
// Equal for images that look alike at that size, so it says two images look alike and never that their text is
// the same. Empty for a null image.
QString imageFingerprint(const QImage& image);

} // namespace tavrine
