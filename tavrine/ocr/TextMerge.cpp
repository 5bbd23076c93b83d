#include "tavrine/ocr/CapturedTextMerger.h"
#include "tavrine/ocr/TextRecognition.h"

#include "tavrine/core/Text.h"

namespace tavrine {

namespace {

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isBoilerplate(const QString& line) {
    const QString lower = line.toLower();
    return lower.contains(QLatin1String("screen reader")) || lower.contains(QLatin1String("keyboard shortcut")) ||
           lower.contains(QLatin1String("banner hidden"));
}

} // namespace

QString dropNoiseLines(const QString& text) {
    QStringList kept;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && !isLineBreak(text.at(i)))
            continue;
        const QString line = text::trimmed(text.mid(start, i - start));
        if (!line.isEmpty() && !isBoilerplate(line))
            kept.append(line);
        start = i + 1;
    }
    return kept.join(QLatin1Char('\n'));
}

MergedText mergeCapturedText(const QString& base, const QString& extra, qsizetype budget) {
    CapturedTextMerger merger(base, budget);
    const QString cleaned = dropNoiseLines(extra);
    if (!cleaned.isEmpty()) {
        for (const QString& line : cleaned.split(QLatin1Char('\n'))) {
            if (!merger.offer(line))
                break;
        }
    }
    return merger.result();
}

} // namespace tavrine
