#include "tavrine/nudge/NudgeCardRules.h"

#include "tavrine/core/Text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

namespace tavrine::nudge {

int reasonFontSize(qsizetype characters) {
    if (characters < 51)
        return 24;
    if (characters >= 140)
        return 15;
    return int(std::round(24.0 + double(characters - 50) / -90.0 * 9.0));
}

int reasonFontSizeFor(const QString& reason) {
    return reasonFontSize(text::graphemeCount(reason));
}

QFont reasonFont(int pixelSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Bold);
    return font;
}

double layOutSentence(QTextLayout& layout, double width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setLeadingIncluded(true);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    if (layout.text().isEmpty()) // an empty text still takes one line
        height = QFontMetricsF(layout.font()).lineSpacing();
    return height;
}

int reasonTextHeight(const QString& reason) {
    QTextLayout layout(reason, reasonFont(reasonFontSizeFor(reason)));
    return int(std::ceil(layOutSentence(layout, kCardTextWidth)));
}

ReasonArea reasonArea(double measuredHeight) {
    const double h = measuredHeight + 4;
    return {std::min(kReasonAreaLimit, h), h > kReasonAreaLimit};
}

QString jobLine(bool isFocusSession, const QString& intention) {
    if (isFocusSession)
        return QStringLiteral("Focus mode");
    return QStringLiteral("Your job: ") + intention;
}

SentenceMode sentenceMode(bool hasVoice, bool revealsWords, bool hasRevealedAt) {
    if (hasVoice && revealsWords)
        return SentenceMode::Spoken;
    if (hasRevealedAt)
        return SentenceMode::Timed;
    return SentenceMode::Plain;
}

} // namespace tavrine::nudge
