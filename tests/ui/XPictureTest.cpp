#include "tavrine/ui/XPicture.h"

#include <QImage>
#include <gtest/gtest.h>

using tavrine::ui::XPicture;

// A picture goes to the server in the server's own layout, whatever this machine's: a big-endian server or one
// with three bytes a pixel would otherwise show it in the wrong colours, or sheared.
TEST(XPicture, RowsFollowTheServersByteOrderBitsPerPixelAndPadding) {
    // Two pixels: opaque 0x102030, and transparent (shows the background 0x405060, or stays transparent at depth
    // 32).
    QImage picture(2, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, 0xFF102030);
    picture.setPixel(1, 0, 0x00000000);
    const QColor background(0x40, 0x50, 0x60);
    struct Case {
        XPicture::Format format;
        QByteArray expected;
        int bytesPerLine;
    };
    const Case cases[] = {
        {{24, 32, 32, false}, QByteArray::fromHex("302010ff605040ff"), 8},
        {{24, 32, 32, true}, QByteArray::fromHex("ff102030ff405060"), 8},
        // Three bytes a pixel, each row padded to whole 32-bit units.
        {{24, 24, 32, false},
         QByteArray::fromHex("302010605040"
                             "0000"),
         8},
        {{24, 24, 32, true},
         QByteArray::fromHex("102030405060"
                             "0000"),
         8},
        // An alpha channel keeps the transparency.
        {{32, 32, 32, true}, QByteArray::fromHex("ff10203000000000"), 8},
        {{32, 32, 32, false}, QByteArray::fromHex("302010ff00000000"), 8},
        // Layouts it does not write.
        {{16, 16, 32, false}, QByteArray(), 0},
        {{24, 32, 0, false}, QByteArray(), 0},
    };
    for (const Case& c : cases) {
        int line = 0;
        const QByteArray rows = XPicture::rows(picture, background, c.format, &line);
        EXPECT_EQ(rows.toHex(), c.expected.toHex())
            << c.format.depth << "/" << c.format.bitsPerPixel << "/" << c.format.msbFirst;
        EXPECT_EQ(line, c.bytesPerLine);
    }
    // An opaque picture, as it is read back from a frame (RGBA in memory), in both byte orders.
    QImage opaque(2, 1, QImage::Format_RGBA8888_Premultiplied);
    opaque.setPixel(0, 0, 0xFF102030);
    opaque.setPixel(1, 0, 0xFF405060);
    EXPECT_EQ(XPicture::rows(opaque, background, {24, 32, 32, false}, nullptr).toHex(), "302010ff605040ff");
    EXPECT_EQ(XPicture::rows(opaque, background, {24, 32, 32, true}, nullptr).toHex(), "ff102030ff405060");
    // A picture of a scaled screen goes pixel for pixel.
    QImage scaled = picture;
    scaled.setDevicePixelRatio(2);
    EXPECT_EQ(XPicture::rows(scaled, background, {24, 32, 32, false}, nullptr).toHex(), "302010ff605040ff");
}
