#include "tavrine/core/Text.h"

#include <QTextBoundaryFinder>
#include <charconv>
#include <cmath>

namespace tavrine::text {

bool isWhitespace(QChar c) {
    return c.isSpace();
}

QString collapseWhitespace(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            pendingBlank = !out.isEmpty();
            continue;
        }
        if (pendingBlank) {
            out.append(QLatin1Char(' '));
            pendingBlank = false;
        }
        out.append(c);
    }
    return out;
}

QString trimmed(const QString& text) {
    // QString::trimmed uses QChar::isSpace as well, which matches Unicode White_Space.
    return text.trimmed();
}

namespace {
// Calls `visit(start, end)` for each grapheme cluster until it returns false.
template <typename Visit> void forEachGrapheme(const QString& text, Visit visit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        finder.setPosition(start);
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = text.size();
        if (!visit(start, end))
            return;
        start = end;
    }
}

// The UTF-16 offset at which the `count`-th cluster begins (the text's size when it has fewer).
qsizetype offsetOfGrapheme(const QString& text, qsizetype count) {
    if (count <= 0)
        return 0;
    qsizetype seen = 0;
    qsizetype offset = text.size();
    forEachGrapheme(text, [&](qsizetype, qsizetype end) {
        ++seen;
        if (seen == count) {
            offset = end;
            return false;
        }
        return true;
    });
    return offset;
}
} // namespace

qsizetype graphemeCount(const QString& text) {
    // Plain ASCII without a CR LF pair is one cluster per unit; most evidence text takes this path.
    bool simple = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || c == QLatin1Char('\r')) {
            simple = false;
            break;
        }
    }
    if (simple)
        return text.size();
    qsizetype count = 0;
    forEachGrapheme(text, [&](qsizetype, qsizetype) {
        ++count;
        return true;
    });
    return count;
}

QString graphemePrefix(const QString& text, qsizetype count) {
    return text.left(offsetOfGrapheme(text, count));
}

QString graphemeDropFirst(const QString& text, qsizetype count) {
    return text.mid(offsetOfGrapheme(text, count));
}

QString graphemeSuffix(const QString& text, qsizetype count) {
    const qsizetype total = graphemeCount(text);
    if (count >= total)
        return text;
    return graphemeDropFirst(text, total - count);
}

QString graphemeCut(const QString& text, qsizetype limit, const QString& marker) {
    const qsizetype offset = offsetOfGrapheme(text, limit);
    if (offset >= text.size())
        return text;
    return text.left(offset) + marker;
}

QStringList graphemes(const QString& text) {
    QStringList out;
    forEachGrapheme(text, [&](qsizetype start, qsizetype end) {
        out.append(text.mid(start, end - start));
        return true;
    });
    return out;
}

QString shortestDecimal(double value) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString out = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!out.contains(QLatin1Char('.')) && !out.contains(QLatin1Char('e')))
        out.append(QStringLiteral(".0"));
    return out;
}

} // namespace tavrine::text
