#include "tavrine/model/EvidenceText.h"

#include "tavrine/core/Text.h"

#include <array>

namespace tavrine {

namespace {
constexpr qsizetype shortestUsefulLabel = 3;
constexpr qsizetype longestUsefulLabel = 120;
constexpr qsizetype longestSubject = 120;
constexpr qsizetype longestFocusedValue = 160;

const std::array<QLatin1String, 14> chromeLabels{
    QLatin1String("close"),    QLatin1String("cancel"),   QLatin1String("ok"),
    QLatin1String("search"),   QLatin1String("send"),     QLatin1String("send follow-up"),
    QLatin1String("new tab"),  QLatin1String("new chat"), QLatin1String("back"),
    QLatin1String("forward"),  QLatin1String("reload"),   QLatin1String("settings"),
    QLatin1String("untitled"), QLatin1String("home")};

QStringList blankSeparatedWords(const QString& collapsed) {
    return collapsed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool hasUsefulLength(const QString& collapsed) {
    const qsizetype length = text::graphemeCount(collapsed);
    return length >= shortestUsefulLabel && length <= longestUsefulLabel;
}
} // namespace

bool isChromeLabel(const QString& text, const QString& other) {
    const QString t = text::collapseWhitespace(text).toLower();
    if (t.isEmpty())
        return true;
    const QString o = text::collapseWhitespace(other).toLower();
    if (t == o)
        return true;
    const QStringList words = blankSeparatedWords(t);
    const QStringList otherWords = blankSeparatedWords(o);
    if ((words.size() == 1 || words.size() == 2) && !otherWords.isEmpty() && words.first() == otherWords.first())
        return true;
    for (const QLatin1String& label : chromeLabels)
        if (t == label)
            return true;
    return false;
}

bool isUsefulLabel(const QString& text, const QString& other) {
    const QString c = text::collapseWhitespace(text);
    return hasUsefulLength(c) && !isChromeLabel(c, other);
}

QString focusedValueText(const QString& value, const QString& placeholder, const QString& other) {
    const QString v = text::collapseWhitespace(value);
    if (v.isEmpty())
        return {};
    if (v == text::collapseWhitespace(placeholder))
        return {};
    if (isChromeLabel(v, other))
        return {};
    return text::graphemePrefix(v, longestFocusedValue);
}

QString chooseSubject(const QString& other, const QString& focusedDescription, const QStringList& ancestorLabels,
                      const QStringList& headings, const QStringList& selectedTexts) {
    auto accept = [&](const QString& candidate) -> QString {
        const QString c = text::collapseWhitespace(candidate);
        if (hasUsefulLength(c) && !isChromeLabel(c, other))
            return text::graphemePrefix(c, longestSubject);
        return {};
    };
    for (const QStringList* list : {&ancestorLabels, &headings, &selectedTexts})
        for (const QString& candidate : *list)
            if (const QString subject = accept(candidate); !subject.isEmpty())
                return subject;
    return accept(focusedDescription);
}

QString formatEvidenceText(const QString& app, const QString& title, const QString& url, const QString& subject,
                           const QString& focused) {
    const QChar quote = QLatin1Char('"');
    QStringList parts;
    parts << QStringLiteral("App: ") + app + QLatin1Char('.');
    if (!title.isEmpty())
        parts << QStringLiteral("Window: ") + quote + title + quote + QLatin1Char('.');
    const QString s = text::collapseWhitespace(subject);
    if (!s.isEmpty() && s.toLower() != text::collapseWhitespace(title).toLower())
        parts << QStringLiteral("Subject: ") + quote + s + quote + QLatin1Char('.');
    if (url.startsWith(QLatin1String("http")))
        parts << QStringLiteral("URL: ") + url;
    const QString f = text::collapseWhitespace(focused);
    if (!f.isEmpty() && f.toLower() != s.toLower())
        parts << QStringLiteral("Focused: ") + f + QLatin1Char('.');
    return parts.join(QLatin1Char(' '));
}

} // namespace tavrine
