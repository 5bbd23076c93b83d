#include "tavrine/model/ActivityEvidence.h"

#include "tavrine/core/Numbers.h"
#include "tavrine/core/Text.h"
#include "tavrine/model/PageAddress.h"
#include "tavrine/model/Rectangles.h"

#include <QStringList>

namespace tavrine {

namespace {
// Two content-word sets count as the same words when each shares at least this part of its words with the other.
constexpr double sameWordsOverlap = 0.85;
// Below this many words an overlap says too little; only identical text then counts as the same content.
constexpr qsizetype fewestComparableWords = 20;
} // namespace

ActivityWindowIdentity ActivityEvidence::windowIdentity() const {
    return ActivityWindowIdentity{bundle, pid, windowID, title};
}

QString ActivityEvidence::diagnosticLine() const {
    QStringList pieces;
    pieces << QStringLiteral("method=") + source;
    pieces << QStringLiteral("path=") + capturePath;
    pieces << QStringLiteral("axChars=") + QString::number(accessibilityCharacters);
    pieces << QStringLiteral("evidenceChars=") + QString::number(text::graphemeCount(text));
    if (ocrCharacters > 0)
        pieces << QStringLiteral("ocrChars=") + QString::number(ocrCharacters);
    if (!imageFingerprint.isEmpty())
        pieces << QStringLiteral("image=") + text::graphemePrefix(imageFingerprint, 8);
    if (contentFrame)
        pieces << QStringLiteral("crop=") + QString::number(wholeNumber(contentFrame->width())) + QLatin1Char('x') +
                      QString::number(wholeNumber(contentFrame->height()));
    if (issue && !issue->isEmpty())
        pieces << QStringLiteral("issue=") + *issue;
    return pieces.join(QLatin1Char(' '));
}

QSet<QString> ActivityEvidence::contentWords() const {
    const QStringList words = splitWords(text.toLower());
    return QSet<QString>(words.begin(), words.end());
}

bool ActivityEvidence::hasSameContent(const ActivityEvidence& other) const {
    if (windowIdentity().cacheKey() + url != other.windowIdentity().cacheKey() + other.url)
        return false;
    if (issue != other.issue)
        return false;
    if (text == other.text)
        return true;
    const QSet<QString> mine = contentWords();
    const QSet<QString> theirs = other.contentWords();
    if (std::min(mine.size(), theirs.size()) < fewestComparableWords)
        return false;
    qsizetype shared = 0;
    for (const QString& word : mine)
        shared += theirs.contains(word) ? 1 : 0;
    return double(shared) / double(mine.size()) >= sameWordsOverlap &&
           double(shared) / double(theirs.size()) >= sameWordsOverlap;
}

bool operator==(const ActivityEvidence& a, const ActivityEvidence& b) {
    return a.app == b.app && a.bundle == b.bundle && a.pid == b.pid && a.windowID == b.windowID && a.title == b.title &&
           a.url == b.url && a.text == b.text && a.source == b.source && a.issue == b.issue &&
           a.capturePath == b.capturePath && a.accessibilityCharacters == b.accessibilityCharacters &&
           a.accessibilityText == b.accessibilityText && a.ocrCharacters == b.ocrCharacters && a.header == b.header &&
           sameRectangle(a.windowFrame, b.windowFrame) && sameRectangle(a.contentFrame, b.contentFrame) &&
           a.imageFingerprint == b.imageFingerprint && a.imagePNG == b.imagePNG &&
           a.focusedDescription == b.focusedDescription && a.subject == b.subject;
}

} // namespace tavrine
