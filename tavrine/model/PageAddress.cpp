#include "tavrine/model/PageAddress.h"

#include "tavrine/core/Text.h"

#include <QUrl>

namespace tavrine {

std::optional<QString> normalizedHost(const QString& address) {
    QString text = text::trimmed(address);
    if (text.isEmpty())
        return std::nullopt;
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("https://"));
    // Strict parsing: text with blanks or other characters an address cannot hold has no host.
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return std::nullopt;
    return host;
}

namespace {
bool isWordCharacter(const QString& cluster) {
    if (cluster.isEmpty())
        return false;
    const char32_t first = cluster.at(0).isHighSurrogate() && cluster.size() > 1
                               ? QChar::surrogateToUcs4(cluster.at(0), cluster.at(1))
                               : char32_t(cluster.at(0).unicode());
    return QChar::isLetterOrNumber(first);
}
} // namespace

QStringList splitWords(const QString& text, qsizetype maxSplits, bool omitEmpty) {
    if (maxSplits < 0)
        maxSplits = 0;
    QStringList pieces;
    const QStringList clusters = text::graphemes(text);
    QString current;
    bool splitting = maxSplits > 0;
    qsizetype index = 0;
    for (; index < clusters.size() && splitting; ++index) {
        const QString& cluster = clusters.at(index);
        if (isWordCharacter(cluster)) {
            current += cluster;
            continue;
        }
        if (!(current.isEmpty() && omitEmpty)) {
            pieces.append(current);
            if (pieces.size() == maxSplits)
                splitting = false;
        }
        current.clear();
    }
    // The rest after the last split, separators included.
    for (; index < clusters.size(); ++index)
        current += clusters.at(index);
    if (!current.isEmpty() || !omitEmpty)
        pieces.append(current);
    return pieces;
}

} // namespace tavrine
