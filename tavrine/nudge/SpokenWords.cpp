#include "tavrine/nudge/SpokenWords.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace tavrine::nudge {

namespace {

// A grapheme is whitespace when every code point of it is.
bool isWhitespace(QStringView grapheme) {
    for (const QChar c : grapheme) {
        if (!c.isSpace())
            return false;
    }
    return !grapheme.isEmpty();
}

} // namespace

QList<SpokenWordPiece> spokenWordPieces(const QString& sentence) {
    QList<SpokenWordPiece> pieces;
    SpokenWordPiece current;
    int count = 0;
    bool spaceAfterWord = false;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, sentence);
    qsizetype from = 0;
    while (from < sentence.size()) {
        qsizetype to = finder.toNextBoundary();
        if (to < 0)
            to = sentence.size();
        const QStringView grapheme = QStringView(sentence).mid(from, to - from);
        if (!isWhitespace(grapheme)) {
            if (spaceAfterWord) {
                pieces.append(current);
                current = SpokenWordPiece{QString(), count};
                spaceAfterWord = false;
            }
            ++count;
        } else if (current.start < count) {
            spaceAfterWord = true;
        }
        current.text += grapheme;
        from = to;
    }
    if (!current.text.isEmpty())
        pieces.append(current);
    return pieces;
}

int spokenWordTotal(const QList<SpokenWordPiece>& pieces) {
    int total = 0;
    for (const auto& piece : pieces) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, piece.text);
        qsizetype from = 0;
        while (from < piece.text.size()) {
            qsizetype to = finder.toNextBoundary();
            if (to < 0)
                to = piece.text.size();
            if (!isWhitespace(QStringView(piece.text).mid(from, to - from)))
                ++total;
            from = to;
        }
    }
    return total;
}

std::optional<double> spokenWordTime(const SpeechWordProgress& progress, int start, int total) {
    if (total < 1 || start < 0 || start >= total)
        return std::nullopt;
    const auto& starts = progress.characterStarts;
    if (starts.isEmpty()) {
        if (!progress.complete)
            return std::nullopt;
        return progress.end * start / total;
    }
    qint64 i = start;
    const qint64 known = starts.size();
    if (known != total && progress.complete)
        i = qint64(start) * known / total;
    if (i >= known)
        return std::nullopt;
    return starts[i];
}

WordReveal spokenWordReveal(const std::optional<SpeechWordProgress>& progress, int start, int total) {
    if (!progress)
        return WordReveal::whole();
    const auto w = spokenWordTime(*progress, start, total);
    if (!w)
        return WordReveal::hidden();
    const double t = (progress->now + 0.06 - *w) / kWordFadeSeconds;
    if (!(t > 0)) // NaN stays hidden too
        return WordReveal::hidden();
    if (t >= 1)
        return WordReveal::whole();
    return {WordReveal::Kind::Easing, 1.0 - (1.0 - t) * (1.0 - t)};
}

double timedRevealDuration(int total) {
    return std::min(std::max(total, 0) / 60.0, 1.1);
}

SpeechWordProgress timedRevealProgress(int total, double elapsed) {
    SpeechWordProgress progress;
    progress.end = timedRevealDuration(total);
    progress.complete = true;
    progress.now = elapsed;
    return progress;
}

} // namespace tavrine::nudge
