#include "tavrine/ocr/LruCache.h"
#include "tavrine/ocr/PixelKey.h"

#include <gtest/gtest.h>

using namespace tavrine;

namespace {

QImage pattern(const QSize& size) {
    QImage image(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.scanLine(y)[x] = uchar((x * 7 + y * 13) % 251);
    return image;
}

} // namespace

TEST(PixelKey, EqualPixelsGiveEqualKeysWhereverTheyAre) {
    QImage image(64, 40, QImage::Format_Grayscale8);
    image.fill(255);
    const QImage stamp = pattern(QSize(10, 6));
    for (int y = 0; y < 6; ++y) {
        std::memcpy(image.scanLine(3 + y) + 5, stamp.constScanLine(y), 10);
        std::memcpy(image.scanLine(30 + y) + 41, stamp.constScanLine(y), 10);
    }
    EXPECT_EQ(PixelKey::of(image, QRect(5, 3, 10, 6)), PixelKey::of(image, QRect(41, 30, 10, 6)));
    EXPECT_EQ(PixelKey::of(image, QRect(5, 3, 10, 6)), PixelKey::of(stamp, stamp.rect()));
}

TEST(PixelKey, AnyChangedPixelOrSizeGivesAnotherKey) {
    const QImage image = pattern(QSize(33, 17));
    const PixelKey key = PixelKey::of(image, image.rect());
    for (const QPoint& at : {QPoint(0, 0), QPoint(32, 16), QPoint(16, 8)}) {
        QImage changed = image;
        changed.scanLine(at.y())[at.x()] ^= 1;
        EXPECT_NE(PixelKey::of(changed, changed.rect()), key);
    }
    // The same bytes read as other rows (a 2 x 6 strip against a 3 x 4 one of a blank image).
    QImage blank(12, 12, QImage::Format_Grayscale8);
    blank.fill(0);
    EXPECT_NE(PixelKey::of(blank, QRect(0, 0, 2, 6)), PixelKey::of(blank, QRect(0, 0, 3, 4)));
    // A rectangle reaching outside is clipped to the image.
    EXPECT_EQ(PixelKey::of(image, QRect(-5, -5, 100, 100)), key);
}

TEST(PixelKey, AWholeImageIsKeyedByItsPixelsAndFormatNotItsPadding) {
    QImage image(37, 9, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 5, y * 20, (x + y) % 7));
    const PixelKey key = PixelKey::ofImage(image);
    // The same pixels in rows with other padding after them.
    QByteArray padded(image.height() * 160, char(0x5a));
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(padded.data() + y * 160, image.constScanLine(y), size_t(image.width()) * 4);
    const QImage strided(reinterpret_cast<const uchar*>(padded.constData()), image.width(), image.height(), 160,
                         QImage::Format_RGB32);
    EXPECT_EQ(PixelKey::ofImage(strided), key);
    // The same bytes read as another format, or one pixel changed, give another key.
    EXPECT_NE(PixelKey::ofImage(image.convertToFormat(QImage::Format_ARGB32)), key);
    QImage sameBytes = image.copy();
    ASSERT_TRUE(sameBytes.reinterpretAsFormat(QImage::Format_ARGB32));
    EXPECT_NE(PixelKey::ofImage(sameBytes), key);
    QImage changed = image;
    changed.setPixel(36, 8, qRgb(1, 2, 3));
    EXPECT_NE(PixelKey::ofImage(changed), key);
}

TEST(LruCache, ForgetsTheEntryUsedLeastRecently) {
    LruCache<int, QString> cache(2);
    cache.insert(1, QStringLiteral("one"));
    cache.insert(2, QStringLiteral("two"));
    EXPECT_EQ(cache.find(1), QStringLiteral("one")); // 2 is now the oldest
    cache.insert(3, QStringLiteral("three"));
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_FALSE(cache.find(2));
    EXPECT_EQ(cache.find(1), QStringLiteral("one"));
    cache.insert(3, QStringLiteral("drei")); // replacing keeps the size
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.find(3), QStringLiteral("drei"));
    cache.clear();
    EXPECT_FALSE(cache.find(1));
}
