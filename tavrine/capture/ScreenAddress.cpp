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
    // The address bar is the band's first line that holds an address: a tab's title rarely is one, while the
    // page below may name any host.
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (word.size() <= evidenceLimit::pageAddress && addressShape().match(word).hasMatch() &&
                normalizedHost(word))
                return word;
        }
    }
    return std::nullopt;
}

} // namespace tavrine::capture
