#include "tavrine/model/ImageData.h"

#include <QImage>
#include <gtest/gtest.h>

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
}
