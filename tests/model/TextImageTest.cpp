// Needs fonts, so it runs under a QGuiApplication.
#include "tavrine/model/ImageData.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tavrine;

namespace {
// A page of text lines in the way a document window shows them.
QImage page(const QStringList& lines) {
    QImage image(1200, 800, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font;
    font.setPixelSize(18);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(60, 80 + i * 28, lines.at(i));
    return image;
}
} // namespace

TEST(Fingerprint, ARewrittenTextLineChangesIt) {
    QStringList lines;
    for (int i = 0; i < 20; ++i)
        lines << QStringLiteral("Line %1 of the quarterly report draft, with figures and notes").arg(i);
    const QImage before = page(lines);
    EXPECT_EQ(imageFingerprint(before), imageFingerprint(page(lines))) << "the same page gives the same text";
    lines[7] = QStringLiteral("WWWW MMMM completely different words now ####");
    EXPECT_NE(imageFingerprint(before), imageFingerprint(page(lines)));
}
