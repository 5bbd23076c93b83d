#include "tavrine/model/ImageData.h"
#include "support/TestSupport.h"
#include "tavrine/model/PngBytes.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QtEndian>
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <optional>
#include <utility>
#include <vector>

using namespace tavrine;

namespace {
QImage filled(int width, int height, QColor colour, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}
} // namespace

TEST(Fingerprint, BlackWhiteAndTransparent) {
    EXPECT_EQ(imageFingerprint(filled(300, 200, Qt::black)), QString(512, QLatin1Char('0')));
    EXPECT_EQ(imageFingerprint(filled(3, 1000, Qt::white)), QStringLiteral("ff").repeated(256));
    EXPECT_EQ(imageFingerprint(filled(40, 40, Qt::white, QImage::Format_ARGB32)), QStringLiteral("ff").repeated(256));
    // Transparent pixels are black, whatever colour they carry.
    EXPECT_EQ(imageFingerprint(filled(40, 40, QColor(255, 255, 255, 0), QImage::Format_ARGB32)),
              QString(512, QLatin1Char('0')));
    EXPECT_EQ(imageFingerprint(QImage()), QString());
}

TEST(Fingerprint, RowsInOrderAndSmallDetailsAveraged) {
    // Top half white, bottom half black: 8 rows of ff then 8 rows of 00.
    QImage image = filled(64, 64, Qt::black);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(255, 255, 255));
    EXPECT_EQ(imageFingerprint(image), QStringLiteral("ff").repeated(128) + QString(256, QLatin1Char('0')));

    // One thin dark line in a large white page shows in the fingerprint (a nearest-neighbour reduction could miss
    // it entirely).
    QImage page = filled(1600, 1000, Qt::white);
    QImage lined = page;
    for (int x = 200; x < 1400; ++x)
        for (int y = 510; y < 513; ++y)
            lined.setPixel(x, y, qRgb(0, 0, 0));
    EXPECT_NE(imageFingerprint(page), imageFingerprint(lined));
}

TEST(ImageData, PngRoundTripKeepsPixelsAndFingerprint) {
    QImage image(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, 255 - x));
    const auto png = encodeImageData(image);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    const QImage back = QImage::fromData(*png, "PNG");
    ASSERT_EQ(back.size(), image.size());
    EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32), image);
    EXPECT_EQ(imageFingerprint(back), imageFingerprint(image));
    EXPECT_FALSE(encodeImageData(QImage()));

    // Encoded when first read, from the image as it was handed over, once for every copy and every thread.
    QImage handed = image;
    const PngBytes later = PngBytes::encoding(handed);
    handed.fill(Qt::red);
    const PngBytes copy = later;
    auto first = std::async(std::launch::async, [&] { return later->constData(); });
    auto second = std::async(std::launch::async, [&] { return copy->constData(); });
    EXPECT_EQ(first.get(), second.get());
    ASSERT_TRUE(later);
    EXPECT_EQ(*later, *png);
    EXPECT_FALSE(PngBytes::encoding(QImage()));
    EXPECT_EQ(PngBytes(*png), later);
    EXPECT_NE(PngBytes(), later);
    EXPECT_THROW(PngBytes().value(), std::bad_optional_access);
}

namespace {
QByteArray bigEndian(quint32 value) {
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// A chunk with a true CRC, stating `length` (its data's size unless given).
QByteArray chunk(const QByteArray& type, const QByteArray& data, std::optional<quint32> length = {}) {
    return bigEndian(length.value_or(quint32(data.size()))) + type + data +
           bigEndian(tavrine::test::crc32(type + data));
}

// A sound 10 x 10 PNG with `extra` just before its IEND chunk.
QByteArray tenByTen(const QByteArray& extra = {}) {
    QByteArray png = *encodeImageData(filled(10, 10, Qt::darkCyan));
    return png.insert(png.size() - 12, extra);
}

QByteArray encoded(const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    filled(10, 10, Qt::darkCyan).save(&buffer, format);
    return bytes;
}
} // namespace

TEST(ImageData, DecodesOnlyPngsWhoseChunksAreSound) {
    const QByteArray text = QByteArray("Comment\0", 8) + "a damaged length";
    const QByteArray png = tenByTen();
    // A leading text chunk that looks like SVG must not change which reader decodes the PNG.
    QByteArray svgText = png;
    svgText.insert(33, chunk("tEXt", QByteArray("Comment\0<svg>", 13)));
    QByteArray badType = png;
    badType[37] = '1';
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {png, {}},
        {png + "trailing bytes after IEND", {}},
        {svgText, {}},
        {tenByTen(chunk("tEXt", text)), {}},
        {tenByTen(chunk("tEXt", text, 0x7e000025)), "chunk tEXt states 2113929253 bytes, more than the data holds"},
        {tenByTen(chunk("zTXt", text, 0x80000000)), "chunk zTXt states a length over 2147483647 bytes"},
        {png.left(png.size() - 12), "it ends before its IEND chunk"},
        {png.left(png.size() - 1), "chunk IEND states 0 bytes, more than the data holds"},
        {png.left(70), "chunk IDAT states 22 bytes, more than the data holds"},
        {png.left(8), "it ends before its IEND chunk"},
        {badType, "a chunk type is not four letters"},
    };
    for (const auto& [bytes, refusal] : cases) {
        const DecodedImage decoded = decodeImageData(bytes);
        if (refusal.isEmpty()) {
            EXPECT_EQ(decoded.refusal, QString()) << bytes.toHex().toStdString();
            EXPECT_EQ(decoded.image.size(), QSize(10, 10)) << bytes.toHex().toStdString();
        } else {
            EXPECT_TRUE(decoded.refusal.startsWith(QStringLiteral("Damaged PNG: ") + refusal))
                << decoded.refusal.toStdString();
            EXPECT_TRUE(decoded.image.isNull());
        }
    }
}

TEST(ImageData, RefusesFormatsThatPassEmbeddedImagesOn) {
    const QByteArray damaged = tenByTen(chunk("tEXt", "x", 0x7e000025));
    QByteArray icon = QByteArray("\0\0\1\0\1\0\12\12\0\0\1\0\40\0", 14) + QByteArray(8, '\0');
    icon[14] = char(damaged.size());
    icon[18] = 22;
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>"
                           "<image width='10' height='10' xlink:href='data:image/png;base64," +
                           damaged.toBase64() + "'/></svg>";
    EXPECT_EQ(decodeImageData(icon + damaged).refusal, QStringLiteral("Unsupported image format ico"));
    EXPECT_EQ(decodeImageData(svg).refusal, QStringLiteral("Unsupported image format svg"));

    // Formats that decode their own bytes go to Qt's readers; bytes that hold no image give a null image.
    for (const char* format : {"JPEG", "BMP", "PPM"}) {
        const DecodedImage decoded = decodeImageData(encoded(format));
        EXPECT_EQ(decoded.refusal, QString()) << format;
        EXPECT_EQ(decoded.image.size(), QSize(10, 10)) << format;
    }
    const DecodedImage text = decodeImageData("not an image");
    EXPECT_TRUE(text.image.isNull());
    EXPECT_EQ(text.refusal, QString());
}

namespace {

// A PNG of zero pixels in every depth and colour type: IHDR, a PLTE for palette images, the rows, IEND. Damaged
// rows still come in a sound chunk; with `rows` false, one empty row stands for all (only the header is read).
QByteArray pngOf(quint32 width, quint32 height, int depth, int colourType, bool damaged = false, bool rows = true) {
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const qsizetype rowBytes = rows ? (qsizetype(width) * channels * depth + 7) / 8 : 0;
    QByteArray data;
    for (quint32 y = 0; y < (rows ? height : 1); ++y)
        data += '\0' + QByteArray(rowBytes, '\0');
    QByteArray header = bigEndian(width) + bigEndian(height);
    header += char(depth);
    header += char(colourType);
    header += QByteArray(3, '\0');
    QByteArray png = QByteArrayLiteral("\x89PNG\r\n\x1a\n") + chunk("IHDR", header);
    if (colourType == 3)
        png += chunk("PLTE", QByteArray("\0\0\0\xff\xff\xff", 6));
    // qCompress puts the length in front of the zlib stream.
    QByteArray stream = qCompress(data, 9).mid(4);
    if (damaged)
        stream.replace(2, 8, QByteArray(8, '\xff'));
    return png + chunk("IDAT", stream) + chunk("IEND", {});
}

QByteArray written(int side, const char* format, QImage::Format pixels) {
    QImage image(side, side, pixels);
    if (image.colorCount() == 0 && (pixels == QImage::Format_Mono || pixels == QImage::Format_Indexed8))
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.fill(0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
}

// A GIF of one two-colour frame whose pixels are all left out (a clear code, then the end).
QByteArray gifOf(int side) {
    const auto little = [](int v) {
        QByteArray two(2, '\0');
        qToLittleEndian(quint16(v), two.data());
        return two;
    };
    return "GIF89a" + little(side) + little(side) + QByteArray("\0\0\0", 3) + ',' + little(0) + little(0) +
           little(side) + little(side) + QByteArray("\x80\0\0\0\xff\xff\xff\x02\x01\x2c\0;", 12);
}

} // namespace

// Qt counts an image against its allocation limit in its own way (a grey or 1-bit image as if it had 32 bits a
// pixel), so an image that fits the limit at its own depth may still get no image: whatever the format, depth and
// colour type, a reader that knows the size and gives no image gets the size message, and one Qt decodes is
// decoded. A damaged image that is small enough is no image, without a size message.
TEST(ImageData, AnImageOverQtsLimitIsRefusedWithItsSizeWhateverItsFormatAndDepth) {
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    // 800 x 800: 0.6 MB at 8 bits a pixel, 0.08 MB at 1 bit, 2.4 MB and more as Qt counts.
    const int over = 800;
    const int under = 200;
    struct Case {
        const char* name;
        std::function<QByteArray(int side)> make;
    };
    const auto png = [](int depth, int colourType) {
        return [=](int side) { return pngOf(side, side, depth, colourType); };
    };
    const auto qt = [](const char* format, QImage::Format pixels) {
        return [=](int side) { return written(side, format, pixels); };
    };
    const Case cases[] = {
        {"PNG grey 1-bit", png(1, 0)},
        {"PNG grey 2-bit", png(2, 0)},
        {"PNG grey 4-bit", png(4, 0)},
        {"PNG grey 8-bit", png(8, 0)},
        {"PNG grey 16-bit", png(16, 0)},
        {"PNG grey and alpha 8-bit", png(8, 4)},
        {"PNG grey and alpha 16-bit", png(16, 4)},
        {"PNG palette 1-bit", png(1, 3)},
        {"PNG palette 2-bit", png(2, 3)},
        {"PNG palette 4-bit", png(4, 3)},
        {"PNG palette 8-bit", png(8, 3)},
        {"PNG RGB 8-bit", png(8, 2)},
        {"PNG RGB 16-bit", png(16, 2)},
        {"PNG RGBA 8-bit", png(8, 6)},
        {"PNG RGBA 16-bit", png(16, 6)},
        {"JPEG colour", qt("JPEG", QImage::Format_RGB32)},
        {"JPEG grey", qt("JPEG", QImage::Format_Grayscale8)},
        {"BMP 1-bit", qt("BMP", QImage::Format_Mono)},
        {"BMP 8-bit palette", qt("BMP", QImage::Format_Indexed8)},
        {"BMP colour", qt("BMP", QImage::Format_RGB32)},
        {"PBM", qt("PBM", QImage::Format_Mono)},
        {"PGM", qt("PGM", QImage::Format_Grayscale8)},
        {"PPM", qt("PPM", QImage::Format_RGB32)},
        {"XBM", qt("XBM", QImage::Format_Mono)},
        {"XPM", qt("XPM", QImage::Format_Indexed8)},
        {"GIF", gifOf},
    };
    for (const Case& c : cases) {
        const DecodedImage large = decodeImageData(c.make(over));
        EXPECT_TRUE(large.image.isNull()) << c.name;
        EXPECT_EQ(large.refusal, QStringLiteral("Image of 800 x 800 pixels: too large to decode within Qt's image "
                                                "limit of 1 MB"))
            << c.name;
        const DecodedImage small = decodeImageData(c.make(under));
        EXPECT_EQ(small.refusal, QString()) << c.name;
        EXPECT_EQ(small.image.size(), QSize(under, under)) << c.name;
    }
    // Damaged pixel data in a sound file: its size is known and no image comes, but not for its size.
    const DecodedImage broken = decodeImageData(pngOf(under, under, 8, 0, true));
    EXPECT_TRUE(broken.image.isNull());
    EXPECT_EQ(broken.refusal, QString());
    QImageReader::setAllocationLimit(limit);
}

namespace {

QByteArray withLittleEndian(QByteArray bytes, qsizetype at, qint32 value) {
    qToLittleEndian(value, bytes.data() + at);
    return bytes;
}

// A JPEG whose frame header states `width` x `height`; its pixel data is then wrong, which is never reached.
QByteArray jpegStating(quint16 width, quint16 height) {
    QByteArray jpeg = encoded("JPEG");
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    return jpeg;
}

} // namespace

// A decoder refuses some headers for their size before Qt reads any size: each side of each decoder's own bound.
// Beyond it, an image over Qt's limit (counted as Qt counts before reading: 32 bits a pixel) gets the size message,
// and one within it the decoder's bound; at the bound it decodes. Bytes that only look like a header stay no image.
TEST(ImageData, AHeaderItsDecoderRefusesGetsTheSizeOrTheDecodersBound) {
    const auto bound = [](const char* size, const char* decoder, const char* what) {
        return QStringLiteral("Image of %1 pixels: cannot be decoded, as %2 takes no image %3")
            .arg(QLatin1String(size), QLatin1String(decoder), QLatin1String(what));
    };
    const auto tooLarge = [](const char* size) {
        return QStringLiteral("Image of %1 pixels: too large to decode within Qt's image limit of 128 MB")
            .arg(QLatin1String(size));
    };
    const QByteArray bmp = encoded("BMP");
    struct Case {
        const char* name;
        QByteArray bytes;
        QString refusal; // none: decoded at `size`, or no image when `size` is empty
        QSize size = {};
        int limitMB = 128;
    };
    const Case cases[] = {
        {"PNG grey at libpng's bound", pngOf(1000000, 1, 8, 0), {}, {1000000, 1}},
        {"PNG grey, 8 MB as Qt counts", pngOf(2000000, 1, 8, 0, false, false),
         bound("2000000 x 1", "libpng", "with a side over 1000000 pixels")},
        {"PNG grey, 160 MB as Qt counts", pngOf(1, 40000000, 8, 0, false, false), tooLarge("1 x 40000000")},
        {"PNG RGBA, 400 MB", pngOf(1, 100000000, 8, 6, false, false), tooLarge("1 x 100000000")},
        {"JPEG just over libjpeg's bound", jpegStating(1, 65501),
         bound("1 x 65501", "libjpeg", "with a side over 65500 pixels")},
        // The old header of 12 bytes, with 16-bit sides.
        {"old BMP over its reader's pixels", withLittleEndian(withLittleEndian(bmp, 14, 12), 18, 16384 << 16 | 16385),
         tooLarge("16385 x 16384")},
        {"BMP over them, without Qt's limit",
         withLittleEndian(withLittleEndian(bmp, 18, 268435457), 22, 1),
         bound("268435457 x 1", "Qt's BMP reader", "of over 268435456 pixels"),
         {},
         0},
        {"PBM at its reader's bound", "P4\n32767 1\n" + QByteArray(4096, '\0'), {}, {32767, 1}},
        {"PBM just over it", "P4\n# a comment\n32768 1\n",
         bound("32768 x 1", "Qt's PBM reader", "with a side over 32767 pixels")},
        {"PBM over Qt's limit", "P4\n32768 4000\n" + QByteArray(4096, '\0'), tooLarge("32768 x 4000")},
        {"XBM just over its reader's bound", "#define a_width 32768\n#define a_height 1\n",
         bound("32768 x 1", "Qt's XBM reader", "with a side over 32767 pixels")},
        {"XBM over Qt's limit", "#define a_width 60000\n#define a_height 60000\nstatic char a_bits[] = {0x00,};\n",
         tooLarge("60000 x 60000")},
        {"XPM just over its reader's bound",
         "/* XPM */\nstatic char *x[] = {\n\"32768 1 1 1\",\n\"a c #000000\",\n\"a\"};\n",
         bound("32768 x 1", "Qt's XPM reader", "with a side over 32767 pixels")},
        {"text that begins as a PBM", "P4 is not a size 99999999", {}},
    };
    const int limit = QImageReader::allocationLimit();
    for (const Case& c : cases) {
        QImageReader::setAllocationLimit(c.limitMB);
        const DecodedImage decoded = decodeImageData(c.bytes);
        EXPECT_EQ(decoded.refusal, c.refusal) << c.name;
        EXPECT_EQ(decoded.image.isNull() ? QSize() : decoded.image.size(), c.size) << c.name;
    }
    QImageReader::setAllocationLimit(limit);
}

TEST(ImageRegion, ReadsTheRegionInPlaceAndKeepsItWhateverHappensToTheImage) {
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
    const QRect rect(7, 5, 20, 11);
    const QImage expected = image.copy(rect);
    QImage region = imageRegion(image, rect);
    EXPECT_EQ(region, expected);
    EXPECT_EQ(region.format(), image.format());
    EXPECT_EQ(region.constScanLine(0), image.constScanLine(5) + 7 * 4); // not a copy

    // Written after the region was taken, or gone: the region keeps the pixels it was taken with.
    image.fill(Qt::black);
    EXPECT_EQ(region, expected);
    image = QImage();
    const QImage copyOfRegion = region;
    region = QImage();
    EXPECT_EQ(copyOfRegion, expected);
}

TEST(ImageRegion, ClipsAndCopiesWhatCannotBeReadInPlace) {
    const QImage image = filled(40, 30, Qt::red);
    EXPECT_EQ(imageRegion(image, QRect(30, 20, 50, 50)).size(), QSize(10, 10));
    EXPECT_EQ(imageRegion(image, image.rect()).cacheKey(), image.cacheKey());
    EXPECT_TRUE(imageRegion(image, QRect(50, 50, 5, 5)).isNull());
    // Pixels smaller than a byte, and indexed pixels with their colours.
    for (const QImage::Format format : {QImage::Format_Mono, QImage::Format_Indexed8}) {
        QImage other(40, 30, format);
        if (format == QImage::Format_Indexed8)
            other.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 0)});
        other.fill(1);
        const QImage region = imageRegion(other, QRect(3, 2, 9, 7));
        EXPECT_EQ(region, other.copy(3, 2, 9, 7)) << format;
        EXPECT_EQ(region.pixel(0, 0), other.pixel(3, 2)) << format;
    }
}
