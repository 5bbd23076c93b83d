#include "support/ViewPictures.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace tavrine::test {
namespace {

// A light track with a dark line of text and, where asked, a near-white capsule behind a segment (the duration
// selector's thumb) and a one-pixel rule under it: drawn full size, as a scene is.
QImage view(int textDown = 0, bool thumb = true, bool rule = true, QSize size = {200, 60}) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(225, 225, 225));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (thumb) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(252, 252, 252));
        painter.drawRoundedRect(QRectF(60, 10, 80, 36), 18, 18);
    }
    painter.setPen(QColor(30, 30, 30));
    QFont font;
    font.setPixelSize(13);
    painter.setFont(font);
    painter.drawText(QPointF(20, 33 + textDown), QStringLiteral("15m 30m 45m"));
    if (rule)
        painter.fillRect(QRect(10, 52, 180, 1), QColor(40, 40, 40));
    return image;
}

// What passes as the renderer's run-to-run difference and what fails as a changed view.
TEST(ViewPictures, ARunToRunDifferencePassesAndAChangedViewFails) {
    struct Case {
        const char* name;
        QImage drawn;
        bool matches;
    };
    const QImage reference = reducedPicture(view());
    QImage tinted = view();
    tinted.setPixelColor(100, 5, QColor(232, 229, 227));
    const Case cases[] = {
        {"the same picture", view(), true},
        {"a few pixels a few levels off", tinted, true},
        {"the text a pixel lower, as a layout rounds it one way or the other", view(1), true},
        {"the thumb gone", view(0, false), false},
        {"a one-pixel rule gone", view(0, true, false), false},
        {"the text two pixels lower", view(2), false},
        {"another size", view(0, true, true, {200, 64}), false},
    };
    for (const Case& c : cases) {
        const PictureComparison comparison = compareWithReference(reference, c.drawn);
        EXPECT_EQ(comparison.matches, c.matches) << c.name << ": " << comparison.changedPixels << " blocks changed";
        EXPECT_EQ(comparison.difference.isNull(), c.matches) << c.name;
    }
    EXPECT_FALSE(compareWithReference(QImage(), view()).matches) << "no reference";
}

} // namespace
} // namespace tavrine::test
