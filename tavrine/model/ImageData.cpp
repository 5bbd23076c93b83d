#include "tavrine/model/ImageData.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

namespace tavrine {

namespace {
constexpr int fingerprintSide = 16;
// Qt's PNG quality picks the compression effort: 80 is much faster than the default on large screenshots and
// still lossless.
constexpr int pngQuality = 80;

const QByteArray pngSignature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");
constexpr quint32 largestChunk = 0x7fffffff;

// Formats whose decoders read only their own bytes; anything else (icons, SVG) may pass an embedded image on to
// another decoder, out of this check's reach.
const QByteArrayList ownDecoders = {"png", "jpeg", "gif", "bmp", "pbm", "pgm", "ppm", "xbm", "xpm", "tiff", "webp"};

bool decodesOnItsOwn(const QByteArray& format) {
    const QByteArray name = format.toLower();
    return ownDecoders.contains(name) || name == "jpg" || name == "tif";
}

bool isChunkType(QByteArrayView type) {
    return std::all_of(type.begin(), type.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// Why a PNG's chunks (length, type, data, CRC) up to IEND are not sound; empty when they are. CRC values are left
// to libpng, which drops a damaged ancillary chunk and refuses a damaged critical one.
QString pngChunkRefusal(const QByteArray& bytes) {
    const QString damaged = QStringLiteral("Damaged PNG: ");
    qsizetype at = pngSignature.size();
    while (true) {
        if (bytes.size() - at < 8)
            return damaged + QStringLiteral("it ends before its IEND chunk");
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        const QByteArrayView type(bytes.constData() + at + 4, 4);
        if (!isChunkType(type))
            return damaged + QStringLiteral("a chunk type is not four letters");
        const QString name = QString::fromLatin1(type);
        if (length > largestChunk)
            return damaged + QStringLiteral("chunk %1 states a length over %2 bytes").arg(name).arg(largestChunk);
        if (qint64(length) + 12 > bytes.size() - at)
            return damaged + QStringLiteral("chunk %1 states %2 bytes, more than the data holds").arg(name).arg(length);
        if (type == "IEND")
            return {};
        at += qsizetype(length) + 12;
    }
}
// The pixel format a reader announces. Some (JPEG, PGM, on a header they could not read) answer a number that is
// no format at all: taken as a number, never stored as one, and then none.
QImage::Format announcedFormat(QImageReader& reader) {
    const int number = int(reader.imageFormat());
    return number > QImage::Format_Invalid && number < QImage::NImageFormats ? QImage::Format(number)
                                                                             : QImage::Format_Invalid;
}

// Qt decodes no image whose pixels would take more than its allocation limit, and then says only that the read
// failed, as it does for damaged data. Whether the limit was the reason is asked of Qt's own allocation, for the
// image's size and the format its reader announced: how Qt counts an image against the limit differs by depth (a
// grey or 1-bit image counts at 32 bits a pixel) and by Qt version, and stays Qt's. Empty when the limit was not
// the reason.
QString sizeRefusal(const QSize& size, QImage::Format format) {
    const int limitMB = QImageReader::allocationLimit();
    // An unknown size (-1 x -1) is empty too.
    if (limitMB <= 0 || size.isEmpty())
        return {};
    QImage probe;
    if (QImageIOHandler::allocateImage(size, format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format, &probe))
        return {};
    return QStringLiteral("Image of %1 x %2 pixels: too large to decode within Qt's image limit of %3 MB")
        .arg(size.width())
        .arg(size.height())
        .arg(limitMB);
}
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

DecodedImage decodeImageData(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader;
    if (bytes.startsWith(pngSignature)) {
        if (QString refusal = pngChunkRefusal(bytes); !refusal.isEmpty())
            return {{}, refusal};
        // Only the PNG reader: text near the start of a PNG must not let another reader (SVG) claim it.
        reader.setFormat("png");
        reader.setAutoDetectImageFormat(false);
        reader.setDevice(&buffer);
    } else {
        reader.setDevice(&buffer);
        const QByteArray format = reader.format();
        if (!format.isEmpty() && !decodesOnItsOwn(format))
            return {{}, QStringLiteral("Unsupported image format ") + QString::fromLatin1(format)};
    }
    const bool claimed = !reader.format().isEmpty();
    // Asked before the read: a reader that failed may know nothing any more.
    const QSize size = reader.size();
    const QImage::Format format = announcedFormat(reader);
    QImage image = reader.read();
    if (!image.isNull())
        return {std::move(image), {}};
    if (QString refusal = sizeRefusal(size, format); !refusal.isEmpty() || claimed)
        return {{}, refusal};
    // Some readers (XBM) recognise their format only by decoding the whole image, which the limit stops: asked by
    // name, each reader still reads its own header for the size.
    for (const QByteArray& name : ownDecoders) {
        QBuffer again;
        again.setData(bytes);
        again.open(QIODevice::ReadOnly);
        QImageReader named(&again, name);
        named.setAutoDetectImageFormat(false);
        if (QString refusal = sizeRefusal(named.size(), announcedFormat(named)); !refusal.isEmpty())
            return {{}, refusal};
    }
    return {};
}

QImage imageRegion(const QImage& image, const QRect& rect) {
    const QRect region = rect.intersected(image.rect());
    if (region.isEmpty())
        return {};
    if (region == image.rect())
        return image;
    if (image.depth() < 8 || image.colorCount() > 0)
        return image.copy(region);
    // A shared copy of the image holds its pixels for the region; the last copy of the region lets it go.
    auto* holder = new QImage(image);
    const uchar* first = holder->constScanLine(region.top()) + qsizetype(region.left()) * (holder->depth() / 8);
    return QImage(
        first, region.width(), region.height(), holder->bytesPerLine(), holder->format(),
        [](void* held) { delete static_cast<QImage*>(held); }, holder);
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
