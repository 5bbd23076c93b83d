#include "tavrine/history/ActivityClues.h"

#include "tavrine/core/Text.h"
#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/model/ActivityEvidence.h"
#include "tavrine/model/EvidenceText.h"

namespace tavrine {

void ActivityClues::addToList(QStringList& list, const QString& text) {
    const QString normalised = text::collapseWhitespace(text);
    if (normalised.isEmpty() || list.size() >= listLimit)
        return;
    for (const QString& held : list) {
        // Unicode case folding, independent of the locale.
        if (held.compare(normalised, Qt::CaseInsensitive) == 0)
            return;
    }
    list.append(normalised);
}

void ActivityClues::addExcerpt(QStringList& excerpts, const QString& text) {
    if (text.isEmpty() || excerpts.contains(text))
        return;
    if (excerpts.size() >= excerptLimit)
        excerpts.last() = text;
    else
        excerpts.append(text);
}

ActivityClues ActivityClues::fromEvidence(const ActivityEvidence& evidence, const QString& caption) {
    ActivityClues clues;
    clues.app = text::collapseWhitespace(evidence.app);
    clues.host = SessionActivityLog::siteName(evidence.url).value_or(QString());
    if (isUsefulLabel(evidence.title, evidence.app))
        addToList(clues.titles, evidence.title);
    addToList(clues.captions, caption);
    const QString subject = isUsefulLabel(evidence.subject, evidence.app) ? evidence.subject : QString();
    const QString excerpt = text::collapseWhitespace(subject + QLatin1Char(' ') + evidence.text);
    addExcerpt(clues.excerpts, text::graphemePrefix(excerpt, excerptCharacters));
    return clues;
}

void ActivityClues::merge(const ActivityClues& other) {
    if (app.isEmpty())
        app = other.app;
    if (host.isEmpty())
        host = other.host;
    for (const QString& title : other.titles)
        addToList(titles, title);
    for (const QString& caption : other.captions)
        addToList(captions, caption);
    for (const QString& excerpt : other.excerpts)
        addExcerpt(excerpts, excerpt);
}

bool ActivityClues::isEmpty() const {
    return app.isEmpty() && host.isEmpty() && titles.isEmpty() && captions.isEmpty() && excerpts.isEmpty();
}

} // namespace tavrine
