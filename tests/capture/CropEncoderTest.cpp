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
    EXPECT_EQ(encoder.encode(page.copy()).png, first.png);

    // One pixel rewritten: the fingerprint of the 16 x 16 thumbnail may stay, the image may not.
    QImage edited = page.copy();
    edited.setPixel(200, 150, qRgb(0, 0, 0));
    const CropEncoder::Encoded changed = encoder.encode(edited);
    ASSERT_TRUE(changed.png);
    EXPECT_NE(*changed.png, *first.png);
    EXPECT_EQ(QImage::fromData(*changed.png).convertToFormat(QImage::Format_RGB32), edited);

    // Same pixels at another size are another image.
    EXPECT_NE(encoder.encode(page.copy(0, 0, 300, 300)).png, changed.png);
}
