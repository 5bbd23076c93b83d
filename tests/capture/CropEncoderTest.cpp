#include "tavrine/capture/CropEncoder.h"

#include "Printing.h"

#include <gtest/gtest.h>

using tavrine::capture::CropEncoder;

TEST(CropEncoder, ReusesTheFingerprintOnlyForExactlyTheSamePixelsAndKeepsNone) {
    CropEncoder encoder;
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    const CropEncoder::Encoded first = encoder.encode(page);
    ASSERT_TRUE(first.png);
    EXPECT_EQ(first.crop, page);
    // The same pixels in another image: the same fingerprint, and the crop handed on is the one given.
    const QImage same = page.copy();
    const CropEncoder::Encoded again = encoder.encode(same);
    EXPECT_EQ(again.png, first.png);
    EXPECT_EQ(again.fingerprint, first.fingerprint);
    EXPECT_EQ(again.crop.cacheKey(), same.cacheKey());

    // One pixel rewritten: the fingerprint of the 16 x 16 thumbnail may stay, the image may not.
    QImage edited = page.copy();
    edited.setPixel(200, 150, qRgb(0, 0, 0));
    const CropEncoder::Encoded changed = encoder.encode(edited);
    ASSERT_TRUE(changed.png);
    EXPECT_NE(*changed.png, *first.png);
    EXPECT_EQ(QImage::fromData(*changed.png).convertToFormat(QImage::Format_RGB32), edited);
    EXPECT_EQ(changed.crop.cacheKey(), edited.cacheKey());

    // Other pixels, or the same bytes indexed with other colours: fingerprints of their own.
    QImage black = page.copy();
    black.fill(Qt::black);
    EXPECT_NE(encoder.encode(black).fingerprint, first.fingerprint);
    QImage indexed(50, 20, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    indexed.fill(1);
    const CropEncoder::Encoded white = encoder.encode(indexed);
    QImage recoloured = indexed.copy();
    recoloured.setColor(1, qRgb(255, 0, 0));
    EXPECT_NE(encoder.encode(recoloured).fingerprint, white.fingerprint);

    // Nothing of the crops stays with the encoder once the captures let them go.
    EXPECT_TRUE(black.isDetached());
    EXPECT_TRUE(recoloured.isDetached());
}
