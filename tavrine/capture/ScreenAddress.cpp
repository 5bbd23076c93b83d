#include "tavrine/capture/ScreenAddress.h"

#include "tavrine/model/EvidenceText.h"
#include "tavrine/model/PageAddress.h"

#include <QRegularExpression>
#include <QStringList>

namespace tavrine::capture {

namespace {

const QRegularExpression& addressShape() {
    static const QRegularExpression shape(
        QStringLiteral("^(?:https?://)?"
                       "(?:(?:[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?\\.)+(?:[a-z]{2,63}|xn--[a-z0-9-]{1,59})"
                       "|\\d{1,3}(?:\\.\\d{1,3}){3}|localhost)"
                       "(?::\\d{1,5})?(?:/\\S*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return shape;
}

} // namespace

std::optional<QString> addressFromToolbarText(const QString& text) {
    // The address bar lies below the tab strip, whose titles may name hosts too: the lowest line wins.
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QStringList words = line->split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (auto word = words.crbegin(); word != words.crend(); ++word) {
            if (word->size() > evidenceLimit::pageAddress || !addressShape().match(*word).hasMatch())
                continue;
            if (!normalizedHost(*word))
                continue;
            return *word;
        }
    }
    return std::nullopt;
}

} // namespace tavrine::capture
