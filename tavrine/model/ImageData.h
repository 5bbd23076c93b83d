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

// The pixels of `rect` (clipped to the image) as an image of their own, read in place: no pixel is copied, and
// the region keeps the image's pixels alive for as long as it or a copy of it lives (so the image must own them,
// not wrap a buffer that someone else reuses). Writing to it (or to the
// image) copies first, as with any shared QImage. Formats of fewer than 8 bits a pixel and indexed ones are
// copied. Only the pixels and their format come along, not the image's scale or colour space.
QImage imageRegion(const QImage& image, const QRect& rect);

// Image bytes from outside Tavrine, decoded or refused. A refusal is a readable reason; a null image with no
// refusal means the bytes hold no image Qt can read.
struct DecodedImage {
    QImage image;
    QString refusal;
};

// The only way bytes from outside reach an image decoder. A PNG is decoded only when its chunks are sound up to
// IEND: libpng believes a chunk's stated length and allocates it before reading, so a few damaged bytes could
// ask for 2 GB. Formats that hand embedded images to other decoders (icons, SVG) are refused, since they would
// carry such a PNG past this check. The image's own size is bounded by QImageReader's process-wide allocation
// limit (Qt's 128 MB unless set); an image that no reader decodes for that limit, whatever its format and depth,
// is refused with its size and the limit.
DecodedImage decodeImageData(const QByteArray& bytes);

} // namespace tavrine
