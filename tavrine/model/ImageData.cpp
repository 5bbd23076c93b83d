#include "tavrine/model/ImageData.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cctype>
#include <limits>

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
// image's size and the format its reader announced (none: 32 bits a pixel, as Qt counts an image before reading
// it): how Qt counts an image against the limit differs by depth (a grey or 1-bit image counts at 32 bits a pixel)
// and by Qt version, and stays Qt's. Empty when the limit was not the reason; an unknown size is no reason.
QString sizeRefusal(qint64 width, qint64 height, QImage::Format format) {
    const int limitMB = QImageReader::allocationLimit();
    if (limitMB <= 0 || width <= 0 || height <= 0)
        return {};
    QImage probe;
    if (width <= std::numeric_limits<int>::max() && height <= std::numeric_limits<int>::max() &&
        QImageIOHandler::allocateImage(QSize(int(width), int(height)),
                                       format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format, &probe))
        return {};
    return QStringLiteral("Image of %1 x %2 pixels: too large to decode within Qt's image limit of %3 MB")
        .arg(width)
        .arg(height)
        .arg(limitMB);
}

QString sizeRefusal(const QSize& size, QImage::Format format) {
    return sizeRefusal(size.width(), size.height(), format);
}

// A decoder's own bound on the images it takes, apart from Qt's limit: a header beyond it is refused before the
// reader tells any size (and an XBM reader does not even claim its file).
struct DecoderBound {
    const char* format;
    const char* decoder;
    qint64 side;   // the longest side it takes, 0: no such bound
    qint64 pixels; // the most pixels it takes, 0: no such bound
};
const DecoderBound decoderBounds[] = {
    // libpng's own default, which Qt leaves as it is.
    {"png", "libpng", 1000000, 0},
    {"jpeg", "libjpeg", 65500, 0},
    {"bmp", "Qt's BMP reader", 0, qint64(16384) * 16384},
    {"pbm", "Qt's PBM reader", 32767, 0},
    {"pgm", "Qt's PGM reader", 32767, 0},
    {"ppm", "Qt's PPM reader", 32767, 0},
    {"xbm", "Qt's XBM reader", 32767, 0},
    {"xpm", "Qt's XPM reader", 32767, 0},
};

// The image size a header states, read only as far as the size.
struct StatedSize {
    QByteArray format;
    qint64 width = 0;
    qint64 height = 0;
};

// A decimal number of at most ten digits at `at` (after spaces, tabs and line ends), moving `at` past it.
std::optional<qint64> numberAt(QByteArrayView text, qsizetype& at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const qsizetype begin = at;
    qint64 value = 0;
    while (at < text.size() && at - begin < 10 && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    if (at == begin || (at < text.size() && text[at] >= '0' && text[at] <= '9'))
        return std::nullopt;
    return value;
}

std::optional<StatedSize> netpbmSize(QByteArrayView bytes) {
    static const char* const kinds[] = {"pbm", "pgm", "ppm"};
    if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
        return std::nullopt;
    const char* format = kinds[(bytes[1] - '1') % 3];
    qint64 sides[2] = {};
    qsizetype at = 2;
    for (qint64& side : sides) {
        // Comments run from "#" to the line's end, between any two words.
        while (true) {
            while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])))
                ++at;
            if (at >= bytes.size() || bytes[at] != '#')
                break;
            while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r')
                ++at;
        }
        const std::optional<qint64> number = numberAt(bytes, at);
        if (!number)
            return std::nullopt;
        side = *number;
    }
    return StatedSize{format, sides[0], sides[1]};
}

// "#define <name>_width <n>" and "_height", each on a line of its own, from the first line on.
std::optional<StatedSize> xbmSize(QByteArrayView bytes) {
    const QByteArray text = bytes.first(std::min<qsizetype>(bytes.size(), 4096)).toByteArray();
    if (!text.trimmed().startsWith("#define"))
        return std::nullopt;
    qint64 sides[2] = {-1, -1};
    for (const QByteArray& line : text.split('\n')) {
        const QByteArrayList words = line.simplified().split(' ');
        const int side = words.size() != 3 || words[0] != "#define" ? -1
                         : words[1].endsWith("_width")              ? 0
                         : words[1].endsWith("_height")             ? 1
                                                                    : -1;
        qsizetype at = 0;
        if (side >= 0 && sides[side] < 0)
            sides[side] = numberAt(words[2], at).value_or(-1);
    }
    if (sides[0] < 0 || sides[1] < 0)
        return std::nullopt;
    return StatedSize{"xbm", sides[0], sides[1]};
}

// The first string of "/* XPM */ ... { "<width> <height> <colours> <characters>" ...".
std::optional<StatedSize> xpmSize(QByteArrayView bytes) {
    if (!bytes.startsWith("/* XPM */"))
        return std::nullopt;
    const qsizetype brace = bytes.indexOf('{');
    const qsizetype quote = brace < 0 ? -1 : bytes.indexOf('"', brace);
    if (quote < 0)
        return std::nullopt;
    qsizetype at = quote + 1;
    const std::optional<qint64> width = numberAt(bytes, at);
    const std::optional<qint64> height = width ? numberAt(bytes, at) : std::nullopt;
    if (!height)
        return std::nullopt;
    return StatedSize{"xpm", *width, *height};
}

std::optional<StatedSize> jpegSize(QByteArrayView bytes) {
    if (!bytes.startsWith("\xff\xd8"))
        return std::nullopt;
    const auto byte = [&](qsizetype at) { return quint8(bytes[at]); };
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && byte(at) == 0xff) {
        const quint8 marker = byte(at + 1);
        if (marker == 0xff) { // fill
            ++at;
            continue;
        }
        // A frame header: its height, then its width (not DHT, JPG or DAC, which share the range).
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
            if (at + 9 > bytes.size())
                return std::nullopt;
            return StatedSize{"jpeg", qFromBigEndian<quint16>(bytes.data() + at + 7),
                              qFromBigEndian<quint16>(bytes.data() + at + 5)};
        }
        if (marker == 0xd9 || marker == 0xda) // the end, or the scan before any frame header
            return std::nullopt;
        at += (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01 ? 2
                                                                   : 2 + qFromBigEndian<quint16>(bytes.data() + at + 2);
    }
    return std::nullopt;
}

std::optional<StatedSize> bmpSize(QByteArrayView bytes) {
    if (!bytes.startsWith("BM") || bytes.size() < 26)
        return std::nullopt;
    // The old header of 12 bytes states its sides in 16 bits; every later one in 32 bits, the height negative for
    // rows stored top down.
    if (qFromLittleEndian<quint32>(bytes.data() + 14) == 12)
        return StatedSize{"bmp", qFromLittleEndian<qint16>(bytes.data() + 18),
                          qAbs(qint64(qFromLittleEndian<qint16>(bytes.data() + 20)))};
    return StatedSize{"bmp", qFromLittleEndian<qint32>(bytes.data() + 18),
                      qAbs(qint64(qFromLittleEndian<qint32>(bytes.data() + 22)))};
}

std::optional<StatedSize> statedSize(const QByteArray& bytes) {
    // IHDR is the first chunk: the chunk walk has found it sound.
    if (bytes.startsWith(pngSignature))
        return bytes.size() >= 24 && bytes.mid(12, 4) == "IHDR"
                   ? std::optional(StatedSize{"png", qFromBigEndian<quint32>(bytes.constData() + 16),
                                              qFromBigEndian<quint32>(bytes.constData() + 20)})
                   : std::nullopt;
    for (const auto read : {jpegSize, bmpSize, netpbmSize, xbmSize, xpmSize})
        if (std::optional<StatedSize> stated = read(bytes))
            return stated;
    return std::nullopt;
}

// Why an image whose header its decoder refused cannot be decoded; empty when its header states no size beyond
// its decoder's bounds. Over Qt's limit it gets the size message, as if Qt had read the header; otherwise the
// decoder's bound.
QString headerRefusal(const QByteArray& bytes) {
    const std::optional<StatedSize> stated = statedSize(bytes);
    if (!stated)
        return {};
    for (const DecoderBound& bound : decoderBounds) {
        if (stated->format != bound.format)
            continue;
        const qint64 width = stated->width;
        const qint64 height = stated->height;
        const bool overSide = bound.side > 0 && std::max(width, height) > bound.side;
        const bool overPixels = bound.pixels > 0 && width > 0 && height > 0 && width > bound.pixels / height;
        if (!overSide && !overPixels)
            return {};
        if (QString refusal = sizeRefusal(width, height, QImage::Format_Invalid); !refusal.isEmpty())
            return refusal;
        const QString image = QStringLiteral("Image of %1 x %2 pixels: cannot be decoded, as %3 takes no image ")
                                  .arg(width)
                                  .arg(height)
                                  .arg(QLatin1String(bound.decoder));
        return image + (overSide ? QStringLiteral("with a side over %1 pixels").arg(bound.side)
                                 : QStringLiteral("of over %1 pixels").arg(bound.pixels));
    }
    return {};
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
    if (QString refusal = sizeRefusal(size, format); !refusal.isEmpty())
        return {{}, refusal};
    // A size read and no image: damaged pixel data, which is no image.
    if (size.isValid())
        return {};
    // Some readers (XBM) recognise their format only by decoding the whole image, which the limit stops: asked by
    // name, each reader still reads its own header for the size.
    for (const QByteArray& name : claimed ? QByteArrayList() : ownDecoders) {
        QBuffer again;
        again.setData(bytes);
        again.open(QIODevice::ReadOnly);
        QImageReader named(&again, name);
        named.setAutoDetectImageFormat(false);
        if (QString refusal = sizeRefusal(named.size(), announcedFormat(named)); !refusal.isEmpty())
            return {{}, refusal};
    }
    // No size at all: the header may state one that its decoder refuses.
    return {{}, headerRefusal(bytes)};
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
