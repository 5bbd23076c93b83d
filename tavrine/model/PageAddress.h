#pragma once

#include <QString>
#include <QStringList>
#include <limits>
#include <optional>

namespace tavrine {

// The lower-cased host of an http or https address; an address without a scheme is read as https. No host for
// anything else (other schemes, unparsable text, an empty host).
std::optional<QString> normalizedHost(const QString& address);

// Splits the text into the runs of letters and numbers (user-perceived characters, judged by their first code
// point). With `omitEmpty`, neighbouring separators and separators at either end give no piece. After
// `maxSplits` splits the rest of the text, from just after the last separator used, is the final piece. A
// negative maximum counts as 0 (no split).
QStringList splitWords(const QString& text, qsizetype maxSplits = std::numeric_limits<qsizetype>::max(),
                       bool omitEmpty = true);

} // namespace tavrine
