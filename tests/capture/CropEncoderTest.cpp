#include "tavrine/capture/CropEncoder.h"

#include "Printing.h"

#include <gtest/gtest.h>

using tavrine::capture::CropEncoder;

TEST(CropEncoder, ReusesTheEncodingOnlyForExactlyTheSamePixels) {
    CropEncoder encoder;
    QImage page(400, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    const CropEncoder::Encoded first = encoder.encode(page);
    ASSERT_TRUE(first.png);
    EXPECT_EQ(first.crop, page);
    // The same pixels in another image: the encoding is reused, and the crop handed on is the one seen before.
    const CropEncoder::Encoded again = encoder.encode(page.copy());
    EXPECT_EQ(again.png, first.png);
    EXPECT_EQ(again.crop.cacheKey(), first.crop.cacheKey());

    // One pixel rewritten: the fingerprint of the 16 x 16 thumbnail may stay, the image may not.
    QImage edited = page.copy();
    edited.setPixel(200, 150, qRgb(0, 0, 0));
    const CropEncoder::Encoded changed = encoder.encode(edited);
    ASSERT_TRUE(changed.png);
    EXPECT_NE(*changed.png, *first.png);
    EXPECT_EQ(QImage::fromData(*changed.png).convertToFormat(QImage::Format_RGB32), edited);
    EXPECT_EQ(changed.crop.cacheKey(), edited.cacheKey());

    // Same bytes at another size or in another format, or indexed with other colours, are other images.
    EXPECT_NE(encoder.encode(page.copy(0, 0, 300, 300)).png, changed.png);
    QImage indexed(50, 20, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    indexed.fill(1);
    const CropEncoder::Encoded white = encoder.encode(indexed);
    QImage recoloured = indexed.copy();
    recoloured.setColor(1, qRgb(255, 0, 0));
    EXPECT_NE(encoder.encode(recoloured).png, white.png);
    QImage sameBytes = edited.copy();
    ASSERT_TRUE(sameBytes.reinterpretAsFormat(QImage::Format_ARGB32));
    encoder.encode(edited);
    EXPECT_NE(encoder.encode(sameBytes).crop.format(), edited.format());
}
