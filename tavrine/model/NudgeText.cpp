#include "tavrine/model/NudgeText.h"

#include "tavrine/core/Text.h"

#include <QUrl>

namespace tavrine {

namespace {
constexpr qsizetype sentenceCutMinimum = 40;
constexpr qsizetype pageAddressLimit = 200;
} // namespace

QString clipText(const QString& text, qsizetype limit) {
    const QString collapsed = text::collapseWhitespace(text);
    const QStringList characters = text::graphemes(collapsed);
    if (limit >= characters.size())
        return collapsed;
    const QStringList prefix = characters.mid(0, std::max<qsizetype>(limit, 0));
    const qsizetype lastDot = prefix.lastIndexOf(QStringLiteral("."));
    if (lastDot >= sentenceCutMinimum)
        return prefix.mid(0, lastDot + 1).join(QString());
    const qsizetype lastBlank = prefix.lastIndexOf(QStringLiteral(" "));
    if (lastBlank >= 0)
        return prefix.mid(0, lastBlank).join(QString());
    return prefix.join(QString());
}

QString activityLabel(const QString& activity, const ActivityEvidence& evidence) {
    const QString collapsed = text::collapseWhitespace(activity);
    if (!collapsed.isEmpty())
        return collapsed;
    const QString title = text::collapseWhitespace(evidence.title);
    if (!title.isEmpty())
        return title;
    const QString app = text::collapseWhitespace(evidence.app);
    if (!app.isEmpty())
        return QStringLiteral("Used ") + app;
    return QString();
}

QString distinctDetail(const QString& text, qsizetype limit, const QStringList& others) {
    const QString clipped = clipText(text, limit);
    if (clipped.isEmpty())
        return QString();
    const QString lowered = clipped.toLower();
    for (const QString& other : others)
        if (lowered == text::collapseWhitespace(other).toLower())
            return QString();
    return clipped;
}

QString sanitizedPageURL(const QString& url) {
    const QString trimmed = text::trimmed(url);
    const QString lowered = trimmed.toLower();
    if (!lowered.startsWith(QLatin1String("http://")) && !lowered.startsWith(QLatin1String("https://")))
        return QString();
    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (!parsed.isValid())
        return QString();
    const QString scheme = parsed.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QString();
    QString host = parsed.host(QUrl::FullyEncoded).toLower();
    if (host.isEmpty())
        return QString();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');

    // The path is taken from the text itself, so that its case and encoding stay exactly as they were.
    const qsizetype authorityStart = trimmed.indexOf(QLatin1String("//")) + 2;
    qsizetype pathStart = trimmed.size();
    for (QChar end : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const qsizetype at = trimmed.indexOf(end, authorityStart);
        if (at >= 0)
            pathStart = std::min(pathStart, at);
    }
    QString path;
    if (pathStart < trimmed.size() && trimmed.at(pathStart) == QLatin1Char('/')) {
        qsizetype pathEnd = trimmed.size();
        for (QChar end : {QLatin1Char('?'), QLatin1Char('#')}) {
            const qsizetype at = trimmed.indexOf(end, pathStart);
            if (at >= 0)
                pathEnd = std::min(pathEnd, at);
        }
        path = trimmed.mid(pathStart, pathEnd - pathStart);
    }
    return text::graphemePrefix(scheme + QStringLiteral("://") + host + path, pageAddressLimit);
}

} // namespace tavrine
