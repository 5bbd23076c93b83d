#pragma once

#include <QString>
#include <QStringList>

namespace tavrine::text {

// Whitespace is every Unicode White_Space character (line breaks, U+0085, U+2028 and U+2029 included).
bool isWhitespace(QChar c);
// Splits at every whitespace character, drops empty pieces and joins the rest with one blank.
QString collapseWhitespace(const QString& text);
// Trims whitespace from both ends.
QString trimmed(const QString& text);

// Lengths and cuts count user-perceived characters (grapheme clusters), never UTF-16 units.
qsizetype graphemeCount(const QString& text);
// The first `count` user-perceived characters (all of the text when shorter; nothing for a count ≤ 0).
QString graphemePrefix(const QString& text, qsizetype count);
// The text from its `count`-th user-perceived character on.
QString graphemeDropFirst(const QString& text, qsizetype count);
// The last `count` user-perceived characters.
QString graphemeSuffix(const QString& text, qsizetype count);
// The text when it has at most `limit` characters, else its first `limit` followed by `marker`.
QString graphemeCut(const QString& text, qsizetype limit, const QString& marker = QStringLiteral("\u2026"));
// The text cut into user-perceived characters.
QStringList graphemes(const QString& text);

// The shortest text that reads back as the same double, with ".0" added when it has neither "." nor an
// exponent ("2.0", "0.125", "1e+21"). Independent of the locale.
QString shortestDecimal(double value);

} // namespace tavrine::text
