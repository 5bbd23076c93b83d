#include "tavrine/capture/AddressGlyphs.h"
#include "TextImages.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <cmath>

using namespace tavrine;
using capture::glyphDoubt;

namespace {

// A bar's address drawn at `pixelSize` on a light ground, grey as a prepared page is, with the word a recognizer
// would make of it: each character's box where the face sets it.
struct DrawnWord {
    QImage page;
    OcrWord word;
};

DrawnWord drawnWord(const QString& text, int pixelSize) {
    test::TextStyle style;
    style.pixelSize = pixelSize;
    style.ink = QColor(0x1f, 0x1f, 0x1f);
    QImage image(48 * pixelSize, 3 * pixelSize, QImage::Format_RGB32);
    image.fill(QColor(0xee, 0xf1, 0xf6));
    const QPoint origin(pixelSize, 2 * pixelSize);
    test::drawText(image, origin, text, style);
    QFont font(style.family);
    font.setPixelSize(pixelSize);
    const QFontMetricsF metrics(font);
    OcrWord word{text, {}, QList<float>(text.size(), 99.0f), {}};
    const int top = origin.y() - int(std::ceil(metrics.ascent()));
    const int bottom = origin.y() + int(std::ceil(metrics.descent()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int left = origin.x() + int(std::floor(metrics.horizontalAdvance(text.left(i))));
        const int right = origin.x() + int(std::ceil(metrics.horizontalAdvance(text.left(i + 1)))) - 1;
        word.characterBoxes.append(QRect(QPoint(left, top), QPoint(right, bottom)));
        word.box |= word.characterBoxes.last();
    }
    return {image.convertToFormat(QImage::Format_Grayscale8), word};
}

// The word read with `length` characters from `at` taken for `read`: their boxes made one and shared out among
// what was read in their place (none when a letter is left out).
OcrWord misread(const OcrWord& word, qsizetype at, qsizetype length, const QString& read) {
    QRect span;
    for (qsizetype i = at; i < at + length; ++i)
        span |= word.characterBoxes.at(i);
    QList<QRect> boxes;
    for (qsizetype i = 0; i < read.size(); ++i) {
        const int left = span.left() + int(span.width() * i / read.size());
        const int right = span.left() + int(span.width() * (i + 1) / read.size()) - 1;
        boxes.append(QRect(QPoint(left, span.top()), QPoint(right, span.bottom())));
    }
    OcrWord wrong = word;
    wrong.text = word.text.left(at) + read + word.text.mid(at + length);
    wrong.characterBoxes = word.characterBoxes.mid(0, at) + boxes + word.characterBoxes.mid(at + length);
    wrong.characterConfidences = QList<float>(wrong.text.size(), 99.0f);
    return wrong;
}

} // namespace

TEST(GlyphDoubt, BearsOutARightReadingAndBeliesEveryKindOfMisreading) {
    // Every kind of misreading a recognizer makes of small bar writing while sure of each character, at each size
    // bars draw their addresses.
    const QString address = QStringLiteral("127.0.0.1:43517/barn/Ill1/Chapter-IV.htm?q=lily&id=7");
    struct Misreading {
        const char* taken;
        const char* read;
    };
    const Misreading misreadings[] = {
        {"rn", "m"},      // two letters made one
        {"b", ""},        // a letter left out
        {"I", "l"},       // a capital stroke for a small one
        {"l", "I"},       // and the other way
        {"1", "l"},       // a digit for a stroke
        {"V", "v"},       // a capital for its small twin
        {"&", "a"},       // a sign for a small letter
        {"y", "v"},       // a hanging letter for a sitting one
        {"i", "l"},       // a dotted stroke for a plain one
        {"lily", "tily"}, // a stroke for a letter with a bar
    };
    // At 15 and 16 pixels this face stands its capitals as high as its tall small letters: nothing tells its "I"
    // from an "l", so even the right reading is doubted.
    const std::pair<int, bool> sizes[] = {{13, true}, {14, true}, {15, false}, {16, false}};
    for (const auto& [size, borneOut] : sizes) {
        const DrawnWord drawn = drawnWord(address, size);
        EXPECT_EQ(glyphDoubt(drawn.page, drawn.word).isEmpty(), borneOut) << size;
        for (const Misreading& m : misreadings) {
            const QString taken = QString::fromUtf8(m.taken);
            const qsizetype at = address.indexOf(taken, address.indexOf(QLatin1Char('/')));
            ASSERT_GE(at, 0) << m.taken;
            const OcrWord wrong = misread(drawn.word, at, taken.size(), QString::fromUtf8(m.read));
            EXPECT_NE(glyphDoubt(drawn.page, wrong), QString()) << size << " " << qPrintable(wrong.text);
        }
    }
    // An address without a capital or a digit: its small letters measured against each other.
    const QString plain = QStringLiteral("www.example.org/blog/old-mill.html");
    for (const int size : {13, 14}) {
        const DrawnWord drawn = drawnWord(plain, size);
        EXPECT_EQ(glyphDoubt(drawn.page, drawn.word), QString()) << size;
        for (const auto& [at, read] : {std::pair{qsizetype(22), "I"}, {qsizetype(21), "O"}, {qsizetype(2), "W"}})
            EXPECT_NE(glyphDoubt(drawn.page, misread(drawn.word, at, 1, QString::fromLatin1(read))), QString())
                << size << " " << read;
    }
}
