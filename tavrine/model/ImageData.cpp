#include "tavrine/model/ImageData.h"

#include <QBuffer>

namespace tavrine {

namespace {
constexpr int fingerprintSide = 16;
// Qt's PNG quality picks the compression effort: 80 is much faster than the default on large screenshots and
// still lossless.
constexpr int pngQuality = 80;
} // namespace

std::optional<QByteArray> encodeImageData(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    if (!image.save(&buffer, "PNG", pngQuality))
        return std::nullopt;
    return bytes;
}

QString imageFingerprint(const QImage& image) {
    if (image.isNull())
        return {};
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        // Composited onto black: premultiplied colour channels are exactly that, so the alpha is then dropped.
        opaque = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        opaque.reinterpretAsFormat(QImage::Format_RGB32);
    }
    // A smooth (area-averaging) reduction: a nearest-neighbour one samples single pixels and misses a rewritten
    // line of text.
    const QImage grey = opaque.scaled(fingerprintSide, fingerprintSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    if (grey.width() != fingerprintSide || grey.height() != fingerprintSide)
        return {};
    QString digits;
    digits.reserve(fingerprintSide * fingerprintSide * 2);
    static const char hex[] = "0123456789abcdef";
    for (int y = 0; y < fingerprintSide; ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < fingerprintSide; ++x) {
            digits += QLatin1Char(hex[row[x] >> 4]);
            digits += QLatin1Char(hex[row[x] & 0xf]);
        }
    }
    return digits;
}

} // namespace tavrine
